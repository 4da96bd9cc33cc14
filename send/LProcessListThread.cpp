#include "send/LProcessListThread.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "send/LDictationRecover.h"

#include <algorithm>
#include <optional>

using ListStatus = LProcessListFile::Status;

LProcessListThread::LProcessListThread()
    : m_status(StopSignal())
{
}

LProcessListThread::~LProcessListThread()
{
    // The worker uses this object's members, which go before LThread's destructor runs.
    StopThreadAndWait();
}

void LProcessListThread::SetJobRunner(JobRunner runner)
{
    {
        std::lock_guard<std::mutex> lock(m_runnerLock);
        m_runner = std::move(runner);
    }
    // Jobs kept while no runner was set are worked now.
    std::lock_guard<std::mutex> control(m_controlLock);
    if (m_szPath.empty())
        return;
    LProcessListHeader header;
    SendJobItem head;
    uint64_t nRecords = 0;
    {
        LProcessListFile::Lock lock;
        if (!lock.Take(m_szPath, false, kLockTimeoutMs)
            || LProcessListFile::ReadHead(m_szPath, &header, &head, &nRecords) != ListStatus::Ok)
            return;
    }
    if (nRecords > 0)
        EnsureRunningLocked();
}

bool LProcessListThread::SetListFilePath(const std::string& path)
{
    std::lock_guard<std::mutex> control(m_controlLock);
    m_szPath = path;
    if (path.empty())
        return false;
    ListStatus status = ListStatus::Ok;
    bool bRemoved = false;
    {
        LProcessListFile::Lock lock;
        if (!lock.Take(path, true, kLockTimeoutMs))
            return false;
        LProcessListHeader header;
        SendJobItem head;
        uint64_t nRecords = 0;
        status = LProcessListFile::ReadHead(path, &header, &head, &nRecords);
        switch (status) {
        case ListStatus::Ok:
            if (nRecords == 0)
                return false;
            break;
        case ListStatus::Missing:
        case ListStatus::Unreadable: // kept: it may be readable at the next start
            return false;
        case ListStatus::Empty:
            DeleteFileAt(path);
            return false;
        default:
            DeleteIfDamaged(status, &bRemoved);
            break;
        }
    }
    if (status != ListStatus::Ok) {
        ReportRemoved(status, bRemoved);
        return false;
    }
    return EnsureRunningLocked();
}

bool LProcessListThread::Add(const SendJobItem& item)
{
    if (m_szPath.empty())
        return false;
    std::optional<ListStatus> damaged;
    bool bRemoved = false;
    bool bAdded = false;
    {
        LProcessListFile::Lock lock;
        if (!lock.Take(m_szPath, true, kLockTimeoutMs))
            return false;
        // Appending would start such a file afresh and lose its jobs unsaid.
        LProcessListHeader header;
        SendJobItem head;
        uint64_t nRecords = 0;
        const ListStatus status = LProcessListFile::ReadHead(m_szPath, &header, &head, &nRecords);
        if (DeleteIfDamaged(status, &bRemoved))
            damaged = status;
        bAdded = (!damaged || bRemoved) && LProcessListFile::Append(m_szPath, item);
    }
    if (damaged)
        ReportRemoved(*damaged, bRemoved);
    if (!bAdded)
        return false;
    // A job adding a job: its own thread is running and will come to it.
    if (IsQueueThread())
        return true;
    std::lock_guard<std::mutex> control(m_controlLock);
    EnsureRunningLocked();
    return true;
}

