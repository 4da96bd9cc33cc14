#include "platform/LSerialLines.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kLineMask = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR;

// TIOCMIWAIT cannot watch a second descriptor, so a stop interrupts it with
// this signal; its handler does nothing and SA_RESTART is left out so that
// the ioctl returns EINTR instead of sleeping on.
int WakeSignal()
{
    static const int nSignal = [] {
        const int n = SIGRTMIN + 4;
        struct sigaction action = {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(n, &action, nullptr);
        return n;
    }();
    return nSignal;
}

} // namespace

LSerialLines::LSerialLines(StatusReader reader, LineWaiter waiter)
    : m_reader(
        reader ? std::move(reader) : StatusReader([](int fd, int* pStatus) { return ioctl(fd, TIOCMGET, pStatus); }))
    , m_waiter(waiter ? std::move(waiter) : LineWaiter([](int fd, int nMask) { return ioctl(fd, TIOCMIWAIT, nMask); }))
{
}

LDeviceOpen LSerialLines::Open(const std::string& path)
{
    Close();
    // No controlling terminal, and no wait for a carrier on open.
    LDeviceOpen result = OpenControllerDevice(path, O_RDONLY | O_NOCTTY | O_NONBLOCK, &m_fd);
    if (result != LDeviceOpen::kOpened)
        return result;
    // Exclusive as far as the kernel allows: a second opener (not root) gets EBUSY.
    if (isatty(m_fd)) {
        if (ioctl(m_fd, TIOCEXCL) != 0) {
            Close();
            return LDeviceOpen::kBusy;
        }
        termios settings {};
        if (tcgetattr(m_fd, &settings) == 0)
            tcsetattr(m_fd, TCSANOW, &settings);
    }
    return LDeviceOpen::kOpened;
}

void LSerialLines::Close()
{
    StopWatching();
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

uint8_t LSerialLines::ReadBits() const
{
    int nStatus = 0;
    if (m_fd < 0 || m_reader(m_fd, &nStatus) != 0)
        return 0;
    uint8_t uBits = 0;
    if (nStatus & TIOCM_CTS)
        uBits |= 1;
    if (nStatus & TIOCM_DSR)
        uBits |= 2;
    if (nStatus & TIOCM_RNG)
        uBits |= 4;
    if (nStatus & TIOCM_CAR)
        uBits |= 8;
    return uBits;
}

bool LSerialLines::Watch(Callback callback)
{
    if (m_fd < 0 || m_thread.joinable())
        return false;
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0)
        return false;
    WakeSignal();
    m_callback = std::move(callback);
    m_bStop = false;
    m_bEnded = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void LSerialLines::StopWatching()
{
    if (m_thread.joinable()) {
        m_bStop = true;
        uint64_t uOne = 1;
        if (write(m_stopFd, &uOne, sizeof uOne) != sizeof uOne) {
            // Only an overflowing eventfd refuses, and then a stop is pending already.
        }
        // A signal sent just before the thread enters TIOCMIWAIT is lost, so it
        // is sent again until the thread says it has left its loop.
        std::unique_lock<std::mutex> lock(m_mutex);
        for (int nTries = 0; nTries < 1000 && !m_bEnded; ++nTries) {
            pthread_kill(m_thread.native_handle(), WakeSignal());
            m_ended.wait_for(lock, std::chrono::milliseconds(2), [this] { return m_bEnded; });
        }
        lock.unlock();
        m_thread.join();
    }
    if (m_stopFd >= 0)
        close(m_stopFd);
    m_stopFd = -1;
}

void LSerialLines::Run()
{
    uint8_t uLast = ReadBits();
    m_callback(uLast);
    bool bWaitable = true;
    while (!m_bStop) {
        if (bWaitable) {
            // A driver without the wait says EINVAL or ENOTTY; a port that has
            // gone says EIO. Either way the lines are polled from now on.
            if (m_waiter(m_fd, kLineMask) != 0 && errno != EINTR)
                bWaitable = false;
        } else {
            pollfd stop { m_stopFd, POLLIN, 0 };
            if (poll(&stop, 1, kFallbackPollMs) > 0)
                break;
        }
        if (m_bStop)
            break;
        const uint8_t uNow = ReadBits();
        if (uNow != uLast)
            m_callback(uNow);
        uLast = uNow;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEnded = true;
    m_ended.notify_all();
}
