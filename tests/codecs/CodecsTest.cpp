// The pure codecs: G.711 against sox on every code, Dialogic ADPCM worked by
// hand, the sample form's saturation, the codec table and the ADPCM block
// edges. Whole files of every coding are judged in tests/sound/FormatTableTest.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LDialogicAdpcm.h"
#include "sound/codecs/LG711.h"
#include "sound/codecs/LMsAdpcmCodec.h"
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

// Every 16-bit value: the table form equals the formula (sox judges the table
// form and the decoding below).
TEST(G711, Every16BitSampleEncodesAsTheFormula)
{
    for (int s = INT16_MIN; s <= INT16_MAX; ++s) {
        ASSERT_EQ(LG711::S16ToMuLaw(int16_t(s)), LG711::MuLawEncode(s * 16)) << s;
        ASSERT_EQ(LG711::S16ToALaw(int16_t(s)), LG711::ALawEncode(s * 16)) << s;
    }
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
        const std::vector<int16_t> sox
            = test::SoxDecode(dir.File("codes.raw"), std::string("-t raw -r 8000 -c 1 -b 8 -e ") + szLaw);
        ASSERT_EQ(sox.size(), 256u);
        for (int b = 0; b < 256; ++b)
            EXPECT_EQ(szLaw[0] == 'a' ? LG711::ALawToS16(uint8_t(b)) : LG711::MuLawToS16(uint8_t(b)), sox[b])
                << szLaw << " code " << b;
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
    std::vector<int16_t> positive;
    for (int s = 0; s <= INT16_MAX; ++s)
        positive.push_back(int16_t(s));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("positive.raw"), test::S16Bytes(positive)));
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
        size_t nDiffer = 0;
        for (int s = 0; s <= INT16_MAX; s += bALaw ? 8 : 4)
            if (encode(s) != static_cast<uint8_t>(out[s]) && nDiffer++ < 5)
                ADD_FAILURE() << "sample " << s << ": ours " << int(encode(s)) << ", sox " << int(uint8_t(out[s]));
        EXPECT_EQ(nDiffer, 0u);
        for (int s = 1; s <= INT16_MAX; ++s)
            ASSERT_EQ(encode(-s), encode(s) ^ 0x80) << s;
        EXPECT_EQ(encode(INT16_MIN), encode(INT16_MAX) ^ 0x80);
    }
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

