#include "foundation/LThread.h"

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <system_error>

LThread::~LThread()
{
    StopThreadAndWait();
}

bool LThread::Start(int priority)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_thread.joinable()) {
        if (IsRunning())
            return false;
        // The old worker has cleared its flag and is only returning.
        m_thread.join();
    }
    m_stop.Reset();
    m_wake.Reset();
    m_ended.Reset();
    m_bRunning.store(true, std::memory_order_release);
    try {
        m_thread = std::thread([this, priority] { Entry(priority); });
    } catch (const std::system_error&) {
        m_bRunning.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void LThread::Entry(int priority)
{
    if (priority < kPriorityNormal) {
        // On Linux the nice value is per thread; who = 0 names this one.
        int nice = std::min(19, -priority * 5);
        ::setpriority(PRIO_PROCESS, 0, nice);
    }
    ThreadFunction();
    m_bRunning.store(false, std::memory_order_release);
    // Last touch of the object: a stopper waiting on this may join and go on.
    m_ended.Set();
}

bool LThread::StopThreadTimed(uint32_t timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_thread.joinable())
        return true;
    m_stop.Set();
    m_wake.Set();
    if (!m_ended.Wait(timeoutMs)) {
        std::fprintf(
            stderr, "tavrine: a worker thread did not end within %u ms; it is left to end by itself\n", timeoutMs);
        return false;
    }
    m_thread.join();
    return true;
}

void LThread::StopThreadAndWait()
{
    while (!StopThreadTimed(kDestroyTimeoutMs)) { }
}
