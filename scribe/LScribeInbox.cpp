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
    m_jobs.clear();
    for (const auto& source : m_sources) {
        source->HandleCancels(pLines);
        if (m_nDoneKeepDays > 0)
            source->ExpireDone(m_nDoneKeepDays, static_cast<uint32_t>(std::time(nullptr)), pLines);
        std::vector<LScribeJob> jobs;
        if (!source->ListJobs(m_keys, bAll, &jobs, pLines))
            continue;
        for (LScribeJob& job : jobs)
            m_jobs.push_back(std::move(job));
    }
    std::sort(m_jobs.begin(), m_jobs.end(), LScribeJob::Before);
    return m_jobs;
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
