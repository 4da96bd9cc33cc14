// Every decoder of the table against sox, sample for sample, on files sox
// wrote: whole files, files cut inside a block, and MS ADPCM files whose
// coefficient table is not the standard one.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LMsAdpcmCodec.h"
#include "tests/codecs/CodecTestUtil.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct SoxEncoding {
    const char* szName;
    const char* szArgs;
};

const SoxEncoding kEncodings[] = {
    { "s16", "-e signed -b 16" },
    { "u8", "-e unsigned -b 8" },
    { "s24", "-e signed -b 24" },
    { "s32", "-e signed -b 32" },
    { "alaw", "-e a-law" },
    { "ulaw", "-e u-law" },
    { "ima", "-e ima-adpcm" },
    { "ms", "-e ms-adpcm" },
};

// White noise drives the ADPCM predictors into their clamps; the sweep is
// the ordinary case.
std::string Synth(uint32_t rate, int channels)
{
    if (channels == 2)
        return "synth 1 sine 200-3500 whitenoise";
    return rate == 8000 ? "synth 1 whitenoise" : "synth 1 sine 200-3500 vol 0.9";
}

std::unique_ptr<LAudioDecoder> OpenDecoder(const LWaveFormat& format)
{
    const LCodecEntry* pEntry = LCodecTable::Find(format.wFormatTag);
    if (pEntry == nullptr)
        return nullptr;
    LCodecStatus status = LCodecStatus::UnknownFormat;
    auto decoder = pEntry->pCreateDecoder(format, &status);
    EXPECT_EQ(status, decoder ? LCodecStatus::Ok : LCodecStatus::BadParameters);
    return decoder;
}

// Ours may run past sox by the padding of the last block (sox stops at the
// length in its "fact" chunk); over sox's length the two must agree exactly.
void ExpectSameSamples(const std::vector<int16_t>& ours, const std::vector<int16_t>& sox, size_t nSlack)
{
    ASSERT_GE(ours.size(), sox.size());
    ASSERT_LE(ours.size() - sox.size(), nSlack);
    size_t nDiffer = 0, nFirst = 0;
    for (size_t i = 0; i < sox.size(); ++i) {
        if (ours[i] != sox[i] && nDiffer++ == 0)
            nFirst = i;
    }
    EXPECT_EQ(nDiffer, 0u) << "first difference at sample " << nFirst << ": " << ours[nFirst] << " vs " << sox[nFirst];
}

using Params = std::tuple<int, uint32_t, int>; // encoding index, rate, channels

class SoxDecode : public testing::TestWithParam<Params> { };

TEST_P(SoxDecode, DecoderAgreesWithSox)
{
    TEST_REQUIRE_TOOL("sox");
    const auto [nEncoding, rate, channels] = GetParam();
    const SoxEncoding& encoding = kEncodings[nEncoding];
    test::TempDir dir;
    const std::string path = dir.File("in.wav");
    ASSERT_EQ(test::RunShell("sox -V1 -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " "
                  + encoding.szArgs + " " + test::ShellQuote(path) + " " + Synth(rate, channels)),
        0);
    codectest::WavData wav;
    ASSERT_TRUE(codectest::ParseWav(test::ReadFileBytes(path), &wav));
    auto decoder = OpenDecoder(wav.format);
    ASSERT_NE(decoder, nullptr) << "tag " << wav.format.wFormatTag;
    const std::vector<int16_t> ours = codectest::DecodeAll(*decoder, wav.data, wav.format.nChannels);
    const std::vector<int16_t> sox = codectest::SoxDecode(path);
    ASSERT_GE(sox.size(), size_t(rate) * channels);
    ExpectSameSamples(ours, sox, decoder->FramesPerBlock() * channels);
}

// A file cut short inside a block: the partial block decodes to the frames
// its bytes hold, as sox reads it, and nothing past its end is touched.
class SoxDecodeCut : public testing::TestWithParam<Params> { };

