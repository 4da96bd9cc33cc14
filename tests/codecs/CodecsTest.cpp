// The pure codecs: G.711 on every code, Dialogic ADPCM worked by hand and the
// sample form's saturation. Whole files of every coding, G.711 among them, are
// judged by sox in tests/sound/FormatTableTest.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LDialogicAdpcm.h"
#include "sound/codecs/LG711.h"
#include "sound/codecs/LSampleConvert.h"
#include "sound/codecs/LWaveFormat.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(G711, EveryByteSurvivesDecodeThenEncodeAndExtremesSaturate)
{
    int32_t nMax = 0;
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(LG711::ALawEncode(LG711::ALawDecode(uint8_t(b))), b);
        // 0x7F is mu-law's negative zero; zero encodes as the positive one.
        EXPECT_EQ(LG711::MuLawEncode(LG711::MuLawDecode(uint8_t(b))), b == 0x7F ? 0xFF : b);
        EXPECT_EQ(LG711::MuLawToS16(uint8_t(b)) * 16, LG711::MuLawDecode(uint8_t(b)));
        EXPECT_EQ(LG711::ALawToS16(uint8_t(b)) * 16, LG711::ALawDecode(uint8_t(b)));
        nMax = std::max({ nMax, std::abs(LG711::MuLawDecode(uint8_t(b))), std::abs(LG711::ALawDecode(uint8_t(b))) });
    }
    EXPECT_LE(nMax, LG711::kMaxAmplitude);
    // Inputs far beyond full scale saturate at the top code instead of wrapping.
    EXPECT_EQ(LG711::MuLawEncode(INT32_MAX), 0x80);
    EXPECT_EQ(LG711::MuLawEncode(INT32_MIN), 0x00);
    EXPECT_EQ(LG711::ALawEncode(INT32_MAX), 0xAA);
    EXPECT_EQ(LG711::ALawEncode(INT32_MIN), 0x2A);
}

TEST(DialogicAdpcm, DecoderFollowsStepsIndexAndLeak)
{
    LDialogicAdpcm adpcm;
    // Step 16 x multiplier 240; index rises by 8 to step 34.
    EXPECT_EQ(adpcm.DecodeNibble(7), 3840);
    EXPECT_EQ(adpcm.DecodeNibble(7), 3840 + 34 * 240 - (3840 >> 6));
    // A negative code, at index 16 (step 73) after two +8 changes.
    EXPECT_EQ(adpcm.DecodeNibble(0xF), 11940 - 73 * 240 - (11940 >> 6));
    LDialogicAdpcm a, b; // only the low four bits count
    EXPECT_EQ(a.DecodeNibble(0x35), b.DecodeNibble(0x05));
    // The index never leaves the table, however long the run.
    LDialogicAdpcm up, down;
    for (int k = 0; k < 100; ++k)
        up.DecodeNibble(7), down.DecodeNibble(0);
    const int32_t nHigh = up.V, nLow = down.V;
    up.DecodeNibble(0); // step 1552 at the top of the table
    EXPECT_EQ(up.V, nHigh + 1552 * 16 - (nHigh >> 6));
    EXPECT_EQ(down.i, -1); // clamped to 0 at the next use
    EXPECT_EQ(down.DecodeNibble(8), nLow - 16 * 16 - (nLow >> 6));
}

TEST(SampleConvert, RoundTripsAndSaturates)
{
    for (int s = INT16_MIN; s <= INT16_MAX; ++s)
        ASSERT_EQ(InternalToS16(S16ToInternal(int16_t(s))), s);
    for (int b = 0; b <= 255; ++b)
        ASSERT_EQ(InternalToU8(U8ToInternal(uint8_t(b))), b);
    for (int c = INT8_MIN; c <= INT8_MAX; ++c)
        ASSERT_EQ(InternalToS8(S8ToInternal(int8_t(c))), c);
    struct Case {
        int32_t nIn;
        int s16, u8, s8;
    };
    // Rounds to nearest, halves upward; saturates at both ends.
    const Case cases[]
        = { { 7, 0, 128, 0 }, { 8, 1, 128, 0 }, { -8, 0, 128, 0 }, { -9, -1, 128, 0 }, { 0x7FFF0 + 7, 32767, 255, 127 },
              { 0x7FFF0 + 8, 32767, 255, 127 }, { 0x7FFF0 + 0x1000, 32767, 255, 127 }, { -0x80000, -32768, 0, -128 },
              { -0x80000 - 9, -32768, 0, -128 }, { INT32_MAX, 32767, 255, 127 }, { INT32_MIN, -32768, 0, -128 } };
    for (const Case& c : cases) {
        EXPECT_EQ(InternalToS16(c.nIn), c.s16) << c.nIn;
        EXPECT_EQ(InternalToU8(c.nIn), c.u8) << c.nIn;
        EXPECT_EQ(InternalToS8(c.nIn), c.s8) << c.nIn;
    }
}
