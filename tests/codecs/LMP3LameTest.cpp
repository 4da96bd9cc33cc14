// Files written by lame in its modes, decoded here and by mpg123 (float
// output, no gapless trimming), compared by the ISO/IEC 11172-4 limits:
// RMS of the difference below 2^-15 / sqrt(12) and the largest difference at
// most 2^-14 of full scale.
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/TestSupport.h"

#include <cstring>

namespace {

struct LameCase {
    const char* szName;
    int32_t nInputRate;
    unsigned nInputChannels;
    const char* szSignal; // sox synth arguments
    const char* szLame; // lame options
    int32_t nRate; // rate of the MP3
    unsigned nChannels;
};

// A tonal part, a noisy part that differs between the channels, and bursts
// that make the encoder switch to short blocks.
constexpr const char* kMixed = "synth 1.2 sine 300-3000 pinknoise gain -2";
constexpr const char* kBursts = "synth 0.03 square 180 pinknoise pad 0 0.2 repeat 5";

class MP3AgainstMpg123 : public ::testing::TestWithParam<LameCase> { };

std::vector<float> ReadFloats(const std::string& path)
{
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    std::vector<float> v(bytes.size() / 4);
    std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

TEST_P(MP3AgainstMpg123, MeetsComplianceLimits)
{
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("lame");
    TEST_REQUIRE_TOOL("mpg123");
    const LameCase& c = GetParam();
    test::TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("out.mp3"), ref = dir.File("ref.f32");
    ASSERT_EQ(test::RunShell("sox -R -n -r " + std::to_string(c.nInputRate) + " -c " + std::to_string(c.nInputChannels)
                  + " " + test::ShellQuote(wav) + " " + c.szSignal + " 2>/dev/null"),
        0);
    ASSERT_EQ(test::RunShell(
                  std::string("lame --quiet ") + c.szLame + " " + test::ShellQuote(wav) + " " + test::ShellQuote(mp3)),
        0);
    ASSERT_EQ(
        test::RunShell("mpg123 -q --no-gapless -e f32 -s " + test::ShellQuote(mp3) + " > " + test::ShellQuote(ref)), 0);

    mp3test::Decoded d = mp3test::DecodeAll(test::ReadFileBytes(mp3));
    ASSERT_TRUE(d.bOpen);
    EXPECT_EQ(d.nRate, c.nRate);
    ASSERT_EQ(d.nChannels, c.nChannels);
    std::vector<float> theirs = ReadFloats(ref);
    // Same frames, same first sample: no gapless trimming on either side.
    ASSERT_EQ(d.samples.size(), theirs.size());
    ASSERT_FALSE(theirs.empty());

    double fSum = 0.0, fMax = 0.0;
    for (size_t i = 0; i < theirs.size(); ++i) {
        double ours = d.samples[i] / 524288.0;
        double diff = ours - theirs[i];
        fSum += diff * diff;
        fMax = std::max(fMax, std::fabs(diff));
    }
    double fRms = std::sqrt(fSum / static_cast<double>(theirs.size()));
    std::printf("[ 11172-4  ] %s: rms %.3g (limit %.3g), max %.3g (limit %.3g)\n", c.szName, fRms,
        std::ldexp(1.0, -15) / std::sqrt(12.0), fMax, std::ldexp(1.0, -14));
    EXPECT_LT(fRms, std::ldexp(1.0, -15) / std::sqrt(12.0));
    EXPECT_LE(fMax, std::ldexp(1.0, -14));
}

INSTANTIATE_TEST_SUITE_P(LameModes, MP3AgainstMpg123,
    ::testing::Values(LameCase { "cbr128_stereo", 44100, 2, kMixed, "-b 128 -m s", 44100, 2 },
        LameCase { "cbr160_joint", 44100, 2, kMixed, "-b 160 -m j", 44100, 2 },
        LameCase { "cbr96_forced_ms", 48000, 2, kMixed, "-b 96 -m f --resample 48", 48000, 2 },
        LameCase { "cbr64_mono", 32000, 1, kMixed, "-b 64 -m m", 32000, 1 },
        LameCase { "vbr_v2_xing", 44100, 2, kMixed, "-V 2", 44100, 2 },
        LameCase { "mpeg2_22050", 22050, 2, kMixed, "-b 64 -m j", 22050, 2 },
        LameCase { "mpeg2_16000", 16000, 1, kMixed, "-b 32 -m m", 16000, 1 },
        LameCase { "mpeg25_8000", 8000, 1, kMixed, "-b 16 -m m", 8000, 1 },
        LameCase { "mpeg25_11025", 11025, 2, kMixed, "-b 32 -m j", 11025, 2 },
        LameCase { "short_blocks", 44100, 1, kBursts, "-b 128 -m m", 44100, 1 },
        LameCase { "short_blocks_lsf", 24000, 2, kBursts, "-b 48 -m j --resample 24", 24000, 2 },
        LameCase { "crc_no_reservoir", 44100, 2, kMixed, "-b 112 -p --nores", 44100, 2 }),
    [](const ::testing::TestParamInfo<LameCase>& info) { return std::string(info.param.szName); });

} // namespace
