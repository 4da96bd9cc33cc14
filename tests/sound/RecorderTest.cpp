// The recorder against a scripted sound device: which samples reach the sink
// under voice activation with its pre-roll and the cut-back at stop, and a
// capture thread slow to start or stop. The expected samples come from the
// device's blocks run through a high-pass written here from the filter's
// description.
#include "foundation/LQueueMainLoop.h"
#include "sound/device/LSoundRecorder.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

namespace {

using test::ScriptedPcmBackend;
using Block = std::vector<int16_t>;

// Keeps what it is given, under a lock (the recorder writes on its thread);
// Seek truncates as a record sink does.
class MemorySink : public LSoundSinkBase {
public:
    using LSoundSinkBase::LSoundSinkBase;
    void Write(const int32_t* p, int32_t nFrames) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.insert(m_samples.end(), p, p + size_t(nFrames) * NumChannels());
        m_nPosition += nFrames;
    }
    void Seek(int64_t nFrame) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nPosition = std::clamp<int64_t>(nFrame, 0, m_nPosition);
        m_samples.resize(size_t(m_nPosition) * NumChannels());
    }
    bool WaitFrames(size_t nFrames)
    {
        return test::WaitUntil([&] { return Samples().size() >= nFrames; });
    }
    std::vector<int32_t> Samples()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

private:
    std::mutex m_mutex;
    std::vector<int32_t> m_samples;
};

struct Listener : LSoundRecorderNotify {
    std::string events; // W waiting, R recording, S stopped
    int nLevelCalls = 0;
    LChannelLevels lastLevels;
    int32_t nLastTime = -1;
    void OnRecording(uint32_t uCookie) override { Note('R', uCookie); }
    void OnWaiting(uint32_t uCookie) override { Note('W', uCookie); }
    void OnStopped(uint32_t uCookie) override { Note('S', uCookie); }
    void OnTime(uint32_t, int32_t nMs) override { nLastTime = nMs; }
    void OnLevels(uint32_t, const LChannelLevels& levels) override
    {
        ++nLevelCalls;
        lastLevels = levels;
    }
    void Note(char c, uint32_t uCookie)
    {
        EXPECT_EQ(uCookie, 77u);
        if (events.empty() || events.back() != c)
            events += c;
    }
    bool Stopped() const { return !events.empty() && events.back() == 'S'; }
};

// The high-pass as described: D starts at 0; x -= D >> 12; D += x * (192000 / rate + 1);
// kept in 64 bits and saturated to the internal full scale.
std::vector<int32_t> Filtered(const std::vector<Block>& blocks, int nChannels = 1)
{
    std::vector<int32_t> out;
    std::vector<int64_t> d(nChannels, 0);
    size_t i = 0;
    for (const Block& b : blocks)
        for (int16_t s : b) {
            int64_t& acc = d[i++ % nChannels];
            const int64_t x = int64_t(s) * 16 - (acc >> 12);
            acc += x * (192000 / 8000 + 1);
            out.push_back(int32_t(std::clamp<int64_t>(x, -0x7FFF0, 0x7FFF0)));
        }
    return out;
}

std::vector<int32_t> Slice(const std::vector<int32_t>& v, size_t from, size_t to)
{
    return std::vector<int32_t>(v.begin() + from, v.begin() + to);
}

constexpr uint32_t kB = 800; // block at 8000 Hz
constexpr int kLoud = 16000;
constexpr int kQuiet = 100; // about -38 dB on the meter

