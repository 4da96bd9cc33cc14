// The internal sample form to and from 16 and 8 bits: exact inside full
// scale, saturating outside it.
#include "sound/codecs/LSampleConvert.h"

#include <gtest/gtest.h>

TEST(SampleConvert, SixteenBitRoundTripsAndSaturates)
{
    for (int s = INT16_MIN; s <= INT16_MAX; ++s)
        ASSERT_EQ(InternalToS16(S16ToInternal(int16_t(s))), s);
    EXPECT_EQ(InternalToS16(0x7FFF0 + 8), 32767);
    EXPECT_EQ(InternalToS16(0x7FFF0 + 7), 32767);
    EXPECT_EQ(InternalToS16(-0x80000 - 9), -32768);
    EXPECT_EQ(InternalToS16(INT32_MAX), 32767);
    EXPECT_EQ(InternalToS16(INT32_MIN), -32768);
    // Rounds to nearest, halves upward.
    EXPECT_EQ(InternalToS16(7), 0);
    EXPECT_EQ(InternalToS16(8), 1);
    EXPECT_EQ(InternalToS16(-8), 0);
    EXPECT_EQ(InternalToS16(-9), -1);
}

TEST(SampleConvert, EightBitRoundTripsAndSaturates)
{
    for (int b = 0; b <= 255; ++b)
        ASSERT_EQ(InternalToU8(U8ToInternal(uint8_t(b))), b);
    for (int c = INT8_MIN; c <= INT8_MAX; ++c)
        ASSERT_EQ(InternalToS8(S8ToInternal(int8_t(c))), c);
    EXPECT_EQ(InternalToU8(0), 128);
    EXPECT_EQ(InternalToU8(0x7FFF0), 255);
    EXPECT_EQ(InternalToU8(0x7FFF0 + 0x1000), 255);
    EXPECT_EQ(InternalToU8(-0x80000), 0);
    EXPECT_EQ(InternalToU8(INT32_MIN), 0);
    EXPECT_EQ(InternalToU8(INT32_MAX), 255);
    EXPECT_EQ(InternalToS8(0x7FFF0), 127);
    EXPECT_EQ(InternalToS8(INT32_MAX), 127);
    EXPECT_EQ(InternalToS8(INT32_MIN), -128);
    // Full-scale 16-bit samples land on the 8-bit extremes.
    EXPECT_EQ(InternalToU8(S16ToInternal(INT16_MIN)), 0);
    EXPECT_EQ(InternalToU8(S16ToInternal(INT16_MAX)), 255);
}

TEST(SampleConvert, BufferFormsMatchScalarForms)
{
    const int32_t in[] = { 0, 8, -9, 0x7FFF0 + 8, INT32_MIN, 12345, -0x40000 };
    int16_t s16[7];
    uint8_t u8[7];
    InternalToS16(in, s16, 7);
    InternalToU8(in, u8, 7);
    int32_t back[7];
    S16ToInternal(s16, back, 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(s16[i], InternalToS16(in[i]));
        EXPECT_EQ(u8[i], InternalToU8(in[i]));
        EXPECT_EQ(back[i], S16ToInternal(s16[i]));
    }
    U8ToInternal(u8, back, 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(back[i], U8ToInternal(u8[i]));
}
