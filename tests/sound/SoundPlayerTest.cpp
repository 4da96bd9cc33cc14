// The player on the scripted device, whose playback is heard only when the
// test says so.
#include "foundation/LQueueMainLoop.h"
#include "sound/device/LSoundPlayer.h"
#include "tests/support/Audio.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
    char kind; // 'P'laying, 'S'topped, 'T'ime, 'L'evels
    int32_t nValue;
};

class Listener : public LSoundPlayerNotify {
public:
    void OnPlaying(uint32_t) override { events.push_back({ 'P', 0 }); }
    void OnStopped(uint32_t) override { events.push_back({ 'S', 0 }); }
    void OnTime(uint32_t, int32_t nMs) override { events.push_back({ 'T', nMs }); }
    void OnLevels(uint32_t, const LChannelLevels& levels) override
    {
        events.push_back({ 'L', levels.Loudest() });
        lastLevels = levels;
    }
    bool Stopped() const { return !events.empty() && events.back().kind == 'S'; }
    std::vector<int32_t> Times() const
    {
        std::vector<int32_t> t;
        for (const Event& e : events)
            if (e.kind == 'T')
                t.push_back(e.nValue);
        return t;
    }
    std::vector<Event> events;
    LChannelLevels lastLevels;
};

class SoundPlayerTest : public ::testing::Test {
protected:
    bool PumpUntil(const std::function<bool()>& done, uint32_t uTimeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(uTimeoutMs);
        while (!done()) {
            if (Clock::now() >= deadline)
                return false;
            loop.Pump(5);
        }
        return true;
    }

    LQueueMainLoop loop;
    Listener listener;
};

TEST_F(SoundPlayerTest, PositionIsThatOfWhatIsHeardAndSeekingLandsOnTheTarget)
{
    test::ScriptedPcmBackend device;
    device.SetPlaybackManual(true);
    device.Install();
    // A ramp that never repeats within the test, so a frame tells where it came from.
    std::vector<int16_t> ramp(8000 * 20);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(int32_t((i * 7) % 65536) - 32768);
    LSoundSourceRef source(new test::VectorSource(test::ToInternal(ramp), 8000, 1));
    LSoundPlayer player(loop);
    player.SetListener(&listener, 1);
    const uint32_t block = LSoundPlayer::BlockFrames(8000);

    ASSERT_TRUE(player.Start(source));

    // Nothing heard yet: the ring fills, no position moves.
    ASSERT_TRUE(
        PumpUntil([&] { return device.PlaybackSamples().size() >= size_t(block) * LSoundPlayer::kRingBlocks; }));
    size_t before = device.PlaybackSamples().size();
    EXPECT_EQ(listener.Times(), std::vector<int32_t>({ 0 }));

    // Two and a half blocks heard: the position is the end of the second.
    device.AdvancePlayback(block * 5 / 2);
    ASSERT_TRUE(PumpUntil([&] { return listener.Times().size() >= 2; }));
    EXPECT_EQ(listener.Times().back(), int32_t(2 * block * 1000 / 8000));

    // The room freed is filled again before the seek.
    ASSERT_TRUE(test::WaitUntil([&] { return device.PlaybackSamples().size() == before + block * 5 / 2; }));
    // One more block heard, its position published but not yet delivered
    // when the seek comes: it must not be reported after the seek.
    device.AdvancePlayback(block);
    ASSERT_TRUE(test::WaitUntil([&] { return device.PlaybackSamples().size() == before + block * 7 / 2; }));
    before = device.PlaybackSamples().size();

    const int64_t target = 8000 * 10 + 123;
    listener.events.clear();
    player.Seek(target);
    ASSERT_EQ(listener.Times().size(), 1u);
    EXPECT_EQ(listener.Times()[0], int32_t(target * 1000 / 8000)); // at once
    // What is written after the seek starts at the target.
    ASSERT_TRUE(PumpUntil([&] { return device.PlaybackSamples().size() >= before + block; }));
    const std::vector<int16_t> played = device.PlaybackSamples();
    for (size_t i = 0; i < block; ++i)
        ASSERT_EQ(played[before + i], ramp[size_t(target) + i]) << i;

    // Three blocks of the new place heard.
    ASSERT_TRUE(PumpUntil([&] { return device.PlaybackSamples().size() >= before + 4 * block; }));
    device.AdvancePlayback(block * 3 + 10);
    ASSERT_TRUE(PumpUntil([&] { return listener.Times().back() > listener.Times()[0]; }));
    for (int32_t t : listener.Times())
        EXPECT_GE(t, int32_t(target * 1000 / 8000)); // nothing queued before the seek reports
    EXPECT_EQ(listener.Times().back(), int32_t((target + 3 * block) * 1000 / 8000));
    player.Stop();
    EXPECT_TRUE(listener.Stopped());
    EXPECT_FALSE(device.PlaybackIsOpen());
}

