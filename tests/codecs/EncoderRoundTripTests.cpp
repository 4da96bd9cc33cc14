// Our encoders judged by sox: sox must decode our files exactly as our own
// decoders do, the result must stay close to the input, and the ADPCM encoders
// must do at least about as well as sox's own.
#include "sound/codecs/LCodecTable.h"
#include "tests/codecs/CodecTestUtil.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct Case {
    uint16_t wTag;
    const char* szName;
    const char* szSoxArgs; // sox's own encoder for the comparison, if any
    double dMinSnr; // dB over the test signal
};

const Case kCases[] = {
    { kWaveFormatPCM, "pcm", nullptr, 200.0 },
    { kWaveFormatMsAdpcm, "ms", "-e ms-adpcm", 20.0 },
    { kWaveFormatALaw, "alaw", nullptr, 30.0 },
    { kWaveFormatMuLaw, "ulaw", nullptr, 30.0 },
    { kWaveFormatImaAdpcm, "ima", "-e ima-adpcm", 20.0 },
};

using Params = std::tuple<int, uint32_t, int>; // case index, rate, channels

class EncoderRoundTrip : public testing::TestWithParam<Params> { };

TEST_P(EncoderRoundTrip, SoxDecodesOurFileAsWeDo)
{
    TEST_REQUIRE_TOOL("sox");
    const auto [nCase, rate, nChannels] = GetParam();
    const Case& c = kCases[nCase];
    const uint16_t channels = static_cast<uint16_t>(nChannels);
    const uint32_t seed = 1000 + rate + channels;
    SCOPED_TRACE("signal seed " + std::to_string(seed));
    // 1.3 s: not a whole number of blocks for any codec.
    const std::vector<int16_t> signal = codectest::TestSignal(rate * 13 / 10, channels, rate, seed);

    const LCodecEntry* pEntry = LCodecTable::Find(c.wTag);
    ASSERT_NE(pEntry, nullptr);
    auto encoder = pEntry->pCreateEncoder(rate, channels, nullptr);
    ASSERT_NE(encoder, nullptr);
    const std::vector<uint8_t> data = codectest::EncodeAll(*encoder, signal, channels);
    auto decoder = pEntry->pCreateDecoder(encoder->Format(), nullptr);
    ASSERT_NE(decoder, nullptr);
    const std::vector<int16_t> ours = codectest::DecodeAll(*decoder, data, channels);
    ASSERT_GE(ours.size(), signal.size());
    ASSERT_LT(ours.size() - signal.size(), decoder->FramesPerBlock() * channels);

    test::TempDir dir;
    const std::string path = dir.File("ours.wav");
    ASSERT_TRUE(test::WriteFileBytes(path, codectest::MakeWav(encoder->Format(), data)));
    const std::vector<int16_t> sox = codectest::SoxDecode(path);
    EXPECT_EQ(sox, ours);

    // The last block is padded with silence, which ADPCM reaches after a slope.
    for (size_t i = std::max(signal.size(), ours.size() - channels); i < ours.size(); ++i)
        EXPECT_LT(std::abs(ours[i]), 300) << i;

    const double dSnr = codectest::SnrDb(signal, ours, signal.size());
    EXPECT_GE(dSnr, c.dMinSnr);
    RecordProperty("snr_db", std::to_string(dSnr));

    if (c.szSoxArgs != nullptr) {
        std::vector<uint8_t> raw(signal.size() * 2);
        for (size_t i = 0; i < signal.size(); ++i) {
            raw[2 * i] = static_cast<uint8_t>(signal[i]);
            raw[2 * i + 1] = static_cast<uint8_t>(signal[i] >> 8);
        }
        ASSERT_TRUE(test::WriteFileBytes(dir.File("in.raw"), raw));
        const std::string soxPath = dir.File("sox.wav");
        ASSERT_EQ(
            test::RunShell("sox -V1 -D -t s16 -L -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " "
                + test::ShellQuote(dir.File("in.raw")) + " " + c.szSoxArgs + " " + test::ShellQuote(soxPath)),
            0);
        const std::vector<int16_t> soxCoded = codectest::SoxDecode(soxPath);
        ASSERT_GE(soxCoded.size(), signal.size());
        const double dSoxSnr = codectest::SnrDb(signal, soxCoded, signal.size());
        RecordProperty("sox_snr_db", std::to_string(dSoxSnr));
        EXPECT_GE(dSnr, dSoxSnr - 1.0) << "ours " << dSnr << " dB, sox " << dSoxSnr << " dB";
    }
}

std::string ParamName(const testing::TestParamInfo<Params>& info)
{
    return std::string(kCases[std::get<0>(info.param)].szName) + "_" + std::to_string(std::get<1>(info.param)) + "_"
        + std::to_string(std::get<2>(info.param)) + "ch";
}

INSTANTIATE_TEST_SUITE_P(AllCodecs, EncoderRoundTrip,
    testing::Combine(
        testing::Range(0, int(std::size(kCases))), testing::Values(8000u, 22050u, 44100u), testing::Values(1, 2)),
    ParamName);

} // namespace

// A short last block is padded with silence and still decodes in full.
TEST(EncoderBlocks, ShortLastBlockIsPaddedWithSilence)
{
    for (uint16_t wTag : { kWaveFormatMsAdpcm, kWaveFormatImaAdpcm }) {
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
        const size_t nLast = 2 * (decoder->FramesPerBlock() - 1);
        EXPECT_LT(std::abs(out[nLast]), 200) << wTag;
        EXPECT_LT(std::abs(out[nLast + 1]), 200) << wTag;
    }
    // Frame codecs write only what they are given.
    auto pcm = LCodecTable::Find(kWaveFormatPCM)->pCreateEncoder(8000, 2, nullptr);
    std::vector<int16_t> frames = { 1, -2, 3, -4, 5, -6 };
    std::vector<uint8_t> bytes(pcm->BlockBytes());
    EXPECT_EQ(pcm->EncodeBlock(frames.data(), 3, bytes.data()), 12u);
    EXPECT_EQ(bytes[2], 0xFE);
    EXPECT_EQ(bytes[3], 0xFF);
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
    const std::vector<int16_t> ours = codectest::DecodeAll(*decoder, codectest::EncodeAll(*encoder, signal, 1), 1);
    ASSERT_EQ(ours.size(), signal.size());
    const std::vector<int16_t> onset(signal.begin() + nBlock, signal.begin() + nBlock + 16);
    const std::vector<int16_t> decoded(ours.begin() + nBlock, ours.begin() + nBlock + 16);
    EXPECT_GT(codectest::SnrDb(onset, decoded, onset.size()), 10.0);
}
