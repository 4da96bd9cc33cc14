// USB foot pedals read through HID raw (/dev/hidrawN, found through sysfs by
// HID vendor and product). A read gives the reports that arrived since the
// last one; their length, 2 or 3 bytes each by model, is learnt from the first
// read that tells it, and the pedal byte is the second byte of the last report.
// GUI thread.
#pragma once

#include "platform/LControllerDevice.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint16_t kProductInfinityPedal = 0x00FF;

// The stride rule, kept for the whole program across opens.
class LPedalStride {
public:
    // The pedal byte after a read of nSize bytes (0 bytes: the last one).
    uint8_t Take(const uint8_t* pData, size_t nSize);
    int Stride() const { return m_nStride; }
    uint8_t Last() const { return m_uLast; }

private:
    int m_nStride = 0; // 0 until known, then 2 or 3
    uint8_t m_uLast = 0;
};

class LHidPedal {
public:
    // Reads at most this much at a time: a multiple of both strides, so a run
    // of reports in a pipe never splits across reads.
    static constexpr size_t kReadSize = 48;

    LHidPedal() = default;
    ~LHidPedal() { Close(); }
    LHidPedal(const LHidPedal&) = delete;
    LHidPedal& operator=(const LHidPedal&) = delete;

    // The first hidraw node of the pedal, empty when none is plugged in.
    static std::string Find(const LDeviceRoots& roots);
    LDeviceOpen Open(const std::string& path);
    void Close();
    int Fd() const { return m_fd; }

    // Reads what the node holds; each read's pedal byte that differs from the
    // one before is added to *pStates. False when the device is gone.
    bool Read(std::vector<uint8_t>* pStates);
    uint8_t Pedals() const { return m_stride.Last(); }

private:
    int m_fd = -1;
    LPedalStride m_stride;
};
