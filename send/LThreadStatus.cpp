#include "send/LThreadStatus.h"

#include "foundation/LText.h"

#include <algorithm>

LThreadStatus::LThreadStatus(const LSignalObject& stop)
    : m_stop(stop)
{
}

void LThreadStatus::SetNotifier(const LNotifier& notifier)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_notifier = notifier;
}

void LThreadStatus::Notify() const
{
    LNotifier notifier;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        notifier = m_notifier;
    }
    notifier.Post();
}

void LThreadStatus::SetText(const std::string& szText, int nLine)
{
    if (nLine == 0 || nLine == 1) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_szText[nLine].assign(CutUtf8(szText, kMaxLine));
        m_uFlags |= nLine == 0 ? kText1Changed : kText2Changed;
    }
    Notify();
}

void LThreadStatus::ShowProgress(double fFraction)
{
    const double fJob = std::clamp(fFraction, 0.0, 1.0);
    const int32_t nDone = m_nJobsDone.load();
    const int32_t nCount = std::max(m_nJobCount.load(), nDone + 1);
    m_fProgress.store(std::clamp((nDone + fJob) / nCount, 0.0, 1.0));
    Notify();
}

void LThreadStatus::SetOverallProgress(double fFraction)
{
    m_fProgress.store(std::clamp(fFraction, 0.0, 1.0));
    Notify();
}

void LThreadStatus::SetJobCounts(int32_t nJobsDone, int32_t nJobCount)
{
    m_nJobsDone.store(nJobsDone);
    m_nJobCount.store(nJobCount);
}

void LThreadStatus::SetError(const std::string& szText)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lastError = szText;
        if (!m_error) {
            m_error = szText;
            m_uFlags |= kErrorWaiting;
        }
    }
    Notify();
}

void LThreadStatus::AddFailedDictation(std::unique_ptr<LDictation> pDictation)
{
    if (!pDictation)
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_failed.push_back(std::move(pDictation));
        m_uFlags |= kFailedWaiting;
    }
    Notify();
}

void LThreadStatus::AddFinished(Finished finished)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_finished.push_back(std::move(finished));
        m_uFlags |= kFinishedWaiting;
    }
    Notify();
}

std::string LThreadStatus::LastError() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastError;
}

void LThreadStatus::ClearLastError()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_lastError.clear();
}

std::string LThreadStatus::PeekText(int nLine) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return nLine == 0 || nLine == 1 ? m_szText[nLine] : std::string();
}

bool LThreadStatus::Pump()
{
    return m_stop.IsSet();
}

bool LThreadStatus::WaitTimed(uint32_t ms)
{
    return m_stop.Wait(ms);
}

int LThreadStatus::WaitHandle(int fd, uint32_t ms)
{
    switch (m_stop.WaitSignalDual(fd, ms)) {
    case LSignalObject::kOtherSignalled:
        return kSignalled;
    case LSignalObject::kSignalSet:
        return kCancelled;
    default:
        // A descriptor that cannot be waited on says nothing of the child:
        // the caller treats it as a time-out and ends the child itself.
        return kTimedOut;
    }
}

LThreadStatus::Snapshot LThreadStatus::TakeSnapshot()
{
    Snapshot snapshot;
    snapshot.fProgress = m_fProgress.load();
    std::lock_guard<std::mutex> lock(m_lock);
    snapshot.uFlags = m_uFlags;
    snapshot.szText[0] = m_szText[0];
    snapshot.szText[1] = m_szText[1];
    snapshot.error = std::move(m_error);
    m_error.reset();
    snapshot.failed = std::move(m_failed);
    m_failed.clear();
    snapshot.finished = std::move(m_finished);
    m_finished.clear();
    m_uFlags = 0;
    return snapshot;
}

std::string LThreadStatus::Snapshot::StatusText() const
{
    if (szText[0].empty())
        return std::string();
    return tplprintf("%s %s %d%%", szText[0], szText[1], static_cast<int32_t>(fProgress * 100));
}
