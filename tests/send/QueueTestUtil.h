// Helpers of the send queue's tests: jobs, the file's expected bytes, and
// waiting for the queue's thread to finish its run.
#pragma once

#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"
#include "tests/support/TestSupport.h"

#include <cstring>
#include <string>
#include <vector>

namespace queuetest {

inline SendJobItem Job(const std::string& path)
{
    SendJobItem item;
    EXPECT_TRUE(SendJobItem::MakeSendJob(path, &item)) << path;
    return item;
}

// The header's bytes as the file holds them, written out by hand.
inline std::vector<uint8_t> HeaderBytes(uint16_t uVersion, uint16_t uFailCount, uint32_t uSize = 269)
{
    return { static_cast<uint8_t>(uVersion), static_cast<uint8_t>(uVersion >> 8), static_cast<uint8_t>(uFailCount),
        static_cast<uint8_t>(uFailCount >> 8), static_cast<uint8_t>(uSize), static_cast<uint8_t>(uSize >> 8),
        static_cast<uint8_t>(uSize >> 16), static_cast<uint8_t>(uSize >> 24) };
}

// A record's bytes written out by hand: path field, recipient, two numbers.
inline std::vector<uint8_t> RecordBytes(
    const std::string& path, uint8_t uSendTo = 0xFF, uint32_t uUserID = 0, uint32_t uFileNumber = 0)
{
    std::vector<uint8_t> bytes(269, 0);
    std::memcpy(bytes.data(), path.data(), std::min<size_t>(path.size(), 260));
    bytes[260] = uSendTo;
    for (int i = 0; i < 4; ++i) {
        bytes[261 + i] = static_cast<uint8_t>(uUserID >> (8 * i));
        bytes[265 + i] = static_cast<uint8_t>(uFileNumber >> (8 * i));
    }
    return bytes;
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Waits for the queue's thread to end its run; false after the time-out.
inline bool WaitIdle(const LProcessListThread& queue, int ms = 5000)
{
    return test::WaitUntil([&] { return !queue.IsRunning(); }, ms);
}

} // namespace queuetest
