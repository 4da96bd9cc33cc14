// The look-ahead peak limiter, recording at double speed, and the chain that
// adapts a source to a sink's format.
#include "sound/convert/LFactoryPeakLimit.h"
#include "sound/convert/LRecordSpeed.h"
#include "sound/convert/LSRCPeakLimit.h"
#include "sound/convert/LSoundAdapter.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace test;

constexpr int32_t kFull = kMaxAmplitudePCM;

bool AllZero(const std::vector<int32_t>& v, size_t nFrom = 0, size_t nTo = SIZE_MAX)
{
    return std::all_of(v.begin() + nFrom, v.begin() + std::min(nTo, v.size()), [](int32_t x) { return x == 0; });
}
int64_t Peak(const std::vector<int32_t>& v)
{
    int64_t nPeak = 0;
    for (int32_t x : v)
        nPeak = std::max<int64_t>(nPeak, std::llabs(x));
    return nPeak;
}

// A source 12 dB over full scale: a 300 Hz tone at four times full scale,
// with quiet stretches and random bursts in between.
std::vector<int32_t> LoudSignal(uint32_t seed, int32_t nRate, int64_t nFrames)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int32_t> out(static_cast<size_t>(nFrames));
    for (int64_t n = 0; n < nFrames; ++n) {
        const int64_t nSegment = n / (nRate / 3);
        double fLevel = (nSegment % 3 == 0) ? 0.1 : 4.0;
        double v = fLevel * std::sin(2 * std::numbers::pi * 300 * n / nRate);
        if (nSegment % 5 == 4)
            v = 4.0 * noise(rng); // a burst without warning
        out[static_cast<size_t>(n)] = static_cast<int32_t>(v * kFull);
    }
    return out;
}

TEST(PeakLimit, NothingExceedsFullScaleOnAnInputTwelveDecibelsOver)
{
    for (uint32_t seed : { 1u, 2u, 3u }) {
        for (uint8_t nChannels : { 1, 2 }) {
            const int32_t nRate = seed == 3 ? 8000 : 44100;
            std::vector<int32_t> mono = LoudSignal(seed, nRate, 4 * static_cast<int64_t>(nRate));
            std::vector<int32_t> samples;
            for (int32_t x : mono)
                for (int c = 0; c < nChannels; ++c)
                    samples.push_back(c == 0 ? x : -x / 3);
            LSoundSourceRef limited
                = LFactoryPeakLimit(kFull).OpenSource(MakeSource(samples, nRate, nChannels, 4 * kFull + 16));
            ASSERT_LE(limited->MaxAmplitude(), kFull);
            const std::vector<int32_t> out = test::ReadPieces(*limited, limited->GetLength(), { 777, 8192, 1, 5000 });
            const int64_t nPeak = Peak(out);
            EXPECT_LE(nPeak, kFull) << "seed " << seed;
            // And the limiter does not simply silence it.
            EXPECT_GT(nPeak, kFull * 9 / 10) << "seed " << seed;
        }
    }
}

TEST(RecordSpeed, DoubleSpeedPlaybackLandsAtNormalSpeedAndPitch)
{
    auto pSink = MakeSoundRef<VectorSink>(8000, 1);
    LSoundSinkRef sink(pSink);
    EXPECT_EQ(LRecordSpeed::OpenSink(100, sink), sink);
    EXPECT_EQ(LRecordSpeed::OpenSink(0, sink), sink);

    LSoundSinkRef fast = LRecordSpeed::OpenSink(200, sink);
    ASSERT_NE(fast, sink);
    EXPECT_EQ(fast->SampleRate(), 22050); // capture rate for a sink below 11026 Hz
    EXPECT_EQ(fast->NumChannels(), 1);
    // The recorder plays 1 kHz at double speed: 2 kHz captured at 22050 Hz.
    const int64_t nCaptured = 3 * 22050 + 777; // not a whole number of blocks
    const std::vector<int32_t> capture = Tones({ { 2000, 0.5 } }, 22050, nCaptured);
    test::WriteAll(*fast, capture, 1000);
    EXPECT_EQ(fast->GetPosition(), nCaptured);
    fast.Reset(); // the last partial block reaches the sink now
    const double fExpected = nCaptured * 2.0 * 8000 / 22050;
    EXPECT_NEAR(static_cast<double>(pSink->GetPosition()), fExpected, 0.002 * fExpected);
    const Tone tone = StrongestTone(Analyse(ToDouble(pSink->m_samples), 8000, 400), 100, 3900);
    EXPECT_NEAR(tone.fHz, 1000, 2);
    EXPECT_NEAR(tone.Db(), 20 * std::log10(0.5), 0.2);
    // The end of the recording is there, not lost with the last block.
    const size_t nTail = pSink->m_samples.size();
    EXPECT_FALSE(AllZero(pSink->m_samples, nTail - 200, nTail - 20));
}

TEST(SoundAdapter, ChainsChannelsRateAndLimitOnlyWhereNeeded)
{
    LSoundSourceRef pcm = MakeSource(test::TestSignal(30000, 2), 44100, 2);
    EXPECT_EQ(LSoundAdapter::Adapt(pcm, 2, 44100), pcm);
    LSoundSourceRef adapted = LSoundAdapter::Adapt(pcm, 1, 8000);
    EXPECT_EQ(adapted->NumChannels(), 1);
    EXPECT_EQ(adapted->SampleRate(), 8000);
    EXPECT_LE(adapted->MaxAmplitude(), kFull);
    EXPECT_TRUE(adapted->IsUsable());
    EXPECT_LE(Peak(test::ReadAll(*adapted)), kFull);
    // An error anywhere below shows at the top.
    LSoundSourceRef broken = MakeSource({}, 0, 2);
    EXPECT_FALSE(LSoundAdapter::Adapt(broken, 1, 8000)->IsUsable());
}

} // namespace