bool LProcessListThread::Remove(const SendJobItem& item)
{
    if (m_szPath.empty())
        return false;
    std::unique_lock<std::mutex> control(m_controlLock, std::defer_lock);
    // The queue's own thread cannot wait for itself: there the head stays,
    // and the job that is running ends as it will.
    const bool bOnWorker = IsQueueThread();
    if (!bOnWorker)
        control.lock();
    bool bStopped = false;
    uint64_t nRemoved = 0;
    for (;;) {
        LProcessListFile::Lock lock;
        if (!lock.Take(m_szPath, true, kLockTimeoutMs))
            return false;
        LProcessListHeader header;
        SendJobItem head;
        uint64_t nRecords = 0;
        if (LProcessListFile::ReadHead(m_szPath, &header, &head, &nRecords) != ListStatus::Ok || nRecords == 0)
            return false;
        const bool bHead = !bOnWorker && head.Matches(item);
        // With the lock held the thread cannot begin another job, so the head
        // is the only job it may be working.
        if (bHead && IsRunning()) {
            lock.Release();
            if (!StopThreadTimed(kStopTimeoutMs))
                return false;
            bStopped = true;
            continue;
        }
        if (bHead)
            header.uFailCount = 0; // the count belonged to the head job
        auto keep = [&](uint64_t nIndex, const SendJobItem& record) {
            return !record.Matches(item) || (nIndex == 0 && bOnWorker);
        };
        if (!LProcessListFile::Rewrite(m_szPath, header, keep, LProcessListFile::WhenEmpty::KeepHeader, &nRemoved))
            nRemoved = 0;
        break;
    }
    if (nRemoved > 0) {
        const int32_t nDone = m_status.GetJobsDone();
        m_status.SetJobCounts(nDone, std::max<int32_t>(nDone, m_status.GetJobCount() - static_cast<int32_t>(nRemoved)));
    }
    if (bStopped)
        EnsureRunningLocked();
    return nRemoved > 0;
}

bool LProcessListThread::InList(const SendJobItem& item)
{
    if (m_szPath.empty())
        return false;
    LProcessListFile::Lock lock;
    if (!lock.Take(m_szPath, false, kLockTimeoutMs))
        return false;
    LProcessListHeader header;
    bool bFound = false;
    LProcessListFile::Walk(m_szPath, &header, [&](const SendJobItem& record) {
        bFound = record.Matches(item);
        return !bFound;
    });
    return bFound;
}

bool LProcessListThread::Clear()
{
    std::lock_guard<std::mutex> control(m_controlLock);
    if (!StopThreadTimed(kStopTimeoutMs))
        return false;
    m_status.SetJobCounts(0, 0);
    if (m_szPath.empty())
        return true;
    LProcessListFile::Lock lock;
    if (!lock.Take(m_szPath, true, kLockTimeoutMs))
        return false;
    return DeleteFileAt(m_szPath);
}

bool LProcessListThread::EnsureRunningLocked()
{
    {
        std::lock_guard<std::mutex> lock(m_runnerLock);
        if (!m_runner)
            return false;
    }
    {
        std::lock_guard<std::mutex> exit(m_exitLock);
        if (IsRunning() && !m_bExiting)
            return true;
    }
    // A worker still here is leaving: it only has to return.
    if (!StopThreadTimed(kStopTimeoutMs))
        return false;
    {
        std::lock_guard<std::mutex> exit(m_exitLock);
        m_bExiting = false;
    }
    return Start(kPriorityLowest);
}

void LProcessListThread::MarkExiting()
{
    std::lock_guard<std::mutex> exit(m_exitLock);
    m_bExiting = true;
}

bool LProcessListThread::DeleteIfDamaged(ListStatus status, bool* pbRemoved)
{
    switch (status) {
    case ListStatus::ShortHeader:
    case ListStatus::WrongVersion:
    case ListStatus::WrongRecordSize:
    case ListStatus::PartialHead:
        *pbRemoved = DeleteFileAt(m_szPath);
        return true;
    default:
        return false;
    }
}

void LProcessListThread::ReportRemoved(ListStatus status, bool bRemoved)
{
    if (!bRemoved) {
        m_status.SetError(tplprintf("The send queue \"%s\" could not be read (%s), nor removed; sending waits "
                                    "until the next start.",
            m_szPath, LProcessListFile::StatusText(status)));
        return;
    }
    LDictationRecover::Unqueued result = LDictationRecover::ReturnUnqueued(m_szPath);
    m_status.SetError(LDictationRecover::UnqueuedMessage(m_szPath, LProcessListFile::StatusText(status), result));
    for (auto& pDictation : result.back)
        m_status.AddFailedDictation(std::move(pDictation));
}