// A 1 kHz tone at 8000 Hz whose amplitude is chosen per half block.
Block Tone(uint32_t uFrames, int nFirstHalf, int nSecondHalf)
{
    Block b;
    for (uint32_t i = 0; i < uFrames; ++i)
        b.push_back(int16_t(std::lround((i < uFrames / 2 ? nFirstHalf : nSecondHalf) * std::sin(M_PI * i / 4))));
    return b;
}
Block Loud()
{
    return Tone(kB, kLoud, kLoud);
}
Block Quiet()
{
    return Tone(kB, kQuiet, kQuiet);
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_backend.Install();
        m_recorder.SetListener(&m_listener, 77);
    }
    void Script(std::vector<Block> blocks, bool bEnd = true)
    {
        m_blocks = blocks;
        m_listener.events.clear();
        ScriptedPcmBackend::CaptureScript s;
        s.blocks = std::move(blocks);
        s.bEndAtFinish = bEnd;
        m_backend.SetCaptureScript(std::move(s));
    }
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            m_loop.Pump(20);
        return done();
    }
    LSoundRef<MemorySink> Start(uint32_t uFlags, int nStartLevel, int32_t nMaxMs = 0, uint8_t nChannels = 1)
    {
        auto sink = MakeSoundRef<MemorySink>(8000, nChannels);
        EXPECT_TRUE(m_recorder.Start(LSoundSinkRef(sink), uFlags, nMaxMs, nStartLevel, 4000));
        return sink;
    }
    // Records the scripted blocks until the device ends or the maximum time,
    // running the main loop only once the thread has ended by itself, as a
    // loaded machine may; returns the sink's samples.
    std::vector<int32_t> RecordAll(uint32_t uFlags, int nStartLevel, uint8_t nChannels = 1, int32_t nMaxMs = 0)
    {
        auto sink = Start(uFlags, nStartLevel, nMaxMs, nChannels);
        EXPECT_TRUE(test::WaitUntil([&] { return !m_recorder.IsRunning(); }));
        EXPECT_TRUE(PumpUntil([&] { return m_listener.Stopped(); }));
        if (nMaxMs > 0) {
            EXPECT_EQ(m_listener.nLastTime, nMaxMs) << "the time reached is shown";
        }
        EXPECT_EQ(sink->RefCount(), 1u) << "the recorder let the sink go";
        return sink->Samples();
    }

    ScriptedPcmBackend m_backend;
    LQueueMainLoop m_loop;
    Listener m_listener;
    LSoundRecorder m_recorder { m_loop };
    std::vector<Block> m_blocks;
};

// Which part of the device's blocks reaches the sink under voice activation
// and a maximum time.
TEST_F(RecorderTest, VoiceActivationStartsWithItsPreRollAndStopCutsTheTail)
{
    Block quietLeftLoudRight;
    for (int i = 0; i < int(kB); ++i) {
        quietLeftLoudRight.push_back(0);
        quietLeftLoudRight.push_back(int16_t(std::lround(kLoud * std::sin(2 * M_PI * i / 8.0))));
    }
    std::vector<Block> longSilence { Block(kB, 0), Loud() };
    longSilence.resize(52, Block(kB, 0)); // then 5 s of silence
    std::vector<Block> wake { Quiet(), Tone(kB, kLoud, kQuiet) };
    wake.resize(40, Loud());
    struct Case {
        const char* szWhat;
        std::vector<Block> blocks;
        int nLevel;
        uint8_t nChannels;
        size_t nFrom, nTo; // frames of the filtered blocks; nTo 0 for all
        int32_t nMaxMs = 0;
    };
    const Case cases[] = {
        // The lowest level writes everything and never pauses.
        { "lowest level", longSilence, -127, 1, 0, 0 },
        { "speech in the second half", { Quiet(), Quiet(), Tone(kB, kQuiet, kLoud), Loud() }, -18, 1, 2 * kB, 0 },
        // Speech filling the first half gets half a block of pre-roll.
        { "speech in the first half", { Quiet(), Quiet(), Tone(kB, kLoud, kQuiet), Loud() }, -18, 1, kB + kB / 2, 0 },
        // No pre-roll before the very first block; the quiet after it is cut
        // back to 50 ms after the loud block, not after the start.
        { "one loud block", { Loud(), Quiet(), Quiet() }, -18, 1, 0, 150 * 8 },
        // The maximum time is exact, even with a device faster than real
        // time that never ends, and counts the pre-roll.
        { "maximum time on a block", std::vector<Block>(40, Loud()), -127, 1, 0, 8000, 1000 },
        { "maximum time within a block", std::vector<Block>(40, Loud()), -127, 2, 0, 8240, 1030 },
        { "maximum time within the waking write", wake, -18, 1, kB / 2, kB / 2 + 800, 100 },
        { "louder right channel", { Block(2 * kB, 0), quietLeftLoudRight }, -18, 2, kB / 2, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szWhat);
        Script(c.blocks, c.nMaxMs == 0);
        const auto samples = RecordAll(0, c.nLevel, c.nChannels, c.nMaxMs);
        const auto all = Filtered(m_blocks, c.nChannels);
        EXPECT_EQ(samples, Slice(all, c.nFrom * c.nChannels, c.nTo ? c.nTo * c.nChannels : all.size()));
        if (c.nLevel == -127) { // Start may already find the first block written; either way, no pause
            EXPECT_TRUE(m_listener.events == "WRS" || m_listener.events == "RS") << m_listener.events;
            EXPECT_GT(m_listener.nLevelCalls, 0);
        }
    }
    ASSERT_EQ(m_listener.lastLevels.nCount, 2);
    EXPECT_EQ(m_listener.lastLevels.Get(0), -127);
    EXPECT_GT(m_listener.lastLevels.Get(1), 0);
}

