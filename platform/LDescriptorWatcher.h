// A thread of its own that sleeps in poll on one device descriptor and a wake
// event, so a controller's report is read the moment it arrives rather than
// when the window's thread gets round to it, and a stop ends the sleep at
// once. Start and Stop belong to one thread; the callback runs on the watcher.
#pragma once

#include "platform/LWakeEvent.h"

#include <functional>
#include <thread>

class LDescriptorWatcher {
public:
    // Called each time the descriptor is readable; false ends the watch (the
    // device has gone).
    using Callback = std::function<bool()>;

    LDescriptorWatcher() = default;
    ~LDescriptorWatcher() { Stop(); }
    LDescriptorWatcher(const LDescriptorWatcher&) = delete;
    LDescriptorWatcher& operator=(const LDescriptorWatcher&) = delete;

    // False when a watch runs already, the descriptor is negative or there
    // is no wake event.
    bool Start(int fd, Callback callback);
    // Wakes the watcher and waits for it; the callback is not called after.
    void Stop();
    bool IsWatching() const { return m_thread.joinable(); }

private:
    void Run();

    int m_fd = -1;
    Callback m_callback;
    LWakeEvent m_stop;
    std::thread m_thread;
};
