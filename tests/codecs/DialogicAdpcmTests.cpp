// Dialogic ADPCM: the decoder's first steps worked by hand from the published
// algorithm, the encoder tracking its own decoder, and the leak.
#include "sound/codecs/LDialogicAdpcm.h"
#include "tests/codecs/CodecTestUtil.h"

#include <gtest/gtest.h>

TEST(DialogicAdpcm, DecoderFollowsStepsIndexAndLeak)
{
    LDialogicAdpcm adpcm;
    // Step 16 x multiplier 240; index rises by 8 to step 34.
    EXPECT_EQ(adpcm.DecodeNibble(7), 3840);
    // 3840 + 34 x 240 - (3840 >> 6)
    EXPECT_EQ(adpcm.DecodeNibble(7), 11940);
    // A negative code, at index 16 (step 73) after two +8 changes.
    EXPECT_EQ(adpcm.DecodeNibble(0xF), 11940 - 73 * 240 - (11940 >> 6));
    // Only the low four bits count.
    LDialogicAdpcm a, b;
    EXPECT_EQ(a.DecodeNibble(0x35), b.DecodeNibble(0x05));
    // The index never leaves the table, however long the run.
    LDialogicAdpcm up;
    for (int k = 0; k < 100; ++k)
        up.DecodeNibble(7);
    const int32_t nHigh = up.V;
    up.DecodeNibble(0); // step 1552 at the top of the table
    EXPECT_EQ(up.V, nHigh + 1552 * 16 - (nHigh >> 6));
    LDialogicAdpcm down;
    for (int k = 0; k < 100; ++k)
        down.DecodeNibble(0);
    EXPECT_EQ(down.i, -1); // clamped to 0 at the next use
    const int32_t nLow = down.V;
    EXPECT_EQ(down.DecodeNibble(8), nLow - 16 * 16 - (nLow >> 6));
}

TEST(DialogicAdpcm, LeakPullsTowardZero)
{
    // Alternating smallest codes add nothing on average; the leak must then
    // bring a large value back near zero.
    LDialogicAdpcm adpcm;
    for (int k = 0; k < 6; ++k)
        adpcm.DecodeNibble(7);
    ASSERT_GT(adpcm.V, 100000);
    for (int k = 0; k < 2000; ++k)
        adpcm.DecodeNibble(k & 1 ? 8 : 0);
    EXPECT_LT(std::abs(adpcm.V), 1000);
}

TEST(DialogicAdpcm, EncoderTracksDecoderAndCodesSpeech)
{
    const uint32_t seed = 7;
    SCOPED_TRACE(seed);
    // At half scale: near full scale the largest step cannot follow the tone.
    std::vector<int16_t> signal = codectest::TestSignal(16000, 1, 8000, seed);
    for (int16_t& s : signal)
        s = static_cast<int16_t>(s / 2);
    LDialogicAdpcm encoder, decoder;
    std::vector<int16_t> decoded;
    for (int16_t s : signal) {
        const uint8_t n = encoder.EncodeSample(s * 16);
        ASSERT_LT(n, 16);
        const int32_t v = decoder.DecodeNibble(n);
        ASSERT_EQ(v, encoder.V);
        ASSERT_EQ(decoder.i, encoder.i);
        decoded.push_back(static_cast<int16_t>(std::clamp(v / 16, -32768, 32767)));
    }
    EXPECT_GT(codectest::SnrDb(signal, decoded, signal.size()), 15.0);
    // Extreme inputs neither overflow nor stop the tracking.
    for (int32_t x : { INT32_MAX, INT32_MIN, 0, INT32_MAX }) {
        const uint8_t n = encoder.EncodeSample(x);
        EXPECT_EQ(decoder.DecodeNibble(n), encoder.V);
    }
    encoder.Reset();
    EXPECT_EQ(encoder.V, 0);
    EXPECT_EQ(encoder.i, 0);
}
