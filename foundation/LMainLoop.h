// The main-loop thread's queue of work posted from other threads: workers
// never touch the user interface, they post here. Implemented by a plain
// queue (LQueueMainLoop, for tavrine-cli and tests) and by the desktop program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

class LMainLoop {
public:
    virtual ~LMainLoop() = default;

    // Any thread. The task runs later on the main-loop thread, in posting order.
    virtual void Post(std::function<void()> task) = 0;

    // Main-loop thread only: runs the tasks waiting, first waiting up to the
    // time-out for one to arrive. Returns how many ran. Long operations on the
    // main-loop thread call it between their steps.
    virtual size_t Pump(uint32_t waitMs) = 0;
};