bool LProcessListThread::RemoveHead(const SendJobItem& item)
{
    LProcessListFile::Lock lock;
    if (!lock.Take(m_szPath, true, kLockTimeoutMs))
        return false;
    uint64_t nRemoved = 0;
    auto keep = [&](uint64_t nIndex, const SendJobItem& record) { return nIndex != 0 || !record.Matches(item); };
    // A fresh header: the next head job has not been begun.
    return LProcessListFile::Rewrite(
        m_szPath, LProcessListHeader(), keep, LProcessListFile::WhenEmpty::ZeroBytes, &nRemoved);
}

void LProcessListThread::AbandonJob(const SendJobItem& item)
{
    if (item.IsNotice()) {
        m_status.SetError(tplprintf("The cancel notice for dictation %d-%d was not sent: the program ended each time "
                                    "it was being sent, so it was dropped.",
            item.uUserID, item.uFileNumber));
        return;
    }
    const std::string path(item.DictationPath());
    const std::string sendFolder = _GetFolderFromPath(m_szPath);
    const std::string name = _GetFileFromPath(path);
    const std::string current = FilePathCat(_GetFolderFromPath(sendFolder), "Current");
    // Only a dictation of the queue's own folder is moved: a path from the file
    // is not trusted to name anything else.
    const bool bOurs = _GetFolderFromPath(path) == sendFolder && GetFileExtension(name) == ".ddf"
        && name.find('\\') == std::string::npos;
    std::unique_ptr<LDictation> pBack;
    bool bStuck = false;
    if (bOurs && FileExists(path)) {
        LDictation dictation(path);
        if (dictation.IsValid()) {
            dictation.SetSendStatus(kAbandonedStatus);
            if (dictation.MoveToFolder(current))
                pBack = std::make_unique<LDictation>(FilePathCat(current, name));
            else
                bStuck = true;
        }
    } else if (bOurs && FileExists(FilePathCat(current, name))) {
        // Moved back by an earlier attempt that ended before the job was dropped.
        pBack = std::make_unique<LDictation>(FilePathCat(current, name));
    }
    if (pBack && !pBack->IsValid())
        pBack.reset();
    if (pBack) {
        m_status.SetError(tplprintf("The dictation \"%s\" was not sent: the program ended each time it was being "
                                    "sent. It is back in the list of dictations.",
            std::string(pBack->GetName())));
        m_status.AddFailedDictation(std::move(pBack));
    } else if (bStuck) {
        m_status.SetError(tplprintf("The dictation \"%s\" was not sent: the program ended each time it was being "
                                    "sent, and it could not be moved back from \"%s\".",
            name, sendFolder));
    } else {
        m_status.SetError(tplprintf("A send job for \"%s\" was dropped: the program ended each time it was worked, "
                                    "and the dictation cannot be found.",
            path));
    }
}

bool LProcessListThread::TakeWorkerLock(LFile* pLock)
{
    m_bLeftToAnother.store(false);
    bool bWaited = false;
    for (;;) {
        // Only a lock that another holder keeps stops the run: a folder where
        // the lock file cannot be made is worked as before.
        if (pLock->Open(WorkerLockPathFor(m_szPath), LFile::kReadWrite, LFile::kShareNone, LFile::kOpenAlways)
            || pLock->LastError() != LFile::Error::SharingViolation)
            break;
        if (m_whenWorkedElsewhere.load() == WhenWorkedElsewhere::Leave) {
            m_bLeftToAnother.store(true);
            return false;
        }
        if (!bWaited)
            m_status.SetText(kWorkedElsewhereText, 0);
        bWaited = true;
        if (m_status.WaitTimed(kWorkerLockPollMs))
            return false;
    }
    if (bWaited)
        m_status.SetText(std::string(), 0);
    return true;
}

