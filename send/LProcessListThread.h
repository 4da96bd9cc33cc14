// The persistent send queue: jobs are appended to a file, and one background
// thread works the file from its head, one job at a time, so pending sends
// survive a crash or a restart. Owned by the main-loop thread; Add, Remove,
// InList and Clear may be called from any thread, a job's own included; the
// job runner runs on the queue's thread.
#pragma once

#include "foundation/JobResult.h"
#include "foundation/LThread.h"
#include "send/LProcessListFile.h"
#include "send/LThreadStatus.h"
#include "send/SendJobItem.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class LProcessListThread : public LThread {
public:
    // Works one job on the queue's thread. It tests the stop signal between
    // its steps and in its waits (Status() is its progress reporter). A
    // stopped job stays at the head; a done or failed one is taken out.
    using JobRunner = std::function<JobResult(LProcessListThread& queue, const SendJobItem& item)>;

    // Work on a head job that began this many times and never ended (the
    // program crashed or was killed meanwhile) is not begun again: the job is
    // dropped, its dictation goes back to Current, and the user is told.
    static constexpr uint16_t kMaxUnfinishedStarts = 3;
    // The send status such a dictation carries (at most 64 bytes).
    static constexpr const char* kAbandonedStatus = "Not sent: the program ended while sending it";

    // One process works the queue at a time: the window and tavrine-cli share
    // the file, and two workers on one head job would deliver it twice. The
    // worker holds an flock on this file beside the queue (never deleted)
    // for its whole run.
    static std::string WorkerLockPathFor(const std::string& queuePath) { return queuePath + ".worker"; }
    // What a worker does when another process holds that lock: wait for it
    // (the window, which outlives the other), or leave the jobs to it.
    enum class WhenWorkedElsewhere { Wait, Leave };
    static constexpr const char* kWorkedElsewhereText = "Another program is sending the queued dictations";
    static constexpr uint32_t kWorkerLockPollMs = 500;

    static constexpr unsigned kLockTimeoutMs = 5000;
    static constexpr uint32_t kStopTimeoutMs = 5000;

    LProcessListThread();
    ~LProcessListThread() override;

    // Without one the file is kept but not worked; set after SetListFilePath,
    // it starts the thread on the jobs waiting.
    void SetJobRunner(JobRunner runner);

    // Set before the thread starts; Wait unless set.
    void SetWhenWorkedElsewhere(WhenWorkedElsewhere when) { m_whenWorkedElsewhere = when; }
    // True when the last run ended at once because another process works the queue.
    bool WasLeftToAnotherProcess() const { return m_bLeftToAnother.load(); }

    // Takes the queue file (the Send folder's "sending.dat"). An empty file is
    // deleted; one with jobs starts the thread. False when there is nothing to work.
    // A file shorter than its header, of another version or record size, or
    // with its first job cut short is deleted too (it may be another layout),
    // but never silently: the status block's error says so, and the
    // dictations that waited in it go back to Current (see ReportRemoved).
    bool SetListFilePath(const std::string& path);
    const std::string& GetListFilePath() const { return m_szPath; }

    // Appends the job, synced to the disk, and starts the thread; a file that
    // cannot be read is removed first, as SetListFilePath does. False when
    // the job could not be stored: the caller keeps the dictation and says so.
    bool Add(const SendJobItem& item);
    // Takes every equal record out (see SendJobItem::Matches). When the head
    // job is among them the thread is asked to stop and waited for; it is
    // started again on what is left. Called by a job, the head (that job)
    // stays. False when nothing was removed, or when the thread did not stop
    // in time (nothing is removed then).
    bool Remove(const SendJobItem& item);
    bool InList(const SendJobItem& item);
    // Stops the thread and deletes the file; false when the thread did not
    // stop in time (the file is kept then).
    bool Clear();

    // For the job function: the fraction of the current job (0 to 1).
    void SetJobProgress(double fFraction) { m_status.SetProgress(fFraction); }
    LThreadStatus& Status() { return m_status; }

    int32_t GetJobCount() const { return m_status.GetJobCount(); }
    int32_t GetJobsDone() const { return m_status.GetJobsDone(); }

protected:
    void ThreadFunction() override;

private:
    // Starts the thread unless one runs that will still see the file's jobs.
    bool EnsureRunningLocked(); // m_controlLock held
    // Marks the worker as leaving; called while the file lock is held when
    // the decision rests on what the file held.
    void MarkExiting();
    // Drops the head job that kept ending the program: its dictation back to
    // Current with a send status saying so, the user told. Safe to repeat
    // after a crash part-way.
    void AbandonJob(const SendJobItem& item);
    // Deletes a file that holds nothing workable; with the lock held. True
    // when there was such a file; *pbRemoved tells whether it went.
    bool DeleteIfDamaged(LProcessListFile::Status status, bool* pbRemoved);
    // Tells that the file was removed (or could not be) and, once it is gone,
    // hands back the dictations that waited in it; without the file's lock.
    void ReportRemoved(LProcessListFile::Status status, bool bRemoved);
    // Takes the head out if it is still the given job; resets the fail count.
    bool RemoveHead(const SendJobItem& item);
    // Takes the worker lock, waiting or not as set; false when the run ends.
    bool TakeWorkerLock(LFile* pLock);
    bool IsQueueThread() const { return std::this_thread::get_id() == m_workerId.load(); }

    LThreadStatus m_status;
    std::string m_szPath;
    std::mutex m_runnerLock;
    JobRunner m_runner;
    // Serialises starting and stopping the thread (Add, Remove, Clear).
    std::mutex m_controlLock;
    std::mutex m_exitLock;
    bool m_bExiting = false;
    std::atomic<std::thread::id> m_workerId;
    std::atomic<WhenWorkedElsewhere> m_whenWorkedElsewhere { WhenWorkedElsewhere::Wait };
    std::atomic<bool> m_bLeftToAnother { false };
};
