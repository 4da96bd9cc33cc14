// An inbox source over a typist pool on an IMAP server: the pool folder that
// dictators' programs append to, listed from header fields alone (no audio
// crosses the network until a job is held). A claim is a UID MOVE into
// "<pool>/Claimed/<typist>", atomic on the server, so of typists racing for
// one dictation exactly one wins; status goes back as one message per author
// in "<pool>/Status". Keeps its connection open between calls (a pool is
// asked often), logging on again when the server dropped it. One thread at
// a time.
#pragma once

#include "scribe/LImapSourceLink.h"
#include "scribe/LInboxSource.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class LImapPoolSource : public LInboxSource {
public:
    LImapPoolSource(std::string name, std::string typist, const LScribeSourceConfig& config);

    const std::string& GetServer() const { return m_link.GetServer(); }
    const std::string& GetPool() const { return m_link.GetFolder(); }

    // Where a watch on a connection of its own waits for changes that make
    // this source worth listing again (a copy: the watch may outlive the source).
    LImapSourceLink::Watched GetWatched() const { return m_link.GetWatched(); }

    bool ListJobs(const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs,
        std::vector<std::string>* pProblems) override;
    bool FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob) override;
    LClaimResult Claim(LScribeJob& job, std::string* pWhy) override;
    bool WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy) override;
    bool MarkDone(LScribeJob& job, std::string* pWhy) override;
    void HandleCancels(std::vector<std::string>* pLines) override;
    void ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines) override;
    bool FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy) override;

    // The folder of a job's state on the server.
    std::string AreaOf(LScribeJobState state) const;

private:
    // Lists the selected folder's dictations as jobs of a state.
    bool ListArea(LScribeJobState state, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems);
    // The newest status file of an author for this typist (empty when none)
    // and the UIDs of every status message of theirs; selects the status folder.
    bool ReadStatus(uint32_t uUserID, std::vector<uint8_t>* pBytes, std::vector<uint32_t>* pUids, std::string* pWhy);
    // Gives held jobs the status text this typist last wrote.
    void ApplyStatus(std::vector<LScribeJob>& jobs, size_t nFirst);
    // The UID of a job in the folder of its state (selected); 0 when gone.
    bool Locate(const LScribeJob& job, uint32_t* pUid, std::string* pWhy);

    LImapSourceLink m_link;
    LScribeKeys m_keys;
};
