#include "platform/LHidPedal.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

uint8_t LPedalStride::Take(const uint8_t* pData, size_t nSize)
{
    if (nSize == 0)
        return m_uLast;
    if (m_nStride == 0) {
        if (nSize % 2 == 1)
            m_nStride = 3;
        else if (nSize % 3 != 0)
            m_nStride = 2;
        else
            return m_uLast; // a multiple of 6 could be either
    }
    // A read shorter than one report holds no pedal byte.
    if (nSize < static_cast<size_t>(m_nStride))
        return m_uLast;
    m_uLast = pData[nSize - static_cast<size_t>(m_nStride) + 1];
    return m_uLast;
}

std::string LHidPedal::Find(const LDeviceRoots& roots)
{
    std::vector<LHidrawNode> nodes = FindHidrawNodes(roots, kVendorVec, kProductInfinityPedal);
    return nodes.empty() ? std::string() : nodes.front().devnode;
}

LDeviceOpen LHidPedal::Open(const std::string& path)
{
    Close();
    return OpenControllerDevice(path, O_RDONLY | O_NONBLOCK, &m_fd);
}

void LHidPedal::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool LHidPedal::Read(std::vector<uint8_t>* pStates)
{
    if (m_fd < 0)
        return false;
    uint8_t buffer[kReadSize];
    for (int nRounds = 0; nRounds < 64; ++nRounds) {
        ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            Close();
            return false;
        }
        const uint8_t uBefore = m_stride.Last();
        const uint8_t uNow = m_stride.Take(buffer, static_cast<size_t>(n));
        if (uNow != uBefore && pStates)
            pStates->push_back(uNow);
    }
    return true;
}
