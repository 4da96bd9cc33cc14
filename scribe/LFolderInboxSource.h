// An inbox source over a shared folder, the one a dictator's folder recipient
// copies into. Claims, status files and the done and cancelled areas live in
// that folder, so typists sharing it see one another's claims at once.
// One thread at a time.
#pragma once

#include "scribe/LInboxSource.h"

#include <string>

class LFolderInboxSource : public LInboxSource {
public:
    static constexpr const char* kClaimedFolder = "Claimed";
    static constexpr const char* kDoneFolder = "Done";
    static constexpr const char* kCancelledFolder = "Cancelled";

    LFolderInboxSource(std::string name, std::string typist, std::string folder);
    const std::string& GetFolder() const { return m_folder; }

    bool ListJobs(const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs,
        std::vector<std::string>* pProblems) override;
    bool FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob) override;
    LClaimResult Claim(LScribeJob& job, std::string* pWhy) override;
    bool WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy) override;
    bool MarkDone(LScribeJob& job, std::string* pWhy) override;
    void HandleCancels(std::vector<std::string>* pLines) override;
    void ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines) override;
    bool FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy) override;

    // Where a job's file lies now, by its state.
    std::string PathOf(const LScribeJob& job) const;

private:
    struct Area {
        std::string folder;
        LScribeJobState state;
    };
    std::vector<Area> Areas(bool bAll) const;
    // A job of one directory entry; false (with a line for a file that
    // cannot be a job) when it is none. pStatus caches the typist's status file.
    bool ReadEntry(const Area& area, const std::string& name, const LScribeKeys& keys, LScribeJob* pJob,
        std::vector<std::string>* pProblems, std::pair<uint32_t, std::vector<uint8_t>>* pStatus);

    std::string m_folder;
};
