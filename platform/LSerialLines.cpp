#include "platform/LSerialLines.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

LSerialLines::LSerialLines(StatusReader reader)
    : m_reader(
        reader ? std::move(reader) : StatusReader([](int fd, int* pStatus) { return ioctl(fd, TIOCMGET, pStatus); }))
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
