// Files written by lame in its modes, decoded here and by mpg123 (float
// output, no gapless trimming), compared sample for sample: RMS of the
// difference within the ISO/IEC 11172-4 full-accuracy limit (1 / sqrt(12) of
// a 16-bit unit) and no sample more than one 16-bit unit off.
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

TEST_P(MP3AgainstMpg123, MeetsComplianceLimits)
{
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("lame");
    TEST_REQUIRE_TOOL("mpg123");
    const LameCase& c = GetParam();
    test::TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("out.mp3");
    ASSERT_EQ(test::RunShell("sox -R -n -r " + std::to_string(c.nInputRate) + " -c " + std::to_string(c.nInputChannels)
                  + " " + test::ShellQuote(wav) + " " + c.szSignal + " 2>/dev/null"),
        0);
    ASSERT_EQ(test::RunShell(
                  std::string("lame --quiet ") + c.szLame + " " + test::ShellQuote(wav) + " " + test::ShellQuote(mp3)),
        0);
    mp3test::ExpectMatchesMpg123(dir, mp3, c.nRate, c.nChannels, "lame  ", c.szName);
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
        LameCase { "crc_no_reservoir", 44100, 2, kMixed, "-b 112 -p --nores", 44100, 2 },
        LameCase { "crc_joint_reservoir", 44100, 2, kMixed, "-b 128 -m j -p", 44100, 2 },
        LameCase { "crc_mpeg2_mono", 22050, 1, kMixed, "-b 32 -m m -p", 22050, 1 },
        LameCase { "crc_mpeg25_joint", 11025, 2, kMixed, "-b 32 -m j -p --resample 11.025", 11025, 2 },
        LameCase { "mpeg2_24000_vbr", 24000, 2, kMixed, "-V 4", 24000, 2 },
        LameCase { "mpeg25_12000_stereo", 12000, 2, kMixed, "-b 32 -m s --resample 12", 12000, 2 },
        LameCase { "mpeg25_8000_vbr", 8000, 1, kMixed, "-V 6 -m m", 8000, 1 }),
    [](const ::testing::TestParamInfo<LameCase>& info) { return std::string(info.param.szName); });

} // namespace