TEST_P(SoxDecodeCut, TruncatedFileAgreesWithSox)
{
    TEST_REQUIRE_TOOL("sox");
    const auto [nEncoding, rate, channels] = GetParam();
    const SoxEncoding& encoding = kEncodings[nEncoding];
    test::TempDir dir;
    const std::string path = dir.File("in.wav");
    ASSERT_EQ(test::RunShell("sox -V1 -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " "
                  + encoding.szArgs + " " + test::ShellQuote(path) + " synth 0.2 sine 300-2000"),
        0);
    codectest::WavData wav;
    ASSERT_TRUE(codectest::ParseWav(test::ReadFileBytes(path), &wav));
    auto decoder = OpenDecoder(wav.format);
    ASSERT_NE(decoder, nullptr);
    const size_t nBlock = wav.format.nBlockAlign;
    // Cuts inside the first block's header, just after it, and mid-block.
    for (size_t nCut : { size_t(3), nBlock + 5 * channels, nBlock + nBlock / 2 + 3, 2 * nBlock - 1 }) {
        if (nCut >= wav.data.size())
            continue;
        SCOPED_TRACE("cut at " + std::to_string(nCut));
        const std::vector<uint8_t> cut(wav.data.begin(), wav.data.begin() + nCut);
        const std::string cutPath = dir.File("cut.wav");
        ASSERT_TRUE(test::WriteFileBytes(cutPath, codectest::MakeWav(wav.format, cut)));
        const std::vector<int16_t> sox = codectest::SoxDecode(cutPath);
        const std::vector<int16_t> ours = codectest::DecodeAll(*decoder, cut, wav.format.nChannels);
        ExpectSameSamples(ours, sox, 0);
    }
}

std::string ParamName(const testing::TestParamInfo<Params>& info)
{
    return std::string(kEncodings[std::get<0>(info.param)].szName) + "_" + std::to_string(std::get<1>(info.param)) + "_"
        + std::to_string(std::get<2>(info.param)) + "ch";
}

INSTANTIATE_TEST_SUITE_P(AllEncodings, SoxDecode,
    testing::Combine(
        testing::Range(0, int(std::size(kEncodings))), testing::Values(8000u, 22050u, 44100u), testing::Values(1, 2)),
    ParamName);

// Blocks only mean something for the ADPCM codecs (6 and 7 in the list).
INSTANTIATE_TEST_SUITE_P(Adpcm, SoxDecodeCut,
    testing::Combine(testing::Values(6, 7), testing::Values(8000u, 44100u), testing::Values(1, 2)), ParamName);

} // namespace

// The decoder predicts with the coefficient pairs the file carries: sox, which
// also reads them from the file, must agree on a file whose pairs were changed,
// and the result must differ from a decode with the standard pairs.
TEST(SoxDecodeMsAdpcm, UsesTheFileCoefficients)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    const std::string path = dir.File("ms.wav");
    ASSERT_EQ(test::RunShell(
                  "sox -V1 -n -r 8000 -c 2 -e ms-adpcm " + test::ShellQuote(path) + " synth 0.5 sine 300 sine 700"),
        0);
    codectest::WavData wav;
    ASSERT_TRUE(codectest::ParseWav(test::ReadFileBytes(path), &wav));
    ASSERT_GE(wav.format.extra.size(), 32u);
    auto standard = LMsAdpcmCodec::CreateDecoder(wav.format, nullptr);
    ASSERT_NE(standard, nullptr);
    // Scale every coefficient by 7/8.
    LWaveFormat changed = wav.format;
    for (size_t i = 4; i + 1 < 32; i += 2) {
        const int16_t c = static_cast<int16_t>(changed.extra[i] | (changed.extra[i + 1] << 8));
        const uint16_t v = static_cast<uint16_t>(c * 7 / 8);
        changed.extra[i] = static_cast<uint8_t>(v);
        changed.extra[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    const std::string changedPath = dir.File("changed.wav");
    ASSERT_TRUE(test::WriteFileBytes(changedPath, codectest::MakeWav(changed, wav.data)));
    auto decoder = LMsAdpcmCodec::CreateDecoder(changed, nullptr);
    ASSERT_NE(decoder, nullptr);
    const std::vector<int16_t> ours = codectest::DecodeAll(*decoder, wav.data, 2);
    const std::vector<int16_t> sox = codectest::SoxDecode(changedPath);
    ASSERT_EQ(ours.size(), sox.size());
    EXPECT_EQ(ours, sox);
    EXPECT_NE(ours, codectest::DecodeAll(*standard, wav.data, 2));
}
