#include "platform/LVoiceStation.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

int LVoiceStationKeys::Take(uint8_t uKeys, int* pCodes)
{
    if (uKeys == m_uKeys)
        return 0;
    // Later keys win.
    int nCode = 0;
    if (uKeys & (1u << 1))
        nCode = 3;
    if (uKeys & (1u << 2))
        nCode = 2;
    if (uKeys & (1u << 4))
        nCode = 1;
    if (uKeys & (1u << 5))
        nCode = 4;
    if (uKeys & (1u << 6))
        nCode = 5;
    int nCount = 0;
    if (nCode != m_nCode) {
        pCodes[nCount++] = nCode;
        m_nCode = nCode;
    }
    if ((uKeys & 0x80) && !(m_uKeys & 0x80))
        pCodes[nCount++] = kEndOfLetter;
    m_uKeys = uKeys;
    return nCount;
}

LVoiceStation::Node LVoiceStation::Find(const LDeviceRoots& roots)
{
    for (const LHidrawNode& node : FindHidrawNodes(roots, kVendorVec, kProductVoiceStation)) {
        // The station shows several interfaces; the keys are on the consumer page.
        std::vector<uint8_t> descriptor(4096);
        int fd = open((node.sysfs + "/report_descriptor").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ssize_t n = read(fd, descriptor.data(), descriptor.size());
        close(fd);
        if (n <= 0)
            continue;
        LHidDescriptorInfo info = ParseHidDescriptor(descriptor.data(), static_cast<size_t>(n));
        if (info.bFound && info.uUsagePage == kUsagePageVoiceStation)
            return { node.devnode, info.bNumberedReports };
    }
    return {};
}

bool LVoiceStation::KeyBits(const uint8_t* pReport, size_t nSize, bool bNumbered, uint8_t* pKeys)
{
    // The keys are the first data byte, after the report number where there is one.
    const size_t nAt = bNumbered ? 1 : 0;
    if (nSize <= nAt)
        return false;
    *pKeys = pReport[nAt];
    return true;
}

LDeviceOpen LVoiceStation::Open(const Node& node, std::function<void(int)> onCode, const std::string& writePath)
{
    Close();
    LDeviceOpen result
        = OpenControllerDevice(node.devnode, (writePath.empty() ? O_RDWR : O_RDONLY) | O_NONBLOCK, &m_fd);
    if (result != LDeviceOpen::kOpened)
        return result;
    if (!writePath.empty()) {
        result = OpenControllerDevice(writePath, O_WRONLY | O_NONBLOCK, &m_writeFd);
        if (result != LDeviceOpen::kOpened) {
            Close();
            return result;
        }
    }
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0) {
        Close();
        return LDeviceOpen::kFailed;
    }
    m_bNumbered = node.bNumberedReports;
    m_onCode = std::move(onCode);
    m_bEnded = false;
    m_thread = std::thread([this] { Run(); });
    return LDeviceOpen::kOpened;
}

void LVoiceStation::Close()
{
    if (m_thread.joinable()) {
        uint64_t uOne = 1;
        if (write(m_stopFd, &uOne, sizeof uOne) != sizeof uOne) {
            // An eventfd write fails only on overflow; the thread has seen a stop already.
        }
        m_thread.join();
    }
    for (int* pFd : { &m_fd, &m_writeFd, &m_stopFd }) {
        if (*pFd >= 0)
            close(*pFd);
        *pFd = -1;
    }
}

bool LVoiceStation::SetIndicator(uint8_t uValue)
{
    std::lock_guard<std::mutex> lock(m_writeMutex);
    const int fd = m_writeFd >= 0 ? m_writeFd : m_fd;
    if (fd < 0 || m_bEnded)
        return false;
    // Byte 0 is the report number, 0 for a device that numbers none.
    uint8_t report[kIndicatorSize] = {};
    report[1] = 2;
    report[2] = 41;
    report[3] = uValue;
    return write(fd, report, sizeof report) == static_cast<ssize_t>(sizeof report);
}

void LVoiceStation::Run()
{
    LVoiceStationKeys keys;
    uint8_t report[256];
    for (;;) {
        pollfd fds[2] = { { m_fd, POLLIN, 0 }, { m_stopFd, POLLIN, 0 } };
        int nReady = poll(fds, 2, -1);
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady < 0 || (fds[1].revents & POLLIN))
            break;
        ssize_t n = read(m_fd, report, sizeof report);
        if (n == 0 || (n < 0 && (errno == ENODEV || errno == EIO))) {
            m_bEnded = true; // unplugged: not restarted by itself
            break;
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                pollfd stop { m_stopFd, POLLIN, 0 };
                if (poll(&stop, 1, kRetryMs) > 0)
                    break;
            }
            continue;
        }
        uint8_t uKeys = 0;
        if (!KeyBits(report, static_cast<size_t>(n), m_bNumbered, &uKeys))
            continue;
        int codes[2];
        int nCodes = keys.Take(uKeys, codes);
        for (int i = 0; i < nCodes; ++i)
            if (m_onCode)
                m_onCode(codes[i]);
    }
}
