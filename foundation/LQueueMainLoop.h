// A main loop that is just a queue, run by whoever calls Pump: tavrine-cli
// and tests. The thread that pumps is the main-loop thread.
#pragma once

#include "foundation/LMainLoop.h"

#include <condition_variable>
#include <deque>
#include <mutex>

class LQueueMainLoop : public LMainLoop {
public:
    void Post(std::function<void()> task) override;
    // Runs the tasks that were waiting when it started (or the first to arrive
    // within the time-out); tasks posted meanwhile wait for the next Pump, so a
    // task that posts again cannot keep one Pump from returning.
    size_t Pump(uint32_t waitMs) override;
    size_t PendingCount() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::function<void()>> m_tasks;
};
