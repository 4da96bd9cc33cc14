// A manual-reset event: once set it stays set until reset, and every waiter
// sees it. Workers use one as their stop signal; any thread may set or wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sys/types.h>

class LSignalObject {
public:
    static constexpr uint32_t kInfinite = UINT32_MAX;

    // Results of WaitSignalDual.
    // kFailed: the descriptor cannot be waited on (closed, not pollable), so
    // the caller does not mistake it for the other side having ended.
    enum : int { kFailed = -1, kOtherSignalled = 0, kSignalSet = 1, kTimedOut = 2 };

    LSignalObject() = default;
    LSignalObject(const LSignalObject&) = delete;
    LSignalObject& operator=(const LSignalObject&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // True when the signal is set within the time-out (kInfinite waits for good).
    bool Wait(uint32_t timeoutMs) const;

    // Waits until this signal is set or the descriptor becomes readable (a
    // pidfd does when its process ends), or the time-out passes. The
    // descriptor is polled in short slices so a Set is seen promptly; a
    // negative descriptor waits for this signal alone. The signal wins when
    // both are ready.
    int WaitSignalDual(int otherFd, uint32_t timeoutMs) const;

    // A descriptor that becomes readable when the child process ends, for
    // WaitSignalDual; -1 when the kernel has no pidfd. The caller closes it
    // and still reaps the child.
    static int OpenProcessHandle(pid_t pid);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    bool m_bSet = false;
};
