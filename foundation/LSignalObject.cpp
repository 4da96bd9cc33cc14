#include "foundation/LSignalObject.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Longest time a Set can go unnoticed while a descriptor is being polled.
constexpr uint32_t kPollSliceMs = 20;

} // namespace

void LSignalObject::Set()
{
    // Notified under the lock: a woken waiter may destroy the object as soon
    // as it returns, and it cannot return before this unlock.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = true;
    m_cond.notify_all();
}

void LSignalObject::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = false;
}

bool LSignalObject::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSet;
}

bool LSignalObject::Wait(uint32_t timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs == kInfinite) {
        m_cond.wait(lock, [this] { return m_bSet; });
        return true;
    }
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSet; });
}

int LSignalObject::WaitSignalDual(int otherFd, uint32_t timeoutMs) const
{
    if (otherFd < 0)
        return Wait(timeoutMs) ? kSignalSet : kTimedOut;
    const bool bForever = timeoutMs == kInfinite;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(bForever ? 0 : timeoutMs);
    for (;;) {
        if (IsSet())
            return kSignalSet;
        uint32_t slice = kPollSliceMs;
        if (!bForever) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return kTimedOut;
            slice = static_cast<uint32_t>(std::min<long long>(left, kPollSliceMs));
        }
        pollfd pfd { otherFd, POLLIN, 0 };
        int n = ::poll(&pfd, 1, static_cast<int>(slice));
        if (n > 0) {
            if (pfd.revents & POLLNVAL)
                return IsSet() ? kSignalSet : kFailed;
            return IsSet() ? kSignalSet : kOtherSignalled;
        }
        if (n < 0 && errno != EINTR)
            return IsSet() ? kSignalSet : kFailed;
    }
}

int LSignalObject::OpenProcessHandle(pid_t pid)
{
#ifdef SYS_pidfd_open
    long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        // pidfd_open sets close-on-exec itself, so later spawns do not inherit it.
        return static_cast<int>(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}
