// The Voice Input Station: a HID raw device of vendor 0x05F3 whose product is
// 253 and whose top-level collection is on usage page 12. A thread of its own
// reads its key reports and turns changed key bits into transport codes; the
// window sets its indicator by an output report. Open, Close and
// SetIndicator on the GUI thread; the callback runs on the reader thread.
#pragma once

#include "platform/LControllerDevice.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

inline constexpr uint16_t kProductVoiceStation = 253;
inline constexpr uint16_t kUsagePageVoiceStation = 12;

// Transport codes: 0 stopped, 1 record, 2 play, 3 rewind, 4 forward, 5 record
// insert, 7 end of letter pressed.
class LVoiceStationKeys {
public:
    static constexpr int kEndOfLetter = 7;
    // The codes that one key report gives, at most two, in *pCodes; their count.
    int Take(uint8_t uKeys, int* pCodes);

private:
    // Nothing held and stopped, until the first report says otherwise.
    uint8_t m_uKeys = 0;
    int m_nCode = 0;
};

class LVoiceStation {
public:
    enum Indicator : uint8_t { kStopped = 0, kRecording = 17, kWaiting = 34 };
    static constexpr size_t kIndicatorSize = 80;
    // How long the reader waits after a read error before trying again.
    static constexpr int kRetryMs = 50;

    struct Node {
        std::string devnode;
        bool bNumberedReports = false;
    };
    // The station's hidraw node; an empty devnode when none is plugged in.
    static Node Find(const LDeviceRoots& roots);

    LVoiceStation() = default;
    ~LVoiceStation() { Close(); }
    LVoiceStation(const LVoiceStation&) = delete;
    LVoiceStation& operator=(const LVoiceStation&) = delete;

    // Opens the node (reports read from readPath; the indicator written to
    // writePath, the same node unless a test gives another) and starts the
    // reader thread, which calls onCode with each transport code.
    LDeviceOpen Open(const Node& node, std::function<void(int nCode)> onCode, const std::string& writePath = {});
    // Stops the thread (it sees the stop at once) and closes the node.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // True once the reader has ended by itself (the device went away).
    bool HasEnded() const { return m_bEnded; }

    // Sends the 80-byte indicator report: byte 1 = 2, byte 2 = 41, byte 3 = value.
    bool SetIndicator(uint8_t uValue);

    // The key bits of one report as hidraw gives it.
    static bool KeyBits(const uint8_t* pReport, size_t nSize, bool bNumbered, uint8_t* pKeys);

private:
    void Run();

    int m_fd = -1;
    int m_writeFd = -1;
    int m_stopFd = -1;
    bool m_bNumbered = false;
    std::atomic<bool> m_bEnded { false };
    std::function<void(int)> m_onCode;
    std::mutex m_writeMutex;
    std::thread m_thread;
};
