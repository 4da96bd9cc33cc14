// A serial-port control: its buttons are wired to the modem status lines,
// which are read (never written) through TIOCMGET. Watch runs a thread of the
// port's own that sleeps in TIOCMIWAIT until a line changes; where the driver
// has no such wait it reads the lines every 50 ms instead. Open, Close and
// Watch belong to one thread (the window's); the callback runs on the watcher.
#pragma once

#include "platform/LControllerDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class LSerialLines {
public:
    // The modem-status read: fills *pStatus with TIOCM_* bits, returns 0 or -1
    // as ioctl does. Tests put a double here.
    using StatusReader = std::function<int(int fd, int* pStatus)>;
    // Sleeps until one of the TIOCM_* lines in nMask changes: 0, or -1 with
    // errno as ioctl(TIOCMIWAIT) gives it (EINTR when the watcher is stopped).
    using LineWaiter = std::function<int(int fd, int nMask)>;
    // The bits as ReadBits gives them, after each change.
    using Callback = std::function<void(uint8_t uBits)>;
    static constexpr int kFallbackPollMs = 50;

    explicit LSerialLines(StatusReader reader = {}, LineWaiter waiter = {});
    ~LSerialLines() { Close(); }
    LSerialLines(const LSerialLines&) = delete;
    LSerialLines& operator=(const LSerialLines&) = delete;

    // Opens an existing port for reading, exclusively, and writes its line
    // settings back unchanged (so a port left half set up starts clean).
    LDeviceOpen Open(const std::string& path);
    // Stops the watcher at once (even inside TIOCMIWAIT), then closes the port.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Bit 0 clear-to-send, 1 data-set-ready, 2 ring indicator, 3 carrier
    // detect; 0 when the lines cannot be read.
    uint8_t ReadBits() const;

    // Starts the watcher on the open port; it reports the lines as they are
    // first, then each change. False when closed or a watcher runs already.
    bool Watch(Callback callback);
    bool IsWatching() const { return m_thread.joinable(); }

private:
    void Run();
    void StopWatching();

    StatusReader m_reader;
    LineWaiter m_waiter;
    int m_fd = -1;
    int m_stopFd = -1;
    Callback m_callback;
    std::thread m_thread;
    std::atomic<bool> m_bStop { false };
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_bEnded = false;
};