TEST_F(RecorderTest, StartTimeOutFailsAndReleasesTheSinkWithoutKillingTheThread)
{
    Script({ Loud() }, false);
    m_backend.SetStartDelayMs(1800);
    m_recorder.SetStopTimeoutMs(100);
    auto sink = MakeSoundRef<MemorySink>(8000, 1);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_recorder.Start(LSoundSinkRef(sink), LSoundRecorder::kFlagRecordAtOnce, 0, -127, 4000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1750));
    // The thread is still inside the device: it keeps the sink alive itself.
    EXPECT_TRUE(m_recorder.IsRunning());
    EXPECT_EQ(sink->RefCount(), 2u);
    EXPECT_FALSE(m_recorder.Start(LSoundSinkRef(sink), LSoundRecorder::kFlagRecordAtOnce, 0, -127, 4000));
    ASSERT_TRUE(test::WaitUntil([&] { return !m_recorder.IsRunning(); }));
    m_recorder.SetStopTimeoutMs(LSoundRecorder::kStopTimeoutMs);
    EXPECT_EQ(sink->Samples().size(), 0u);
    m_loop.Pump(50);
    EXPECT_EQ(m_listener.events, "");

    // Once it has ended the recorder works again.
    m_backend.SetStartDelayMs(0);
    Script({ Loud() }, true);
    EXPECT_EQ(RecordAll(LSoundRecorder::kFlagRecordAtOnce, -127), Filtered(m_blocks));
    EXPECT_EQ(sink->RefCount(), 1u);
}

TEST_F(RecorderTest, StopLeavesAThreadThatDoesNotEndItsOwnSink)
{
    Script({ Loud(), Loud(), Loud() }, false);
    m_backend.SetStopDelayMs(400);
    m_recorder.SetStopTimeoutMs(50);
    auto sink = Start(LSoundRecorder::kFlagRecordAtOnce, -127);
    ASSERT_TRUE(sink->WaitFrames(3 * kB));
    m_recorder.Stop();
    // Reported stopped at once; the thread, still inside the device, keeps
    // the sink until it ends by itself, and nothing is cut under it.
    EXPECT_EQ(m_listener.events.back(), 'S');
    EXPECT_EQ(m_recorder.GetRecordState(), LSoundRecorder::kStateStopped);
    EXPECT_TRUE(m_recorder.IsRunning());
    EXPECT_EQ(sink->RefCount(), 2u);
    ASSERT_TRUE(test::WaitUntil([&] { return !m_recorder.IsRunning(); }));
    EXPECT_EQ(sink->RefCount(), 1u);
    EXPECT_EQ(sink->Samples(), Filtered(m_blocks));
    m_recorder.SetStopTimeoutMs(LSoundRecorder::kStopTimeoutMs);
}

// A device that has given its audio and stays silent keeps the thread in its
// read; the stop ends that wait itself, not the read's time-out.
TEST_F(RecorderTest, StopWakesTheThreadWaitingOnTheDevice)
{
    Script({ Loud() }, false);
    auto sink = Start(LSoundRecorder::kFlagRecordAtOnce, -127);
    ASSERT_TRUE(sink->WaitFrames(kB));
    ASSERT_TRUE(test::WaitUntil([&] { return m_backend.CaptureIsWaiting(); }));
    m_recorder.Stop();
    EXPECT_EQ(m_backend.WokenWaits(), 1u) << "the read ran to its time-out";
    EXPECT_FALSE(m_recorder.IsRunning());
    EXPECT_EQ(sink->Samples(), Filtered(m_blocks));
}

} // namespace
