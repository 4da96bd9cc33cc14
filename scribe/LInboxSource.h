// Where dictations reach a typist: a shared folder or an FTP directory. The
// inbox asks each of its sources the same things, so the claim, status and
// cancel rules are the same whichever way the files came. One thread at a
// time; a source keeps no open connection between calls unless it says so.
#pragma once

#include "scribe/LScribeJob.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LScribeKeys;

enum class LClaimResult {
    Claimed, // now held by this typist
    Lost, // another typist (or the author's cancel) took it first; it leaves the list
    Failed, // the source could not be reached or written; nothing changed
};

class LInboxSource {
public:
    // typist: the cleaned typist name (LScribeSettings::CleanTypistName).
    LInboxSource(std::string name, std::string typist)
        : m_name(std::move(name))
        , m_typist(std::move(typist))
    {
    }
    virtual ~LInboxSource() = default;
    LInboxSource(const LInboxSource&) = delete;
    LInboxSource& operator=(const LInboxSource&) = delete;

    const std::string& GetName() const { return m_name; }
    const std::string& GetTypist() const { return m_typist; }

    // The waiting jobs and the ones this typist holds (with bAll also the
    // done and cancelled ones). A file that cannot be a job adds one line to
    // pProblems and is left as it is. False when the source cannot be read.
    virtual bool ListJobs(
        const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
        = 0;
    // One job by its file name, in whichever area it lies, without listing
    // the others; false when the source has no such job. The default lists.
    virtual bool FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob)
    {
        std::vector<LScribeJob> jobs;
        std::vector<std::string> problems;
        ListJobs(keys, true, &jobs, &problems);
        for (LScribeJob& job : jobs) {
            if (job.szFileName == fileName) {
                *pJob = std::move(job);
                return true;
            }
        }
        return false;
    }
    // Takes a waiting job by an atomic rename into "Claimed/<typist>/"; the
    // loser of a race gets Lost. A claimed job gets the status "Typing".
    virtual LClaimResult Claim(LScribeJob& job, std::string* pWhy) = 0;
    // Writes this typist's status record for a job it holds (text at most 15
    // bytes, cut at a character boundary) into "s%.7d-<typist>.sta".
    virtual bool WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy) = 0;
    // Writes "Typed" and moves a held job to the done area.
    virtual bool MarkDone(LScribeJob& job, std::string* pWhy) = 0;
    // Acts on the authors' cancel notices ("dcan%d-%d.dct"): the matching
    // waiting or held job is marked "Cancelled by the author" and moved to the
    // cancelled area; one line per notice acted on.
    virtual void HandleCancels(std::vector<std::string>* pLines) = 0;
    // Deletes the audio of done jobs older than the given days, never sooner.
    virtual void ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines) = 0;
    // A local, readable copy of the job's file: the file itself for a folder,
    // a download into the process's private folder otherwise (*pTemporary).
    virtual bool FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy) = 0;

protected:
    static constexpr const char* kCancelledText = "Cancelled by the author";
    // The state's own status text; for a held job the source then reads
    // this typist's own record, which says more once one was written.
    void SetState(LScribeJob& job, LScribeJobState state) const
    {
        job.state = state;
        switch (state) {
        case LScribeJobState::Waiting:
            job.szStatus = "Waiting";
            break;
        case LScribeJobState::Claimed:
            job.szClaimedBy = m_typist;
            job.szStatus = "Typing";
            break;
        case LScribeJobState::Done:
            job.szClaimedBy = m_typist;
            job.szStatus = "Typed";
            break;
        case LScribeJobState::Cancelled:
            job.szStatus = kCancelledText;
            break;
        }
    }

private:
    std::string m_name;
    std::string m_typist;
};
