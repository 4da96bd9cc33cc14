// The ALSA streams run for real against the test's own ALSA configuration:
// file PCMs over the null PCM stand in for the sound card.
#include "platform/LAlsaBackend.h"
#include "platform/LAlsaMixer.h"
#include "tests/support/AlsaTestConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using Direction = LPcmBackend::Direction;

std::vector<int16_t> RandomSamples(size_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<int16_t> samples(count);
    for (auto& s : samples)
        s = static_cast<int16_t>(dist(rng));
    return samples;
}

// Stops on recorded length, never on wall time: the null PCM delivers at once.
std::vector<int16_t> CaptureAll(LPcmCapture& capture, uint32_t channels, size_t want, uint32_t blockFrames)
{
    std::vector<int16_t> got;
    std::vector<int16_t> block(size_t(blockFrames) * channels);
    int idle = 0;
    while (got.size() < want && idle < 50) {
        int32_t n = capture.Read(block.data(), blockFrames, 100);
        if (n == LPcmCapture::kEnd || n == LPcmCapture::kError)
            break;
        idle = n == 0 ? idle + 1 : 0;
        got.insert(got.end(), block.begin(), block.begin() + n * channels);
    }
    return got;
}

bool AllZero(const std::vector<int16_t>& v, size_t from)
{
    return std::all_of(v.begin() + std::min(from, v.size()), v.end(), [](int16_t s) { return s == 0; });
}

TEST(AlsaBackend, CaptureDeliversExactlyTheInputSamplesOnDefaultAndNumberedDevices)
{
    test::AlsaTestConfig alsa;
    struct Case {
        uint32_t device, rate, channels, frames, block;
    };
    // The second reads more at once than the device's buffer holds.
    for (Case c : { Case { 0, 8000, 1, 3001, 256 }, Case { 2, 44100, 2, 9000, 12000 } }) {
        SCOPED_TRACE(c.device);
        std::vector<int16_t> input = RandomSamples(size_t(c.frames) * c.channels, 7 + c.device);
        ASSERT_TRUE(alsa.SetCaptureSamples(c.device, input));
        std::string error;
        auto capture = LAlsaBackend::Instance().OpenCapture(c.device, { c.rate, c.channels, 800, 10 }, &error);
        ASSERT_TRUE(capture) << error;
        int16_t early[2];
        EXPECT_EQ(capture->Read(early, 1, 0), 0) << "nothing before Start";
        ASSERT_TRUE(capture->Start());
        // A second of frames beyond the input: silence (or the end) follows it.
        std::vector<int16_t> got
            = CaptureAll(*capture, c.channels, input.size() + size_t(c.rate) * c.channels, c.block);
        ASSERT_GE(got.size(), input.size());
        EXPECT_TRUE(std::equal(input.begin(), input.end(), got.begin()));
        EXPECT_TRUE(AllZero(got, input.size()));
    }
}

TEST(AlsaBackend, PlaybackWritesExactlyTheSamples)
{
    test::AlsaTestConfig alsa;
    const uint32_t channels = 2, period = 441;
    std::vector<int16_t> samples = RandomSamples(size_t(10000) * channels, 11);
    {
        std::string error;
        auto playback = LAlsaBackend::Instance().OpenPlayback(1, { 44100, channels, period, 8 }, &error);
        ASSERT_TRUE(playback) << error;
        EXPECT_GE(playback->BufferFrames(), period * 2);
        size_t done = 0;
        int stalls = 0;
        while (done < samples.size() && stalls < 100) {
            int32_t room = playback->WaitWritable(100);
            ASSERT_NE(room, LPcmPlayback::kError);
            uint32_t frames = std::min<uint32_t>(room, (samples.size() - done) / channels);
            int32_t n = playback->Write(samples.data() + done, frames);
            ASSERT_GE(n, 0);
            stalls = n == 0 ? stalls + 1 : 0;
            done += size_t(n) * channels;
        }
        ASSERT_EQ(done, samples.size());
        EXPECT_TRUE(playback->Drain(2000));
        EXPECT_EQ(playback->Delay(), 0);
    }
    std::vector<int16_t> out = alsa.StreamSamples(1);
    ASSERT_GE(out.size(), samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), out.begin()));
    EXPECT_TRUE(AllZero(out, samples.size()));
}

} // namespace
