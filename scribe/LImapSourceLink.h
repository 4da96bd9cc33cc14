// The IMAP connection an IMAP inbox source keeps between its calls, with the
// source's server settings and TLS rules, and what the pool and mailbox
// sources both do through it: finding a dictation by its author and file
// number (UIDs change with every move) and fetching a held job's attachment
// into the process's private folder. Owned by its source's thread.
#pragma once

#include "platform/LImapClient.h"
#include "scribe/LScribeJob.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeSettings.h"
#include "send/LTypistPool.h"

#include <cstdint>
#include <string>
#include <vector>

class LImapSourceLink {
public:
    // A whole message bigger than this is no dictation.
    static constexpr uint64_t kMaxMessageBytes = 1ull << 31;

    LImapSourceLink(std::string sourceName, const LScribeSourceConfig& config);

    const std::string& GetServer() const { return m_server; }
    // The configured folder: the pool folder, or the typist's mailbox.
    const std::string& GetFolder() const { return m_folder; }
    LImapClient& Client() { return m_client; }

    // Logs on unless the last session still stands.
    bool Connect(std::string* pWhy);
    // The account and folder, for a second client that watches the folder.
    struct Watched {
        std::string sourceName;
        std::string server;
        std::string userName;
        std::string password;
        std::string folder;
        bool bAllowPlain = false;
        // Logs the client on and selects the folder read-only.
        bool Open(LImapClient& client, std::string* pWhy) const;
    };
    Watched GetWatched() const { return { m_sourceName, m_server, m_userName, m_password, m_folder, m_bAllowPlain }; }
    // Selects a folder, logging on again once where the old session broke.
    // *pMissing (when given) tells a folder that does not exist from a failure.
    bool Select(const std::string& folder, bool bReadOnly, std::string* pWhy, bool* pMissing = nullptr);
    // Makes a folder once per session.
    bool MakeFolder(const std::string& folder, std::string* pWhy);
    // Words for the client's last error, with the source and what was done.
    std::string Reason(const std::string& what);
    // Drops a session whose connection broke, so the next call logs on again.
    void DropIfBroken();

    // Of the selected folder: the dictations of an author and file number
    // (headers checked exactly, not just the server's substring search),
    // oldest first. False when the server could not be asked.
    bool FindDictations(uint32_t uUserID, uint32_t uFileNumber, std::vector<uint32_t>* pUids, std::string* pWhy);

    // Fetches a message of the selected folder and writes its one dictation
    // attachment (a DCT, an audio file or either sealed) to a private file
    // under a name of our own making, checked as a listed job is; pJob gets
    // what the file tells. *pPath empty when it fails.
    bool FetchAttachment(
        uint32_t uid, const LScribeKeys& keys, LScribeJob* pJob, std::string* pPath, std::string* pWhy);

    // What a message's pool fields say; false when they cannot be read.
    static bool ReadSummary(const LImapClient::MessageSummary& summary, LTypistPool::Entry* pEntry);
    // A job from a dictation's fields, named "<author>-<file number>", which
    // stays when a move gives the message a new UID.
    static LScribeJob JobOf(const std::string& source, const LTypistPool::Entry& entry, int64_t tInternal);
    static std::string JobFileName(uint32_t uUserID, uint32_t uFileNumber);
    static bool ParseJobFileName(std::string_view name, uint32_t* pUserID, uint32_t* pFileNumber);

private:
    std::string m_sourceName;
    std::string m_server;
    std::string m_userName;
    std::string m_password;
    std::string m_folder;
    bool m_bAllowPlain = false;
    LImapClient m_client;
    std::vector<std::string> m_made;
};
