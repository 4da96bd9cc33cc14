#include "platform/LDescriptorWatcher.h"

#include <cerrno>
#include <system_error>

#include <poll.h>

bool LDescriptorWatcher::Start(int fd, Callback callback)
{
    if (m_thread.joinable() || fd < 0 || m_stop.Fd() < 0)
        return false;
    m_stop.Reset();
    m_fd = fd;
    m_callback = std::move(callback);
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void LDescriptorWatcher::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop.Set();
    m_thread.join();
    m_callback = {};
    m_fd = -1;
}

void LDescriptorWatcher::Run()
{
    for (;;) {
        pollfd fds[2] = { { m_fd, POLLIN, 0 }, { m_stop.Fd(), POLLIN, 0 } };
        const int nReady = poll(fds, 2, -1);
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady < 0 || (fds[1].revents & POLLIN))
            return;
        // A hung-up or invalid node is left to the callback, whose read tells it is gone.
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) && !m_callback())
            return;
    }
}
