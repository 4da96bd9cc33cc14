#include "platform/LWakeEvent.h"

#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

LWakeEvent::LWakeEvent()
    : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

LWakeEvent::~LWakeEvent()
{
    if (m_fd >= 0)
        close(m_fd);
}

void LWakeEvent::Set()
{
    if (m_fd < 0)
        return;
    const uint64_t uOne = 1;
    if (write(m_fd, &uOne, sizeof uOne) != sizeof uOne) {
        // Only a counter at its maximum refuses, and that is readable already.
    }
}

void LWakeEvent::Reset()
{
    if (m_fd < 0)
        return;
    uint64_t uCount = 0;
    if (read(m_fd, &uCount, sizeof uCount) != sizeof uCount) {
        // EAGAIN: it was not set.
    }
}

bool LWakeEvent::IsSet() const
{
    pollfd pfd { m_fd, POLLIN, 0 };
    return m_fd >= 0 && poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN);
}
