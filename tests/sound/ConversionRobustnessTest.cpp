// Every conversion stage under odd parameters and hostile call patterns:
// extreme rates and speeds, reads of 0 and of many blocks, seeks anywhere.
// Nothing may crash (the sanitizer build runs these), every read advances
// by what was asked, and what comes out stays within the stage's promise.
#include "sound/convert/LFactoryPlaySpeed.h"
#include "sound/convert/LFactoryRate.h"
#include "sound/convert/LRecordSpeed.h"
#include "sound/convert/LSRCPeakLimit.h"
#include "sound/convert/LSoundAdapter.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

using namespace test;

TEST(ConversionRobustness, RandomReadsAndSeeksThroughEveryStage)
{
    const uint32_t seed = 20261207;
    std::mt19937 rng(seed);
    const int32_t rates[] = { 1, 2, 6000, 8000, 11025, 22050, 44100, 48000, 96000, 196000 };
    const double speeds[]
        = { -1000, -8, -1.5, -0.01, 0, 0.01, 0.5, 1, 1.5, 8, 1000, std::numeric_limits<double>::quiet_NaN() };
    for (int round = 0; round < 60; ++round) {
        const int32_t nIn = rates[rng() % std::size(rates)];
        const uint8_t nChannels = static_cast<uint8_t>(1 + rng() % 2);
        const size_t nFrames = rng() % 5000;
        std::vector<int32_t> samples = test::TestSignal(nFrames, nChannels, rng());
        for (int32_t& x : samples)
            x *= 3; // beyond full scale, as some decoders deliver
        LSoundSourceRef source = MakeSource(samples, nIn, nChannels, 3 * kMaxAmplitudePCM);
        LSoundSourceRef stage;
        switch (round % 3) {
        case 0:
            // Targets within the rates offered anywhere (a 1 Hz target would
            // read days of input for a second of output).
            stage = LSoundAdapter::Adapt(
                source, static_cast<uint8_t>(1 + rng() % 2), rates[2 + rng() % (std::size(rates) - 2)]);
            break;
        case 1:
            stage = LFactoryPlaySpeed(speeds[rng() % std::size(speeds)], speeds[rng() % std::size(speeds)],
                static_cast<int32_t>(rng() % 3) * 3000 - 1000)
                        .OpenSource(source);
            break;
        default:
            stage = LSoundSourceRef(new LSRCPeakLimit(source, static_cast<int32_t>(rng() % 0x900000) - 0x100000));
            break;
        }
        SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round << " rate " << nIn << " -> "
                                        << stage->SampleRate());
        std::vector<int32_t> buffer;
        for (int step = 0; step < 12; ++step) {
            if (rng() % 3 == 0) {
                const int64_t nTo = static_cast<int64_t>(rng() % 20000) - 5000;
                stage->Seek(nTo);
            }
            const int32_t nRead = static_cast<int32_t>(rng() % 3 == 0 ? 0 : rng() % 20000);
            buffer.assign(static_cast<size_t>(nRead) * stage->NumChannels() + 1, 0x5A5A5A5A);
            const int64_t nBefore = stage->GetPosition();
            stage->Read(buffer.data(), nRead);
            EXPECT_EQ(buffer.back(), 0x5A5A5A5A) << "wrote past the request";
            // The play-speed stage reports the inner time base instead.
            if (round % 3 != 1) {
                EXPECT_EQ(stage->GetPosition(), nBefore + nRead);
            }
            if (round % 3 == 0 && stage->MaxAmplitude() <= kMaxAmplitudePCM) {
                for (int32_t i = 0; i < nRead * stage->NumChannels(); ++i)
                    ASSERT_LE(std::abs(buffer[i]), kMaxAmplitudePCM) << i;
            }
        }
    }
}

TEST(ConversionRobustness, RecordingAtAnySpeedWithCutsAnywhere)
{
    std::mt19937 rng(77);
    for (int nPercent : { -50, 1, 7, 33, 50, 99, 101, 150, 200, 400, 1000, 100000 }) {
        for (int32_t nSinkRate : { 8000, 11025, 44100 }) {
            auto* pSink = new VectorSink(nSinkRate, 2);
            LSoundSinkRef sink(pSink);
            LSoundSinkRef speed = LRecordSpeed::OpenSink(nPercent, sink);
            std::vector<int32_t> block = test::TestSignal(3000, 2, rng());
            for (int step = 0; step < 30; ++step) {
                if (rng() % 4 == 0)
                    speed->Seek(static_cast<int64_t>(rng() % 40000) - 100);
                const int32_t n = static_cast<int32_t>(rng() % 3000);
                speed->Write(block.data(), n);
                ASSERT_GE(pSink->GetPosition(), 0);
            }
            speed.Reset();
            for (int32_t x : pSink->m_samples)
                ASSERT_LE(std::abs(x), kMaxAmplitudePCM) << nPercent << " % into " << nSinkRate;
        }
    }
}

} // namespace
