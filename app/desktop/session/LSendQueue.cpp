#include "app/desktop/session/LSendQueue.h"

#include "send/ProcessSendDictation.h"

LSendQueue::LSendQueue()
{
    m_queue.SetJobRunner(
        [](LProcessListThread& queue, const SendJobItem& item) { return ProcessSendDictation(queue, item); });
}

void LSendQueue::Start(const std::string& queuePath, const LNotifier& notifier)
{
    m_queue.Status().SetNotifier(notifier);
    // Jobs left from the last run continue.
    m_queue.SetListFilePath(queuePath);
}

void LSendQueue::Stop(uint32_t timeoutMs)
{
    m_queue.StopThreadTimed(timeoutMs);
    // Nothing is posted to a window that is going away.
    m_queue.Status().SetNotifier(LNotifier());
}

LSendStatusSource::Status LSendQueue::TakeStatus()
{
    LThreadStatus::Snapshot snapshot = m_queue.Status().TakeSnapshot();
    Status status;
    status.szText[0] = std::move(snapshot.szText[0]);
    status.szText[1] = std::move(snapshot.szText[1]);
    status.fProgress = snapshot.fProgress;
    status.error = std::move(snapshot.error);
    status.failed = std::move(snapshot.failed);
    status.finished = std::move(snapshot.finished);
    return status;
}
