// G.711 against the standard's published points, exhaustive round trips, and
// sox's G.711 tables as the outside judge of the 16-bit forms.
#include "sound/codecs/LG711.h"
#include "tests/codecs/CodecTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(G711, EdgeValues)
{
    EXPECT_EQ(LG711::MuLawDecode(0xFF), 0);
    EXPECT_EQ(LG711::MuLawDecode(0x00), -513984);
    EXPECT_EQ(LG711::MuLawDecode(0x80), 513984);
    EXPECT_EQ(LG711::ALawDecode(0xD5), 128);
    EXPECT_EQ(LG711::ALawDecode(0x55), -128);
    EXPECT_EQ(LG711::MuLawEncode(0), 0xFF);
    EXPECT_EQ(LG711::MuLawEncode(0x7FFF0), 0x80);
    EXPECT_EQ(LG711::MuLawEncode(-0x7FFF0), 0x00);
    EXPECT_EQ(LG711::ALawEncode(0), 0xD5);
    // Inputs far beyond full scale saturate at the top code instead of wrapping.
    EXPECT_EQ(LG711::MuLawEncode(INT32_MAX), 0x80);
    EXPECT_EQ(LG711::MuLawEncode(INT32_MIN), 0x00);
    EXPECT_EQ(LG711::ALawEncode(INT32_MAX), 0xAA);
    EXPECT_EQ(LG711::ALawEncode(INT32_MIN), 0x2A);
    // The largest magnitude either law reaches.
    int32_t nMax = 0;
    for (int b = 0; b < 256; ++b)
        nMax = std::max({ nMax, std::abs(LG711::MuLawDecode(uint8_t(b))), std::abs(LG711::ALawDecode(uint8_t(b))) });
    EXPECT_LE(nMax, LG711::kMaxAmplitude);
    EXPECT_EQ(std::abs(LG711::ALawDecode(0xAA)), 0x7E000);
}

TEST(G711, EveryByteSurvivesDecodeThenEncode)
{
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(LG711::ALawEncode(LG711::ALawDecode(uint8_t(b))), b);
        // 0x7F is mu-law's negative zero; zero encodes as the positive one.
        EXPECT_EQ(LG711::MuLawEncode(LG711::MuLawDecode(uint8_t(b))), b == 0x7F ? 0xFF : b);
        EXPECT_EQ(LG711::MuLawToS16(uint8_t(b)) * 16, LG711::MuLawDecode(uint8_t(b)));
        EXPECT_EQ(LG711::ALawToS16(uint8_t(b)) * 16, LG711::ALawDecode(uint8_t(b)));
    }
}

// Every 16-bit value: the table form equals the formula, the code is monotonic
// in the input, and decoding lands within the code's own step of the input.
TEST(G711, Every16BitSampleEncodesConsistently)
{
    int32_t nPrevMu = INT32_MIN, nPrevA = INT32_MIN;
    for (int s = INT16_MIN; s <= INT16_MAX; ++s) {
        const int16_t x = static_cast<int16_t>(s);
        const uint8_t mu = LG711::S16ToMuLaw(x);
        const uint8_t a = LG711::S16ToALaw(x);
        ASSERT_EQ(mu, LG711::MuLawEncode(s * 16)) << s;
        ASSERT_EQ(a, LG711::ALawEncode(s * 16)) << s;
        const int32_t dMu = LG711::MuLawDecode(mu);
        const int32_t dA = LG711::ALawDecode(a);
        ASSERT_GE(dMu, nPrevMu) << s;
        ASSERT_GE(dA, nPrevA) << s;
        nPrevMu = dMu;
        nPrevA = dA;
        // Step of the segment: 1/16 of the segment's lower bound, at least 2 x 128.
        const int32_t v = s * 16;
        const int32_t nStepMu = std::max(256, (std::abs(v) + 2048) / 16);
        const int32_t nStepA = std::max(256, std::abs(v) / 16);
        ASSERT_LE(std::abs(dMu - v), nStepMu) << s;
        ASSERT_LE(std::abs(dA - v), nStepA) << s;
    }
    int16_t in[4] = { 0, -1, 1000, INT16_MIN };
    uint8_t codes[4];
    int16_t back[4];
    LG711::S16ToALaw(in, codes, 4);
    LG711::ALawToS16(codes, back, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(back[i], LG711::ALawToS16(LG711::S16ToALaw(in[i])));
}

// sox's decoding tables of both laws are the standard's; ours must agree on
// every code.
TEST(G711, DecodeAgreesWithSoxOnEveryCode)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    std::vector<uint8_t> codes(256);
    for (int b = 0; b < 256; ++b)
        codes[b] = uint8_t(b);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("codes.raw"), codes));
    for (const char* szLaw : { "a-law", "u-law" }) {
        std::string out;
        ASSERT_EQ(test::RunShell("sox -D -t raw -r 8000 -c 1 -e " + std::string(szLaw) + " -b 8 "
                          + test::ShellQuote(dir.File("codes.raw")) + " -t s16 -L - 2>/dev/null",
                      &out),
            0);
        const std::vector<int16_t> sox = codectest::BytesToS16(out);
        ASSERT_EQ(sox.size(), 256u);
        for (int b = 0; b < 256; ++b) {
            const int16_t ours = szLaw[0] == 'a' ? LG711::ALawToS16(uint8_t(b)) : LG711::MuLawToS16(uint8_t(b));
            EXPECT_EQ(ours, sox[b]) << szLaw << " code " << b;
        }
    }
}

// sox rounds 16-bit samples to 13 bits (A-law) or 14 bits (mu-law) and, as
// the ITU reference code does, takes a negative sample's ones' complement;
// ours quantise the exact magnitude, symmetrically. On the non-negative
// samples that sox's rounding leaves as they are, the codes must agree; the
// negative half must mirror the positive one.
TEST(G711, EncodeAgreesWithSoxAndIsSymmetric)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    std::vector<uint8_t> raw;
    for (int s = 0; s <= INT16_MAX; ++s) {
        raw.push_back(static_cast<uint8_t>(s));
        raw.push_back(static_cast<uint8_t>(s >> 8));
    }
    ASSERT_TRUE(test::WriteFileBytes(dir.File("positive.raw"), raw));
    for (const char* szLaw : { "a-law", "u-law" }) {
        SCOPED_TRACE(szLaw);
        std::string out;
        ASSERT_EQ(test::RunShell("sox -D -t s16 -L -r 8000 -c 1 " + test::ShellQuote(dir.File("positive.raw"))
                          + " -t raw -e " + szLaw + " -b 8 - 2>/dev/null",
                      &out),
            0);
        ASSERT_EQ(out.size(), 32768u);
        const bool bALaw = szLaw[0] == 'a';
        auto encode = [bALaw](int s) { return bALaw ? LG711::S16ToALaw(int16_t(s)) : LG711::S16ToMuLaw(int16_t(s)); };
        const int nExact = bALaw ? 8 : 4;
        size_t nDiffer = 0;
        for (int s = 0; s <= INT16_MAX; s += nExact) {
            if (encode(s) != static_cast<uint8_t>(out[s]) && nDiffer++ < 5)
                ADD_FAILURE() << "sample " << s << ": ours " << int(encode(s)) << ", sox " << int(uint8_t(out[s]));
        }
        EXPECT_EQ(nDiffer, 0u);
        for (int s = 1; s <= INT16_MAX; ++s)
            ASSERT_EQ(encode(-s), encode(s) ^ 0x80) << s;
        EXPECT_EQ(encode(INT16_MIN), encode(INT16_MAX) ^ 0x80);
    }
}
