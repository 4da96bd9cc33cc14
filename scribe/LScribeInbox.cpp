#include "scribe/LScribeInbox.h"

#include "scribe/LInboxSourceFactory.h"
#include "scribe/LScribeSettings.h"

#include <algorithm>
#include <ctime>

LScribeInbox LScribeInbox::FromSettings(std::vector<std::string>* pProblems)
{
    LScribeInbox inbox;
    std::string typist = LScribeSettings::CleanTypistName(LScribeSettings::GetTypistName());
    for (const LScribeSourceConfig& config : LScribeSettings::LoadSources()) {
        std::string why;
        if (auto source = MakeInboxSource(config, typist, &why))
            inbox.AddSource(std::move(source));
        else
            pProblems->push_back(why);
    }
    inbox.SetKeys(LScribeKeys::Load());
    inbox.SetDoneKeepDays(LScribeSettings::GetDoneKeepDays());
    return inbox;
}

LInboxSource* LScribeInbox::FindSource(const std::string& name) const
{
    for (const auto& source : m_sources) {
        if (source->GetName() == name)
            return source.get();
    }
    return nullptr;
}

std::vector<LScribeJob> LScribeInbox::Refresh(bool bAll, std::vector<std::string>* pLines)
{
    return Relist(bAll, nullptr, pLines);
}

std::vector<LScribeJob> LScribeInbox::RefreshSources(
    bool bAll, const std::vector<std::string>& names, std::vector<std::string>* pLines)
{
    return Relist(bAll, &names, pLines);
}

std::vector<LScribeJob> LScribeInbox::Relist(
    bool bAll, const std::vector<std::string>* pNames, std::vector<std::string>* pLines)
{
    auto listed = [pNames](const std::string& source) {
        return !pNames || std::find(pNames->begin(), pNames->end(), source) != pNames->end();
    };
    std::erase_if(m_jobs, [&](const LScribeJob& job) { return listed(job.szSource); });
    std::vector<LScribeJob> relisted;
    for (const auto& source : m_sources) {
        if (!listed(source->GetName()))
            continue;
        source->HandleCancels(pLines);
        if (m_nDoneKeepDays > 0)
            source->ExpireDone(m_nDoneKeepDays, static_cast<uint32_t>(std::time(nullptr)), pLines);
        std::vector<LScribeJob> jobs;
        if (!source->ListJobs(m_keys, bAll, &jobs, pLines))
            continue;
        for (LScribeJob& job : jobs)
            relisted.push_back(std::move(job));
    }
    std::sort(relisted.begin(), relisted.end(), LScribeJob::Before);
    m_jobs.insert(m_jobs.end(), relisted.begin(), relisted.end());
    std::sort(m_jobs.begin(), m_jobs.end(), LScribeJob::Before);
    return relisted;
}

LScribeJob* LScribeInbox::FindJob(const std::string& id)
{
    for (LScribeJob& job : m_jobs) {
        if (job.szId == id)
            return &job;
    }
    return nullptr;
}

bool LScribeInbox::LookUp(const std::string& id, LScribeJob* pJob, std::vector<std::string>* pLines)
{
    size_t colon = id.find(':');
    if (colon == std::string::npos)
        return false;
    LInboxSource* source = FindSource(id.substr(0, colon));
    if (!source)
        return false;
    source->HandleCancels(pLines);
    return source->FindJob(id.substr(colon + 1), m_keys, pJob);
}
