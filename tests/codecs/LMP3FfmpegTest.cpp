// Files written by ffmpeg (its lame and shine encoders, its own muxer with an
// ID3v2 tag and an "Info"/"Xing" frame), decoded here and by mpg123, compared
// sample for sample as the lame files are. Shine is an encoder of its own:
// other bit allocations, no short blocks.
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

struct FfmpegCase {
    const char* szName;
    int32_t nRate; // of the input and the MP3
    unsigned nChannels;
    const char* szEncoder; // libmp3lame or libshine
    const char* szOptions; // ffmpeg output options
};

constexpr const char* kMixed = "synth 1.2 sine 300-3000 pinknoise gain -2";

bool HaveEncoder(const std::string& encoder)
{
    std::string out;
    test::RunShell("ffmpeg -hide_banner -encoders 2>/dev/null", &out);
    return out.find(" " + encoder + " ") != std::string::npos;
}

class MP3FfmpegAgainstMpg123 : public ::testing::TestWithParam<FfmpegCase> { };

TEST_P(MP3FfmpegAgainstMpg123, MatchesSampleForSample)
{
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("ffmpeg");
    TEST_REQUIRE_TOOL("mpg123");
    const FfmpegCase& c = GetParam();
    if (!HaveEncoder(c.szEncoder)) {
        if (test::InCI())
            FAIL() << "ffmpeg lacks the encoder " << c.szEncoder;
        GTEST_SKIP() << "ffmpeg lacks the encoder " << c.szEncoder;
    }
    test::TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("out.mp3");
    ASSERT_EQ(test::RunShell("sox -R -n -r " + std::to_string(c.nRate) + " -c " + std::to_string(c.nChannels) + " "
                  + test::ShellQuote(wav) + " " + kMixed + " 2>/dev/null"),
        0);
    ASSERT_EQ(test::RunShell("ffmpeg -nostdin -hide_banner -loglevel error -y -i " + test::ShellQuote(wav) + " -c:a "
                  + c.szEncoder + " " + c.szOptions + " " + test::ShellQuote(mp3)),
        0);
    mp3test::ExpectMatchesMpg123(dir, mp3, c.nRate, c.nChannels, "ffmpeg", c.szName);
}

INSTANTIATE_TEST_SUITE_P(Encoders, MP3FfmpegAgainstMpg123,
    ::testing::Values(FfmpegCase { "lame_mpeg1_32000_mono_cbr", 32000, 1, "libmp3lame", "-b:a 64k" },
        FfmpegCase { "lame_mpeg1_44100_joint_cbr", 44100, 2, "libmp3lame", "-b:a 128k" },
        FfmpegCase { "lame_mpeg1_48000_stereo_vbr", 48000, 2, "libmp3lame", "-q:a 2 -joint_stereo 0" },
        FfmpegCase { "lame_mpeg1_44100_joint_vbr", 44100, 2, "libmp3lame", "-q:a 5" },
        FfmpegCase { "lame_mpeg1_44100_abr", 44100, 2, "libmp3lame", "-abr 1 -b:a 96k" },
        FfmpegCase { "lame_mpeg1_48000_no_reservoir", 48000, 2, "libmp3lame", "-b:a 160k -reservoir 0" },
        FfmpegCase { "lame_mpeg2_16000_mono_cbr", 16000, 1, "libmp3lame", "-b:a 32k" },
        FfmpegCase { "lame_mpeg2_22050_joint_vbr", 22050, 2, "libmp3lame", "-q:a 4" },
        FfmpegCase { "lame_mpeg2_24000_stereo_cbr", 24000, 2, "libmp3lame", "-b:a 64k -joint_stereo 0" },
        FfmpegCase { "lame_mpeg25_8000_mono_cbr", 8000, 1, "libmp3lame", "-b:a 16k" },
        FfmpegCase { "lame_mpeg25_11025_joint_cbr", 11025, 2, "libmp3lame", "-b:a 32k" },
        FfmpegCase { "lame_mpeg25_12000_stereo_vbr", 12000, 2, "libmp3lame", "-q:a 6 -joint_stereo 0" },
        FfmpegCase { "shine_mpeg1_32000_mono", 32000, 1, "libshine", "-b:a 64k" },
        FfmpegCase { "shine_mpeg1_44100_stereo", 44100, 2, "libshine", "-b:a 128k" },
        FfmpegCase { "shine_mpeg1_48000_stereo", 48000, 2, "libshine", "-b:a 192k" }),
    [](const ::testing::TestParamInfo<FfmpegCase>& info) { return std::string(info.param.szName); });

} // namespace
