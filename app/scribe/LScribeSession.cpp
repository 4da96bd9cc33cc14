#include "app/scribe/LScribeSession.h"

#include "foundation/LTempFolder.h"
#include "scribe/LScribeJobFile.h"
#include "sound/LSoundTime.h"
#include "sound/files/LSoundFileByName.h"

#include <QString>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

QStringList ToLines(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines)
        out << QString::fromStdString(line);
    return out;
}

bool EndsWith(const std::string& text, const char* szTail)
{
    const std::string tail = szTail;
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

LScribeSession::LScribeSession(LScribeInbox inbox)
    : m_inbox(std::move(inbox))
{
}

LScribeSession::~LScribeSession()
{
    ForgetAudio();
}

const LScribeJob* LScribeSession::CurrentJob() const
{
    const int n = IndexOf(m_currentId);
    return n < 0 ? nullptr : &m_jobs[static_cast<size_t>(n)];
}

int LScribeSession::IndexOf(const std::string& id) const
{
    if (id.empty())
        return -1;
    for (size_t i = 0; i < m_jobs.size(); ++i)
        if (m_jobs[i].szId == id)
            return static_cast<int>(i);
    return -1;
}

LInboxSource* LScribeSession::SourceOf(const LScribeJob& job) const
{
    return m_inbox.FindSource(job.szSource);
}

void LScribeSession::Refresh()
{
    std::vector<std::string> lines;
    std::vector<LScribeJob> jobs = m_inbox.Refresh(false, &lines);
    Relisted(std::move(jobs), lines);
}

void LScribeSession::RefreshSources(const std::vector<std::string>& names)
{
    std::vector<std::string> lines;
    std::vector<LScribeJob> jobs = m_inbox.RefreshSources(false, names, &lines);
    // The other sources' jobs as this session knows them (claims it made included).
    for (const LScribeJob& job : m_jobs)
        if (std::find(names.begin(), names.end(), job.szSource) == names.end())
            jobs.push_back(job);
    std::stable_sort(jobs.begin(), jobs.end(), LScribeJob::Before);
    Relisted(std::move(jobs), lines);
}

void LScribeSession::Relisted(std::vector<LScribeJob> jobs, const std::vector<std::string>& lines)
{
    m_jobs = std::move(jobs);
    const int nCurrent = IndexOf(m_currentId);
    if (nCurrent < 0 && !m_currentId.empty()) {
        // Cancelled or taken meanwhile: it stops playing and leaves the list.
        SetCurrent(-1);
        m_currentId.clear();
        ForgetAudio();
        SetLength(0);
        SetPosition(0);
    } else if (nCurrent >= 0 && nCurrent != CurrentId()) {
        // The same job at a new place: no stop.
        ForgetCurrent();
        SetCurrent(nCurrent);
    }
    emit JobsChanged();
    if (!lines.empty())
        emit Lines(ToLines(lines));
}

void LScribeSession::ForgetAudio()
{
    m_audioPath.clear();
    m_nAudioMs = 0;
    m_attachments.clear();
    if (!m_folder.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
        m_folder.clear();
    }
}

bool LScribeSession::Choose(int nIndex, std::string* pWhy)
{
    const std::string id
        = nIndex >= 0 && nIndex < static_cast<int>(m_jobs.size()) ? m_jobs[static_cast<size_t>(nIndex)].szId : "";
    if (id == m_currentId && (id.empty() || HasCurrent()))
        return true;
    // The transport stops on the change, before the audio goes.
    SetCurrent(-1);
    ForgetAudio();
    m_currentId = id;
    bool bOk = true;
    if (!id.empty()) {
        const LScribeJob& job = m_jobs[static_cast<size_t>(nIndex)];
        LInboxSource* pSource = SourceOf(job);
        std::string local;
        bool bTemporary = false;
        bOk = pSource && pSource->FetchLocal(job, &local, &bTemporary, pWhy);
        if (bOk && job.kind == LScribeJobKind::Audio && !job.bSealed && !bTemporary) {
            m_audioPath = local;
        } else if (bOk) {
            m_folder = LTempFolder::CreateSubfolder("job");
            std::vector<std::string> written;
            bOk = !m_folder.empty() && LScribeJobFile::Extract(local, job, m_inbox.GetKeys(), m_folder, &written, pWhy);
            for (const std::string& path : written) {
                if (m_audioPath.empty() && EndsWith(path, ".wav"))
                    m_audioPath = path;
                else if (!EndsWith(path, ".txt"))
                    m_attachments.push_back(path);
            }
            if (bOk && job.kind == LScribeJobKind::Audio)
                m_audioPath = local;
        }
        if (bTemporary && job.kind == LScribeJobKind::Dct) {
            std::error_code error;
            std::filesystem::remove(local, error);
        }
        if (bOk && !m_audioPath.empty()) {
            LSoundSourceRef source = LSoundFileByName::OpenSource(m_audioPath);
            if (source && source->IsUsable())
                m_nAudioMs = LSoundTime::FromSamples(source->GetLength(), source->SampleRate()).Ms();
            else
                m_audioPath.clear();
        }
        if (bOk && m_audioPath.empty()) {
            bOk = false;
            if (pWhy && pWhy->empty())
                *pWhy = "The dictation's audio could not be read.";
        }
    }
    SetCurrent(IndexOf(id));
    SetLength(m_nAudioMs);
    SetPosition(0);
    return bOk;
}

LSoundSourceRef LScribeSession::OpenCurrentAudio() const
{
    if (m_audioPath.empty())
        return {};
    return LSoundFileByName::OpenSource(m_audioPath);
}

bool LScribeSession::Claim(std::string* pWhy)
{
    const int n = IndexOf(m_currentId);
    if (n < 0)
        return false;
    LScribeJob& job = m_jobs[static_cast<size_t>(n)];
    LInboxSource* pSource = SourceOf(job);
    if (!pSource)
        return false;
    const LClaimResult result = pSource->Claim(job, pWhy);
    // A plain audio file is played where it lies, and the claim moved it.
    std::string local;
    bool bTemporary = false;
    if (result == LClaimResult::Claimed && job.kind == LScribeJobKind::Audio && !job.bSealed && !m_folder.size()
        && pSource->FetchLocal(job, &local, &bTemporary, nullptr) && !bTemporary)
        m_audioPath = local;
    if (result == LClaimResult::Lost)
        Refresh();
    else
        emit JobsChanged();
    return result == LClaimResult::Claimed;
}

bool LScribeSession::WriteStatus(const std::string& text, std::string* pWhy)
{
    const LScribeJob* pJob = CurrentJob();
    LInboxSource* pSource = pJob ? SourceOf(*pJob) : nullptr;
    if (!pSource)
        return false;
    const bool bOk = pSource->WriteStatus(*pJob, text, static_cast<uint32_t>(std::time(nullptr)), pWhy);
    if (bOk) {
        m_jobs[static_cast<size_t>(IndexOf(m_currentId))].szStatus = text;
        emit JobsChanged();
    }
    return bOk;
}

bool LScribeSession::Done(std::string* pWhy)
{
    const int n = IndexOf(m_currentId);
    if (n < 0)
        return false;
    LInboxSource* pSource = SourceOf(m_jobs[static_cast<size_t>(n)]);
    if (!pSource || !pSource->MarkDone(m_jobs[static_cast<size_t>(n)], pWhy))
        return false;
    Refresh();
    return true;
}
