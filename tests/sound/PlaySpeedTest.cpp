// Slow and fast play keep the pitch and change the duration.
#include "sound/convert/LFactoryPlaySpeed.h"
#include "sound/convert/LSRCPlaySpeed.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

namespace {

using namespace test;

constexpr double kAmplitude = 0.5;

std::vector<int32_t> Interleave(const std::vector<int32_t>& mono, uint8_t nChannels)
{
    std::vector<int32_t> out;
    out.reserve(mono.size() * nChannels);
    for (int32_t x : mono)
        for (int c = 0; c < nChannels; ++c)
            out.push_back(c == 0 ? x : x / 2);
    return out;
}

// The tone's own largest step between samples, with room for the fades:
// a join that lost or misplaced samples jumps by up to twice the amplitude.
int64_t StepLimit(double fHz, int32_t nRate)
{
    return static_cast<int64_t>(1.25 * kAmplitude * 32767 * 16 * 2 * std::numbers::pi * fHz / nRate);
}

// Reads until the stage's position reaches its length.
std::vector<int32_t> PlayToEnd(LSoundSourceBase& source)
{
    std::vector<int32_t> played, block(1000 * source.NumChannels());
    for (int64_t n = 0; source.GetPosition() < source.GetLength() && n < 100 * source.GetLength(); n += 1000) {
        source.Read(block.data(), 1000);
        played.insert(played.end(), block.begin(), block.end());
    }
    return played;
}

TEST(PlaySpeed, SlowAndFastKeepThePitchAndScaleTheDuration)
{
    const int32_t nRate = 44100;
    const int64_t nFrames = 10 * static_cast<int64_t>(nRate);
    const std::vector<int32_t> tone = Tones({ { 1000, kAmplitude } }, nRate, nFrames);
    for (uint8_t nChannels : { 1, 2 }) {
        for (int nSetting : { 0, 2 }) {
            auto* pInner = new VectorSource(Interleave(tone, nChannels), nRate, nChannels);
            LSoundSourceRef inner(pInner);
            LSoundSourceRef stage = LFactoryPlaySpeed::ForSetting(nSetting).OpenSource(inner);
            const std::vector<int32_t> played = PlayToEnd(*stage);
            const double fExpected = nSetting == 0 ? 2.0 : 1 / 1.5;
            const size_t nPlayed = played.size() / nChannels;
            EXPECT_NEAR(static_cast<double>(nPlayed) / nFrames, fExpected, 0.01 * fExpected);
            // Two seconds from the middle are plenty for the spectra. Without a
            // search for matching positions the phase slips from grain to grain,
            // splitting a long spectrum into lines: within the grains the tone
            // is untouched.
            std::vector<double> left;
            for (size_t i = nPlayed / 2 - nRate; i < nPlayed / 2 + nRate; ++i)
                left.push_back(played[i * nChannels]);
            EXPECT_NEAR(ShortTimePeakHz(left, nRate, 256), 1000, 20);
            for (int c = 0; c < nChannels; ++c)
                EXPECT_LE(LargestStep(played, nChannels, c), StepLimit(1000, nRate)) << "channel " << c;
            // Each inner frame is read once, plus what the cache reads ahead.
            EXPECT_LE(pInner->m_nReadFrames, nFrames + 8 * nRate / 90 + 1000);
            EXPECT_EQ(pInner->m_nSeeks, 0);
        }
    }
}

} // namespace
