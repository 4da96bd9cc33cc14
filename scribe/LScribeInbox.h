// The typist's inbox: every configured source at once, their jobs merged and
// sorted by priority, then age. Owned by the window's thread or the CLI; the
// sources are asked one after another.
#pragma once

#include "scribe/LInboxSource.h"
#include "scribe/LScribeKeys.h"

#include <memory>
#include <string>
#include <vector>

class LScribeInbox {
public:
    LScribeInbox() = default;
    // Builds the sources stored in the settings for the typist name in force;
    // a source that cannot be made adds a line to pProblems.
    static LScribeInbox FromSettings(std::vector<std::string>* pProblems);

    void AddSource(std::unique_ptr<LInboxSource> source) { m_sources.push_back(std::move(source)); }
    void SetKeys(LScribeKeys keys) { m_keys = std::move(keys); }
    // Done jobs' audio is deleted this many days after they were done; 0 keeps it.
    void SetDoneKeepDays(unsigned nDays) { m_nDoneKeepDays = nDays; }
    const LScribeKeys& GetKeys() const { return m_keys; }
    LInboxSource* FindSource(const std::string& name) const;
    const std::vector<std::unique_ptr<LInboxSource>>& Sources() const { return m_sources; }

    // Acts on cancel notices, deletes expired done audio, then lists every source; the jobs sorted. A
    // source that cannot be read adds a line and the others go on.
    std::vector<LScribeJob> Refresh(bool bAll, std::vector<std::string>* pLines);
    // The same for the named sources alone, giving their jobs alone (sorted);
    // the others are not asked, so a change in one folder costs no FTP logon.
    std::vector<LScribeJob> RefreshSources(
        bool bAll, const std::vector<std::string>& names, std::vector<std::string>* pLines);
    // The job of an id in the last refresh, or null.
    LScribeJob* FindJob(const std::string& id);
    // One job by its id, read afresh from its source alone (after acting on
    // that source's cancel notices), so a command on one job does not list
    // the whole inbox; false when there is none.
    bool LookUp(const std::string& id, LScribeJob* pJob, std::vector<std::string>* pLines);
    const std::vector<LScribeJob>& Jobs() const { return m_jobs; }

private:
    std::vector<LScribeJob> Relist(bool bAll, const std::vector<std::string>* pNames, std::vector<std::string>* pLines);

    std::vector<std::unique_ptr<LInboxSource>> m_sources;
    LScribeKeys m_keys;
    unsigned m_nDoneKeepDays = 0;
    std::vector<LScribeJob> m_jobs;
};