TEST(DialogicAdpcm, EncoderTracksDecoderAndCodesSpeech)
{
    // At half scale: near full scale the largest step cannot follow the tone.
    std::vector<int16_t> signal = test::Speechlike16(16000, 1, 8000, 7);
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
    EXPECT_GT(test::SnrDb(signal, decoded, signal.size()), 15.0);
    // Extreme inputs neither overflow nor stop the tracking.
    for (int32_t x : { INT32_MAX, INT32_MIN, 0, INT32_MAX })
        EXPECT_EQ(decoder.DecodeNibble(encoder.EncodeSample(x)), encoder.V);
    encoder.Reset();
    EXPECT_EQ(encoder.V, 0);
    EXPECT_EQ(encoder.i, 0);
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

// Every encoder's format is one its own decoder accepts, and encoders refuse
// what they cannot write.
// Encoder formats open decoders at every rate of the format table; here only the refusals.
TEST(CodecTable, EncodersRefuseNoChannelsOrNoRate)
{
    for (const LCodecEntry& entry : LCodecTable::Entries()) {
        LCodecStatus status = LCodecStatus::Ok;
        EXPECT_EQ(entry.pCreateEncoder(8000, 0, &status), nullptr) << entry.szName;
        EXPECT_EQ(status, LCodecStatus::BadParameters) << entry.szName;
        EXPECT_EQ(entry.pCreateEncoder(0, 1, nullptr), nullptr) << entry.szName;
    }
}

// A short last block is padded with silence and still decodes in full.
TEST(EncoderBlocks, ShortLastBlockIsPaddedWithSilence)
{
    for (uint16_t wTag : { kWaveFormatMsAdpcm, kWaveFormatImaAdpcm }) {
        SCOPED_TRACE(wTag);
        auto encoder = LCodecTable::Find(wTag)->pCreateEncoder(8000, 2, nullptr);
        ASSERT_NE(encoder, nullptr);
        std::vector<int16_t> frames(2 * 10, 12000);
        std::vector<uint8_t> block(encoder->BlockBytes(), 0xEE);
        ASSERT_EQ(encoder->EncodeBlock(frames.data(), 10, block.data()), encoder->BlockBytes());
        auto decoder = LCodecTable::Find(wTag)->pCreateDecoder(encoder->Format(), nullptr);
        std::vector<int16_t> out(decoder->FramesPerBlock() * 2);
        ASSERT_EQ(decoder->DecodeBlock(block.data(), block.size(), out.data()), decoder->FramesPerBlock());
        EXPECT_NEAR(out[2 * 5], 12000, 1500);
        EXPECT_NEAR(out[2 * 5 + 1], 12000, 1500);
        EXPECT_LT(std::abs(out[out.size() - 2]), 200);
        EXPECT_LT(std::abs(out[out.size() - 1]), 200);
    }
}

// After a pause the step carried from the quiet block is far too small for a
// loud onset; the IMA encoder must start the loud block with a fitting step
// rather than climb to it over the block's first frames.
TEST(EncoderBlocks, ImaStartsALoudBlockWithAFittingStep)
{
    auto encoder = LCodecTable::Find(kWaveFormatImaAdpcm)->pCreateEncoder(8000, 1, nullptr);
    auto decoder = LCodecTable::Find(kWaveFormatImaAdpcm)->pCreateDecoder(encoder->Format(), nullptr);
    const size_t nBlock = encoder->FramesPerBlock();
    std::vector<int16_t> signal(2 * nBlock, 0);
    for (size_t f = nBlock; f < signal.size(); ++f)
        signal[f] = static_cast<int16_t>(std::lround(30000 * std::sin(2 * M_PI * 1700 * double(f) / 8000)));
    const std::vector<int16_t> ours = test::DecodeAll(*decoder, test::EncodeAll(*encoder, signal, 1), 1);
    ASSERT_EQ(ours.size(), signal.size());
    const std::vector<int16_t> onset(signal.begin() + nBlock, signal.begin() + nBlock + 16);
    const std::vector<int16_t> decoded(ours.begin() + nBlock, ours.begin() + nBlock + 16);
    EXPECT_GT(test::SnrDb(onset, decoded, onset.size()), 10.0);
}

// The decoder predicts with the coefficient pairs the file carries: sox, which
// also reads them from the file, must agree on a file whose pairs were changed,
// and the result must differ from a decode with the standard pairs.
TEST(SoxDecodeMsAdpcm, UsesTheFileCoefficients)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    const std::string path = dir.File("ms.wav"), changedPath = dir.File("changed.wav");
    ASSERT_EQ(test::Sox("-n -r 8000 -c 2 -e ms-adpcm " + test::ShellQuote(path) + " synth 0.5 sine 300 sine 700"), 0);
    test::WavData wav;
    ASSERT_TRUE(test::ParseWav(test::ReadFileBytes(path), &wav));
    ASSERT_GE(wav.format.extra.size(), 32u);
    LWaveFormat changed = wav.format; // every coefficient scaled by 7/8
    for (size_t i = 4; i + 1 < 32; i += 2)
        test::SetLe16(changed.extra, i, uint16_t(int16_t(test::GetLe16(&changed.extra[i])) * 7 / 8));
    ASSERT_TRUE(test::WriteFileBytes(changedPath, test::MakeWav(changed, wav.data)));
    auto standard = LMsAdpcmCodec::CreateDecoder(wav.format, nullptr);
    auto decoder = LMsAdpcmCodec::CreateDecoder(changed, nullptr);
    ASSERT_TRUE(standard && decoder);
    const std::vector<int16_t> ours = test::DecodeAll(*decoder, wav.data, 2);
    EXPECT_EQ(ours, test::SoxDecode(changedPath));
    EXPECT_NE(ours, test::DecodeAll(*standard, wav.data, 2));
}
