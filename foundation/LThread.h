// Base of every worker thread (recorder, player, send queue, controller
// polling). Owned and started by one thread, usually the main-loop thread;
// the worker ends by itself, cooperatively, when its stop signal is set.
#pragma once

#include "foundation/LSignalObject.h"
#include "platform/LWakeEvent.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class LThread {
public:
    // Thread priorities as the callers name them; below normal lowers the
    // worker's nice value, above normal is not granted (it needs privilege).
    enum : int { kPriorityIdle = -15, kPriorityLowest = -2, kPriorityBelowNormal = -1, kPriorityNormal = 0 };

    static constexpr uint32_t kDestroyTimeoutMs = 5000;

    LThread() = default;
    // Stops and waits for the worker. A derived class whose ThreadFunction uses
    // its own members must call StopThreadAndWait in its own destructor, since
    // those members are gone by the time this one runs.
    virtual ~LThread();
    LThread(const LThread&) = delete;
    LThread& operator=(const LThread&) = delete;

    // Runs ThreadFunction on a new thread. False when the thread still runs
    // (including one left running after a stop time-out) or cannot be created.
    bool Start(int priority = kPriorityNormal);

    // Sets the stop signal and waits up to the time-out for the worker to end.
    // True when no worker is left. A worker that has not ended in time is never
    // killed (that would leave locks held and files torn): it keeps running
    // until it sees the signal, the object and its state stay valid, IsRunning
    // stays true, the time-out is reported on stderr and the result is false.
    bool StopThreadTimed(uint32_t timeoutMs);

    // StopThreadTimed repeated until the worker has ended; each time-out is
    // reported. For destructors, which cannot leave a worker behind.
    void StopThreadAndWait();

    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    bool IsStopRequested() const { return m_stop.IsSet(); }

    // The worker's sliced sleep: waits up to the time-out and returns true at
    // once when the stop signal is (or becomes) set.
    bool WaitForStop(uint32_t timeoutMs) const { return m_stop.Wait(timeoutMs); }

    // For workers that wait on a descriptor (a child process's pidfd).
    const LSignalObject& StopSignal() const { return m_stop; }
    // Becomes readable with the stop signal, for workers asleep in poll on a
    // device (a sound stream); -1 when no descriptor could be had.
    int StopFd() const { return m_wake.Fd(); }

protected:
    virtual void ThreadFunction() = 0;

private:
    void Entry(int priority);

    std::thread m_thread;
    std::atomic<bool> m_bRunning { false };
    LSignalObject m_stop;
    LWakeEvent m_wake;
    LSignalObject m_ended;
    std::mutex m_lock;
};
