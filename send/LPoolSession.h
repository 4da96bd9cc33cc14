// One session with a recipient's typist pool on its IMAP server, for the
// delivery, the cancel notice and the status update, so the three log on,
// name failures and find a dictation the same way. Owned by the thread that
// runs the job; every wait asks the reporter whether to stop.
#pragma once

#include "dictation/LRecipient.h"
#include "platform/LImapClient.h"
#include "send/LStatusFileFetch.h"
#include "send/LTypistPool.h"

#include <cstdint>
#include <string>

class LProgressReporter;

class LPoolSession {
public:
    LPoolSession(const LRecipient& recipient, LProgressReporter& progress);
    ~LPoolSession();
    LPoolSession(const LPoolSession&) = delete;
    LPoolSession& operator=(const LPoolSession&) = delete;

    // False with a message for the user in *pWhy, or when stopped.
    bool LogOn(std::string* pWhy);
    bool IsStopped() const { return m_imap.GetLastError() == LImapClient::Error::Stopped; }
    LImapClient& Client() { return m_imap; }
    // The client's last error in words, after what was being done.
    std::string Why(const std::string& doing) const;

    // Appends the dictation to the pool folder, making the folder when the
    // server has none yet. False with *pWhy, or when stopped.
    bool Place(const std::string& message, std::string* pWhy);

    enum class Taken {
        Cancelled, // was unclaimed: now in the cancelled folder
        NoticeLeft, // claimed: the cancel notice is in the claimer's folder
        NotFound, // in neither (typed already, or never placed)
        Failed, // *pWhy says why
        Stopped,
    };
    // Takes an author's dictation back from the pool, or leaves the notice
    // (built by ComposeCancel from its entry) for the typist who claimed it;
    // *pTypist gets that typist's folder name.
    Taken TakeBack(uint32_t uUserID, uint32_t uFileNumber, const std::string& from, const LMailAttachment& notice,
        std::string* pTypist, std::string* pWhy);

    // Applies the newest status message of every typist for the author, as
    // a status file fetched by FTP would be.
    LStatusFileFetch::Summary FetchStatus(uint32_t uUserID, const std::string& sentFolder);

private:
    // UIDs in the selected folder of the author's dictation of that number,
    // checked field by field (the server's search matches substrings).
    bool FindDictation(
        uint32_t uUserID, uint32_t uFileNumber, std::vector<uint32_t>* pUids, LTypistPool::Entry* pEntry);

    const LRecipient m_recipient;
    LProgressReporter& m_progress;
    LImapClient m_imap;
};
