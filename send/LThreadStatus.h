// The send queue's status block: the two text lines, the progress, the first
// waiting error and the dictations whose send failed. The queue's thread
// writes it (it is that thread's progress reporter, stopping on the thread's
// stop signal); the main-loop thread takes snapshots of it when notified.
#pragma once

#include "dictation/LDictation.h"
#include "foundation/LNotifier.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSignalObject.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class LThreadStatus : public LProgressReporter {
public:
    // Change flags.
    enum : uint8_t {
        kText1Changed = 1,
        kText2Changed = 2,
        kErrorWaiting = 4,
        kFinishedWaiting = 8,
        kFailedWaiting = 0x80
    };
    // Longest text line kept, in bytes (cut at a character boundary).
    static constexpr size_t kMaxLine = 259;

    // A send that ended, for the desktop to tell the user of while away.
    struct Finished {
        std::string name;
        // The send status it carries: how it went, or why it failed.
        std::string status;
        bool bDelivered = false;
    };
    // What the main-loop thread reads in one go under the lock. The error and
    // the failed dictations are taken off the block: each is seen once.
    struct Snapshot {
        uint8_t uFlags = 0;
        std::string szText[2];
        double fProgress = 0.0;
        std::optional<std::string> error;
        std::vector<std::unique_ptr<LDictation>> failed;
        std::vector<Finished> finished;
        // "%s %s %d%%" of the lines and whole percent; empty while line 1 is.
        std::string StatusText() const;
    };

    // The stop signal of the thread that reports here: Pump and the waits test it.
    explicit LThreadStatus(const LSignalObject& stop);
    LThreadStatus(const LThreadStatus&) = delete;
    LThreadStatus& operator=(const LThreadStatus&) = delete;

    // Where changes are announced; set before the thread starts.
    void SetNotifier(const LNotifier& notifier);
    void Notify() const;

    void SetText(const std::string& szText, int nLine) override;
    // The first error waits until it is taken; later ones are dropped.
    void ErrorBox(const std::string& szText) override { SetError(szText); }
    void SetError(const std::string& szText);
    bool Pump() override;
    bool WaitTimed(uint32_t ms) override;
    int WaitHandle(int fd, uint32_t ms) override;

    // A dictation whose send failed, for the main window to list again.
    void AddFailedDictation(std::unique_ptr<LDictation> pDictation);
    void AddFinished(Finished finished);
    // The last error reported since ClearLastError, also one dropped because
    // another was waiting: what a failed job's dictation is told.
    std::string LastError() const;
    void ClearLastError();
    // The job's text lines as they are now, leaving the block as it is.
    std::string PeekText(int nLine) const;

    // The run's counts that SetProgress scales by; any thread.
    void SetJobCounts(int32_t nJobsDone, int32_t nJobCount);
    int32_t GetJobsDone() const { return m_nJobsDone.load(); }
    int32_t GetJobCount() const { return m_nJobCount.load(); }
    // Sets the overall fraction directly (at the end of a run).
    void SetOverallProgress(double fFraction);
    double GetProgress() const { return m_fProgress.load(); }

    Snapshot TakeSnapshot();

protected:
    // The fraction of the current job: shown as (jobs done + fraction) / job
    // count, so it stays within 0 to 1 over a run. The queue's thread restarts
    // the progress as each job begins.
    void ShowProgress(double fFraction) override;

private:
    const LSignalObject& m_stop;
    LNotifier m_notifier;
    mutable std::mutex m_lock;
    uint8_t m_uFlags = 0;
    std::string m_szText[2];
    std::optional<std::string> m_error;
    std::vector<std::unique_ptr<LDictation>> m_failed;
    std::vector<Finished> m_finished;
    std::string m_lastError;
    std::atomic<double> m_fProgress { 0.0 };
    std::atomic<int32_t> m_nJobsDone { 0 };
    std::atomic<int32_t> m_nJobCount { 1 };
};