void LProcessListThread::ThreadFunction()
{
    m_workerId.store(std::this_thread::get_id());
    LFile workerLock;
    if (!TakeWorkerLock(&workerLock)) {
        MarkExiting();
        m_workerId.store(std::thread::id());
        return;
    }
    JobRunner runner;
    {
        std::lock_guard<std::mutex> lock(m_runnerLock);
        runner = m_runner;
    }
    int32_t nDone = m_status.GetJobsDone();
    std::optional<ListStatus> damaged;
    bool bRemoved = false;
    bool bWorked = false;
    for (;;) {
        if (IsStopRequested()) {
            MarkExiting();
            break;
        }
        LProcessListFile::Lock lock;
        if (!lock.Take(m_szPath, true, kLockTimeoutMs)) {
            m_status.SetError(
                tplprintf("The send queue \"%s\" cannot be opened; sending waits until the next start.", m_szPath));
            MarkExiting();
            break;
        }
        LProcessListHeader header;
        SendJobItem head;
        uint64_t nRecords = 0;
        const ListStatus status = LProcessListFile::ReadHead(m_szPath, &header, &head, &nRecords);
        if (status == ListStatus::Unreadable) {
            m_status.SetError(
                tplprintf("The send queue \"%s\" cannot be read; sending waits until the next start.", m_szPath));
            MarkExiting();
            break;
        }
        if (status != ListStatus::Ok || nRecords == 0) {
            // Nothing that can be worked: an empty queue, or a file that
            // cannot be read, which is reported once the lock is let go.
            if (DeleteIfDamaged(status, &bRemoved))
                damaged = status;
            nDone = 0;
            m_status.SetJobCounts(0, 0);
            // Decided while the lock is held, so an Add that follows sees this
            // worker leaving and starts another.
            MarkExiting();
            break;
        }
        if (header.uFailCount >= kMaxUnfinishedStarts) {
            lock.Release();
            AbandonJob(head);
            if (!RemoveHead(head)) {
                m_status.SetError(tplprintf(
                    "The send queue \"%s\" cannot be written; sending stops until the next start.", m_szPath));
                MarkExiting();
                break;
            }
            continue;
        }
        // Counted before the work begins and taken back when it ends normally,
        // so what is left counted is the work that ended in a crash or a kill.
        ++header.uFailCount;
        LProcessListFile::WriteHeader(m_szPath, header);
        lock.Release();

        const int32_t nCount = nDone + static_cast<int32_t>(std::min<uint64_t>(nRecords, INT32_MAX - nDone));
        m_status.SetJobCounts(nDone, nCount);
        m_status.RestartProgress();
        m_status.SetProgress(0.0);
        const JobResult nResult = runner ? runner(*this, head) : JobResult::kStopped;

        if (nResult == JobResult::kStopped) {
            if (lock.Take(m_szPath, true, kLockTimeoutMs)) {
                SendJobItem now;
                if (LProcessListFile::ReadHead(m_szPath, &header, &now, &nRecords) == ListStatus::Ok && nRecords > 0
                    && now.Matches(head) && header.uFailCount > 0) {
                    --header.uFailCount;
                    LProcessListFile::WriteHeader(m_szPath, header);
                }
            }
            MarkExiting();
            break;
        }
        // Done or failed alike: a failed job has reported and handed its
        // dictation back; it is not tried again.
        ++nDone;
        bWorked = true;
        m_status.SetJobCounts(nDone, std::max(nDone, m_status.GetJobCount()));
        if (!RemoveHead(head)) {
            m_status.SetError(
                tplprintf("The send queue \"%s\" cannot be written; sending stops until the next start.", m_szPath));
            MarkExiting();
            break;
        }
    }
    if (damaged)
        ReportRemoved(*damaged, bRemoved);
    const int32_t nCount = m_status.GetJobCount();
    // A queue emptied by this run has done all it held, though its counts
    // were reset on the way out.
    m_status.SetOverallProgress(nCount > 0 ? static_cast<double>(nDone) / nCount : bWorked ? 1.0 : 0.0);
    m_workerId.store(std::thread::id());
}
