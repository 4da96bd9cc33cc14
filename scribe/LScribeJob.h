// One dictation waiting for a typist, as an inbox source found it: what its
// DCT header tells (or, for a plain audio file, its name), where it lies and
// who holds it. A plain value, copied freely; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class LScribeJobKind { Dct, Audio };

enum class LScribeJobState {
    Waiting, // in the inbox, nobody holds it
    Claimed, // held by this typist
    Done, // typed; its audio waits out the keeping time in the done area
    Cancelled, // the author cancelled it; kept in the cancelled area
};

struct LScribeJob {
    std::string szId; // "SOURCE:FILE", unique across the inbox and stable while the job lives
    std::string szSource; // the source's name
    std::string szFileName; // the file's name in the source (never a path)
    LScribeJobKind kind = LScribeJobKind::Dct;
    LScribeJobState state = LScribeJobState::Waiting;

    uint32_t uUserID = 0; // the author's user ID; 0 when the name does not tell
    uint32_t uFileNumber = 0;
    std::string szName; // the dictation's name
    std::string szUserName;
    std::string szUserEmail;
    std::vector<std::string> details; // Company, Phone, Cell, Fax, Address1 to Address4
    uint8_t uPriority = 50;
    std::string notes; // empty while an encrypted file has no matching key
    std::vector<std::pair<std::string, std::string>> fields; // the notes' data-prompt fields, in order
    std::vector<std::string> attachments; // stored names (an extension, or a file name)
    uint32_t nDurationMs = 0;
    uint32_t tCreated = 0; // the dictation's creation time, else the file's modification time
    bool bEncrypted = false;
    bool bKeyFound = false; // an encrypted file's key check matched one of the keys
    bool bSealed = false; // the file is "<transfer name>.age", opened with the typist's identity

    std::string szStatus; // the last status this typist wrote for it, else "Waiting"
    std::string szClaimedBy; // the typist holding it (cleaned name), empty while waiting

    // "High", "Normal" or "Low", as the dictator's list shows a priority.
    std::string PriorityText() const;
    // The inbox order: higher priority first, then older first, then by id.
    static bool Before(const LScribeJob& a, const LScribeJob& b);
    // The data-prompt fields of notes: every "<tag>value</tag>" pair, in order;
    // a tag is letters, digits, '_' and '-'. Never reads past the text.
    static std::vector<std::pair<std::string, std::string>> ParseFields(std::string_view notes);
};
