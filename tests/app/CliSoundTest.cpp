// tavrine-cli info and convert, judged by soxi and sox.
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <string>

namespace {

class CliSound : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }
};

TEST_F(CliSound, InfoDescribesWavAndRawFiles)
{
    Shell("sox -R -n -r 16000 -c 2 -e ima-adpcm " + Q("a.wav") + " synth 2.5 sine 440");
    std::string out;
    ASSERT_EQ(Run("info " + Q("a.wav"), &out), 0) << out;
    const std::string frames = Shell("soxi -s " + Q("a.wav"));
    EXPECT_NE(out.find("type: WAV\n"), std::string::npos) << out;
    EXPECT_NE(out.find("format tag: 17 (IMA ADPCM)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rate: 16000\nchannels: 2\nframes: " + frames), std::string::npos) << out;
    EXPECT_NE(out.find("duration: 0:00:02.5\n"), std::string::npos) << out;

    // Raw files are described by the settings of their kind.
    SetMachineInt("RawAudio", "SampleRate", 8000);
    SetMachineInt("RawAudio", "Channels", 2);
    SetMachineInt("RawAudio", "Codec", 6);
    Shell("sox -R -n -r 8000 -c 2 -t raw -e signed -b 16 -B " + Q("b.raw") + " synth 61 sine 440");
    ASSERT_EQ(Run("info " + Q("b.raw"), &out), 0) << out;
    EXPECT_NE(out.find("coding: 6 (16 bit PCM (BE))\nrate: 8000\nchannels: 2\nframes: 488000\nduration: 0:01:01.0"),
        std::string::npos)
        << out;
}

TEST_F(CliSound, InfoAndConvertSayWhyAFileCannotBeUsed)
{
    std::string out;
    EXPECT_NE(Run("info " + Q("missing.wav"), &out), 0);
    EXPECT_NE(out.find("cannot open"), std::string::npos) << out;
    test::WriteFileBytes(env.Dir().File("junk.wav"), std::vector<uint8_t>(100, 'x'));
    EXPECT_NE(Run("info " + Q("junk.wav"), &out), 0);
    EXPECT_NE(out.find("not a sound file"), std::string::npos) << out;
    EXPECT_NE(Run("info " + Q("a.mp4"), &out), 0);
    EXPECT_NE(out.find("unknown file type"), std::string::npos) << out;
    EXPECT_EQ(Run("convert " + Q("a.wav"), &out), 2);
    EXPECT_EQ(Run("convert " + Q("a.wav") + " " + Q("b.wav") + " --codec mp3", &out), 2);
}

TEST_F(CliSound, ConvertsBetweenCodecsAsSoxReadsThem)
{
    Shell("sox -R -n -r 22050 -c 2 -b 16 " + Q("in.wav") + " synth 1.2 sine 300-6000 vol 0.8");
    const std::string input = Shell("sox -D " + Q("in.wav") + " -t s16 -");
    struct {
        const char* szCodec;
        const char* szEncoding;
    } cases[] = { { "pcm16", "Signed Integer PCM" }, { "pcm8", "Unsigned Integer PCM" }, { "alaw", "A-law" },
        { "ulaw", "u-law" }, { "ima", "IMA ADPCM" }, { "msadpcm", "MS ADPCM" } };
    for (const auto& c : cases) {
        const std::string out = std::string("out_") + c.szCodec + ".wav";
        std::string text;
        ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q(out) + " --codec " + c.szCodec, &text), 0) << text;
        EXPECT_EQ(text, ""); // no progress output when stderr is not a terminal
        EXPECT_EQ(Shell("soxi -e " + Q(out)), std::string(c.szEncoding) + "\n");
        EXPECT_EQ(Shell("soxi -r " + Q(out)), "22050\n");
        EXPECT_EQ(Shell("soxi -c " + Q(out)), "2\n");
    }
    // 16-bit PCM in, 16-bit PCM out, through a raw file on the way.
    EXPECT_EQ(Shell("sox -D " + Q("out_pcm16.wav") + " -t s16 -"), input);
    std::string text;
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("mid.raw"), &text), 0) << text;
    SetMachineInt("RawAudio", "SampleRate", 22050);
    SetMachineInt("RawAudio", "Channels", 2);
    ASSERT_EQ(Run("convert " + Q("mid.raw") + " " + Q("back.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox -D " + Q("back.wav") + " -t s16 -"), input);
    // A compressed file converts back to what sox decodes from it.
    ASSERT_EQ(Run("convert " + Q("out_ima.wav") + " " + Q("ima16.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox -D " + Q("ima16.wav") + " -t s16 -"), Shell("sox -D " + Q("out_ima.wav") + " -t s16 -"));
}

TEST_F(CliSound, ConvertRefusesWhatItCannotDoYet)
{
    Shell("sox -R -n -r 22050 -c 1 -b 16 " + Q("in.wav") + " synth 0.2 sine 300");
    std::string out;
    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("o.wav") + " --rate 22050 --channels 1", &out), 0) << out;
    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("o.wav") + " --channels 3", &out), 2);
    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("in.wav"), &out), 1);
    EXPECT_NE(out.find("overwrite the input"), std::string::npos) << out;
    EXPECT_EQ(Shell("soxi -s " + Q("in.wav")), "4410\n");
    EXPECT_NE(Run("convert " + Q("in.wav") + " " + Q("o.raw") + " --codec ima", &out), 0);
    EXPECT_NE(out.find("raw files cannot hold"), std::string::npos) << out;
}

} // namespace