TEST_F(SoundPlayerTest, LimiterOnlyForSourcesLouderThanFullScale)
{
    test::ScriptedPcmBackend device;
    device.Install();
    // Twice full scale in the samples; only the declared maximum decides.
    for (int32_t nMax : { kMaxAmplitudePCM, 0x100000 }) {
        SCOPED_TRACE(nMax);
        std::vector<int32_t> loud(8000);
        for (size_t i = 0; i < loud.size(); ++i)
            loud[i] = int32_t(std::lround(2.0 * 0x7FFF0 * std::sin(double(i) * 0.05)));
        LSoundSourceRef source(new test::VectorSource(loud, 8000, 1, nMax));
        LSoundPlayer player(loop);
        ASSERT_TRUE(player.Start(source));
        ASSERT_TRUE(PumpUntil([&] { return device.PlaybackSamples().size() >= loud.size(); }));
        player.Stop();
        const std::vector<int16_t> played = device.PlaybackSamples();
        const size_t clipped = std::count_if(played.end() - 8000, played.end(), [](int16_t s) { return s >= 32767; });
        if (nMax == kMaxAmplitudePCM)
            EXPECT_GT(clipped, 100u); // played directly, so the device clips it
        else
            EXPECT_EQ(clipped, 0u);
    }
}

// A source that takes its time over every block, as one on a slow disk.
class SlowSource : public test::VectorSource {
public:
    using test::VectorSource::VectorSource;
    void Read(int32_t* pBuffer, int32_t nFrames) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        test::VectorSource::Read(pBuffer, nFrames);
    }
};

TEST_F(SoundPlayerTest, ADeviceThatTakesNothingEndsPlaybackButASlowSourceDoesNot)
{
    test::ScriptedPcmBackend device;
    device.SetPlaybackManual(true); // nothing is ever heard
    device.Install();
    const std::vector<int32_t> samples(8000 * 20);
    {
        LSoundPlayer player(loop);
        player.SetListener(&listener, 1);
        player.SetStalledMs(300);
        ASSERT_TRUE(player.Start(LSoundSourceRef(new test::VectorSource(samples, 8000, 1))));
        ASSERT_TRUE(PumpUntil([&] { return listener.Stopped(); }));
        EXPECT_EQ(listener.Times().back(), 20000); // shown as the end
    }
    // Blocks of 100 ms that take 150 ms each to read: the device runs dry
    // between them, but takes every one.
    device.SetPlaybackManual(false);
    listener.events.clear();
    const std::vector<int16_t> pcm = test::Speechlike16(2000, 2, 4000, 9);
    LSoundPlayer player(loop);
    player.SetListener(&listener, 1);
    player.SetStalledMs(30);
    ASSERT_TRUE(player.Start(LSoundSourceRef(new SlowSource(test::ToInternal(pcm), 4000, 2))));
    ASSERT_TRUE(PumpUntil([&] { return listener.Stopped(); }));
    const std::vector<int16_t> played = device.PlaybackSamples();
    ASSERT_GE(played.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.end() - pcm.size()));
}

} // namespace
