// What the dictators' program and the typists' program agree on about a
// typist pool on an IMAP server: the folders, the header fields that let a
// typist list the pool without fetching audio, and the messages each side
// writes. Kept in one place so both programs read what the other wrote.
// Stateless; any thread.
//
// Folders, below the recipient's pool folder P ('/' between levels):
//   P                    dictations waiting for any typist
//   P/Claimed/<typist>   a typist's claimed jobs (moved there by UID MOVE),
//                        and the cancel notices for them
//   P/Done/<typist>      typed jobs, kept for the typist's keeping time
//   P/Cancelled          jobs the author took back before anyone claimed them
//   P/Status             one status message per typist and author
#pragma once

#include "send/LMailMessage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace LTypistPool {

inline constexpr const char* kClaimed = "Claimed";
inline constexpr const char* kDone = "Done";
inline constexpr const char* kCancelled = "Cancelled";
inline constexpr const char* kStatus = "Status";

// Header fields. Kind is "dictation", "cancel" or "status".
inline constexpr const char* kKindField = "X-Tavrine-Kind";
inline constexpr const char* kAuthorField = "X-Tavrine-Author"; // user ID, decimal
inline constexpr const char* kFileNumberField = "X-Tavrine-File-Number"; // decimal
inline constexpr const char* kPriorityField = "X-Tavrine-Priority"; // 0..255, decimal
inline constexpr const char* kNameField = "X-Tavrine-Name"; // dictation name; absent when sealed
inline constexpr const char* kAuthorNameField = "X-Tavrine-Author-Name"; // absent when sealed
inline constexpr const char* kNotesField = "X-Tavrine-Notes"; // at most 1,000 bytes; absent when sealed
inline constexpr const char* kLengthField = "X-Tavrine-Length-Ms"; // decimal
inline constexpr const char* kTypistField = "X-Tavrine-Typist"; // status messages: the cleaned typist name
inline constexpr const char* kCreatedField = "X-Tavrine-Created"; // seconds since the epoch

// The fields a list asks the server for (the summary fetch).
std::vector<std::string> ListedFields();

// A folder below the pool folder: Folder("Pool", kClaimed, "anne") is "Pool/Claimed/anne".
std::string Folder(std::string_view pool, std::string_view area, std::string_view typist = {});

// What the header fields of one pool message say.
struct Entry {
    std::string kind; // "dictation", "cancel", "status"
    uint32_t uUserID = 0;
    uint32_t uFileNumber = 0;
    uint8_t uPriority = 50;
    std::string name; // empty when the dictation was sealed
    std::string userName;
    std::string notes;
    uint32_t nLengthMs = 0;
    uint32_t tCreated = 0;
    std::string typist; // status messages
};
// False when the fields do not make an entry (no kind, or numbers that do
// not read); values are decoded and bounded.
bool ReadEntry(const std::vector<std::pair<std::string, std::string>>& fields, Entry* pEntry);

// The fields of a dictation (name, author name and notes left out when
// bSealed), as the pool's message and the mail method's message carry them.
std::vector<std::pair<std::string, std::string>> DictationFields(const Entry& entry, bool bSealed);

// The dictation message appended to the pool: subject and body as the mail
// method's, the transfer file as its one attachment (named by its file name),
// and the fields of entry (name, author name and notes left out when bSealed).
std::string ComposeDictation(const Entry& entry, bool bSealed, const std::string& from, const std::string& subject,
    const std::string& body, const LMailAttachment& transferFile);
// The cancel notice put into the claimer's folder (attachment "dcan<id>-<n>.dct").
std::string ComposeCancel(const Entry& entry, const std::string& from, const LMailAttachment& notice);
// A typist's status message for one author: the status file
// "s%.7d-<typist>.sta" as its attachment. Replaced as it changes: the newest
// (highest UID) of one typist and author is the one that counts.
std::string ComposeStatus(uint32_t uUserID, const std::string& typist, const LMailAttachment& statusFile);

} // namespace LTypistPool
