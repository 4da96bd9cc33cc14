// The MP3 decoder against outside judges: files written by lame in its modes
// held sample for sample to mpg123's decoding; and the ISO/IEC 11172-4 and 13818-4 Layer III conformance streams held
// to the reference decoder's output by PSNR.
#include "sound/codecs/LSampleConvert.h"
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/Audio.h"

#include <filesystem>

namespace {

struct PeerCase {
    const char* szName;
    int32_t nRate; // of the input and the MP3
    unsigned nChannels;
    const char* szSignal; // sox synth arguments
    const char* szOptions; // lame's
};

// A tonal part, a noisy part that differs between the channels, and bursts
// that make the encoder switch to short blocks.
constexpr const char* kMixed = "synth 1.2 sine 300-3000 pinknoise gain -2";
constexpr const char* kBursts = "synth 0.03 square 180 pinknoise pad 0 0.2 repeat 5";

class MP3AgainstMpg123 : public ::testing::TestWithParam<PeerCase> { };

TEST_P(MP3AgainstMpg123, MeetsComplianceLimits)
{
    const PeerCase& c = GetParam();
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("mpg123");
    TEST_REQUIRE_TOOL("lame");
    test::TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("out.mp3");
    ASSERT_TRUE(mp3test::SoxSignal(wav, c.nRate, c.nChannels, c.szSignal));
    const std::string in = test::ShellQuote(wav), out = test::ShellQuote(mp3);
    ASSERT_EQ(test::RunShell("lame --quiet " + std::string(c.szOptions) + " " + in + " " + out), 0);
    mp3test::ExpectMatchesMpg123(dir, mp3, c.nRate, c.nChannels);
}

INSTANTIATE_TEST_SUITE_P(Encoders, MP3AgainstMpg123,
    ::testing::Values(PeerCase { "cbr160_joint", 44100, 2, kMixed, "-b 160 -m j" },
        PeerCase { "vbr_v2_xing", 44100, 2, kMixed, "-V 2" },
        PeerCase { "mpeg25_11025", 11025, 2, kMixed, "-b 32 -m j" },
        PeerCase { "short_blocks_lsf", 24000, 2, kBursts, "-b 48 -m j --resample 24" },
        PeerCase { "crc_no_reservoir", 44100, 2, kMixed, "-b 112 -p --nores" }),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return std::string(info.param.szName); });

struct Conformance {
    const char* szName;
    unsigned nChannels;
    int32_t nRate;
};

class MP3Conformance : public ::testing::TestWithParam<Conformance> { };

TEST_P(MP3Conformance, MatchesReferenceOutput)
{
    const Conformance& c = GetParam();
    const char* szShared = std::getenv("TAVRINE_SHARED_DIR");
    const char* szSource = std::getenv("TAVRINE_SOURCE_DIR");
    const std::string base
        = (szShared && *szShared ? std::string(szShared)
                                 : std::string(szSource && *szSource ? szSource : TAVRINE_SOURCE_DIR) + "/../shared")
        + "/testdata/mp3/" + c.szName;
    if (!std::filesystem::exists(base + ".bit")) {
        if (test::InCI())
            FAIL() << "conformance stream missing: " << base << ".bit";
        GTEST_SKIP() << "conformance streams not found at " << base << ".bit";
    }
    const mp3test::Decoded d = mp3test::DecodeAll(test::ReadFileBytes(base + ".bit"));
    ASSERT_TRUE(d.bOpen);
    EXPECT_EQ(d.nChannels, c.nChannels);
    EXPECT_EQ(d.nRate, c.nRate);
    const std::vector<uint8_t> pcm = test::ReadFileBytes(base + ".pcm");
    const std::vector<int16_t> ref = test::BytesToS16(std::string(pcm.begin(), pcm.end()));
    std::vector<int16_t> ours(d.samples.size());
    for (size_t i = 0; i < ours.size(); ++i)
        ours[i] = InternalToS16(d.samples[i]);
    // The reference may hold one frame more or less at the end.
    const size_t nFrame = (c.nRate >= 32000 ? 1152u : 576u) * c.nChannels;
    EXPECT_LE(std::max(ours.size(), ref.size()) - std::min(ours.size(), ref.size()), nFrame);
    const size_t n = std::min(ours.size(), ref.size());
    ASSERT_GT(n, 0u);
    double fSum = 0.0;
    for (size_t i = 0; i < n; ++i)
        fSum += (static_cast<double>(ours[i]) - ref[i]) * (static_cast<double>(ours[i]) - ref[i]);
    const double fPsnr = fSum == 0.0 ? 200.0 : 10.0 * std::log10(32768.0 * 32768.0 / (fSum / static_cast<double>(n)));
    RecordProperty("psnr_db", std::to_string(fPsnr));
    EXPECT_GE(fPsnr, 96.0) << c.szName;
}

INSTANTIATE_TEST_SUITE_P(IsoStreams, MP3Conformance,
    ::testing::Values(Conformance { "l3-compl", 1, 48000 }, Conformance { "l3-hecommon", 2, 44100 },
        Conformance { "M2L3_compl24", 1, 24000 }, Conformance { "l3-si_huff", 1, 44100 }),
    [](const ::testing::TestParamInfo<Conformance>& info) {
        std::string s = info.param.szName;
        std::replace(s.begin(), s.end(), '-', '_');
        return s;
    });

} // namespace
