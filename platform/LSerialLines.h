// A serial-port control: its buttons are wired to the modem status lines,
// which are read (never written) through TIOCMGET. The kernel can wake a
// waiter on a line change only with a thread blocked in TIOCMIWAIT, so the
// lines are polled by the caller instead. GUI thread.
#pragma once

#include "platform/LControllerDevice.h"

#include <cstdint>
#include <functional>
#include <string>

class LSerialLines {
public:
    // The modem-status read: fills *pStatus with TIOCM_* bits, returns 0 or -1
    // as ioctl does. Tests put a double here.
    using StatusReader = std::function<int(int fd, int* pStatus)>;

    explicit LSerialLines(StatusReader reader = {});
    ~LSerialLines() { Close(); }
    LSerialLines(const LSerialLines&) = delete;
    LSerialLines& operator=(const LSerialLines&) = delete;

    // Opens an existing port for reading, exclusively, and writes its line
    // settings back unchanged (so a port left half set up starts clean).
    LDeviceOpen Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Bit 0 clear-to-send, 1 data-set-ready, 2 ring indicator, 3 carrier
    // detect; 0 when the lines cannot be read.
    uint8_t ReadBits() const;

private:
    StatusReader m_reader;
    int m_fd = -1;
};
