// Receives notifications from worker threads on the main-loop thread: workers
// Post through a notifier, and EvNotify then runs on the main-loop thread and
// reads the worker's current state under the worker's lock. Created, used and
// destroyed on the main-loop thread; the loop outlives it and its workers.
#pragma once

#include "foundation/LNotifier.h"

#include <memory>

class LMainLoop;

class LThreadQueuedNotify {
public:
    explicit LThreadQueuedNotify(LMainLoop& loop);
    virtual ~LThreadQueuedNotify();
    LThreadQueuedNotify(const LThreadQueuedNotify&) = delete;
    LThreadQueuedNotify& operator=(const LThreadQueuedNotify&) = delete;

    // Hand this to workers; it stays safe to Post after this object is gone.
    LNotifier GetNotifier() const { return LNotifier(m_link); }

    // Runs a queued delivery; does nothing once the receiver is gone.
    static void Deliver(LNotifier::Link& link);

protected:
    // Many posts may arrive as one call: read the current state, never count calls.
    virtual void EvNotify() = 0;

private:
    std::shared_ptr<LNotifier::Link> m_link;
};
