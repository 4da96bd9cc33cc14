// An inbox source over a typist's own IMAP folder (INBOX unless set), where
// dictations mailed by the dictator's mail method arrive. Mails carrying the
// pool's header fields are listed from those; older ones, known by the mail
// method's subject, are fetched once (bounded) and read from their
// attachment. Taking a job moves it to "Tavrine/Taken", finishing it to
// "Tavrine/Done". Keeps its connection open between calls. One thread at a time.
#pragma once

#include "scribe/LImapSourceLink.h"
#include "scribe/LInboxSource.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class LImapMailboxSource : public LInboxSource {
public:
    static constexpr const char* kTakenFolder = "Tavrine/Taken";
    static constexpr const char* kDoneFolder = "Tavrine/Done";
    // The subject the mail method gives a dictation.
    static constexpr const char* kMailSubject = "Tavrine Dictate Dictation";
    // Mails without the pool's fields fetched in one listing, and their size:
    // the rest wait for the next listing.
    static constexpr size_t kMaxFetchesPerList = 20;
    static constexpr uint64_t kMaxMailBytes = 256ull << 20;

    LImapMailboxSource(std::string name, std::string typist, const LScribeSourceConfig& config);

    const std::string& GetServer() const { return m_link.GetServer(); }
    const std::string& GetMailbox() const { return m_link.GetFolder(); }

    // Where a watch on a connection of its own waits for changes that make
    // this source worth listing again (a copy: the watch may outlive the source).
    LImapSourceLink::Watched GetWatched() const { return m_link.GetWatched(); }

    bool ListJobs(const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs,
        std::vector<std::string>* pProblems) override;
    LClaimResult Claim(LScribeJob& job, std::string* pWhy) override;
    bool WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy) override;
    bool MarkDone(LScribeJob& job, std::string* pWhy) override;
    void HandleCancels(std::vector<std::string>* pLines) override;
    void ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines) override;
    bool FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy) override;

    std::string AreaOf(LScribeJobState state) const;

private:
    // Lists the folder of a state (selecting it) with each job's UID.
    bool ListArea(LScribeJobState state, std::vector<LScribeJob>* pJobs, std::vector<uint32_t>* pUids,
        std::vector<std::string>* pProblems);
    // The UID of a job in the folder of its state, which stays selected; 0 when gone.
    bool Locate(const LScribeJob& job, uint32_t* pUid, std::string* pWhy);
    // Moves a job to the folder of a new state.
    bool MoveTo(LScribeJob& job, LScribeJobState state, LImapClient::MoveResult* pResult, std::string* pWhy);

    // Mails without the pool's fields, read once: by folder, UIDVALIDITY and
    // UID; a job with an empty id is a mail that holds none.
    struct Known {
        std::string folder;
        uint32_t uValidity = 0;
        uint32_t uid = 0;
        auto operator<=>(const Known&) const = default;
    };
    std::map<Known, LScribeJob> m_known;
    LImapSourceLink m_link;
    LScribeKeys m_keys;
};
