// tavrine-cli info and convert on telephony and legacy files (".gsm", ".vox",
// ".ul", ".al", ".au", ".aif"/".aiff", GSM WAV), judged by sox, soxi and
// toast/untoast.
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <filesystem>
#include <string>

namespace {

class CliTelephony : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    void Contains(const std::string& text, const std::string& part) const
    {
        EXPECT_NE(text.find(part), std::string::npos) << "missing \"" << part << "\" in:\n" << text;
    }
};

TEST_F(CliTelephony, InfoDescribesEveryTelephonyType)
{
    Shell("sox -R -n -r 8000 -c 1 " + Q("speech.wav") + " synth 2.5 sine 300-3000 vol 0.4");
    Shell("sox " + Q("speech.wav") + " " + Q("a.ul"));
    Shell("sox " + Q("speech.wav") + " " + Q("a.al"));
    Shell("sox " + Q("speech.wav") + " " + Q("a.gsm"));
    Shell("sox " + Q("speech.wav") + " -t vox " + Q("a.vox"));
    Shell("sox -R -n -r 11025 -c 2 -e a-law " + Q("b.au") + " synth 1.5 sine 440");
    Shell("sox -R -n -r 22050 -c 2 -b 16 " + Q("c.AIFF") + " synth 0.5 sine 440");
    Shell("sox " + Q("speech.wav") + " -e gsm-full-rate " + Q("g.wav"));
    std::string out;
    struct {
        const char* szFile;
        const char* szExpected;
    } cases[] = {
        { "a.ul", "type: raw\ncoding: 1 (G711 uLaw)\nrate: 8000\nchannels: 1\nframes: 20000\nduration: 0:00:02.5" },
        { "a.al", "type: raw\ncoding: 2 (G711 aLaw)\nrate: 8000\nchannels: 1\nframes: 20000\n" },
        // GSM ends on a whole frame, as soxi counts it.
        { "a.gsm", "type: GSM 06.10\nrate: 8000\nchannels: 1\nframes: 20000\n" },
        { "a.vox", "type: raw\ncoding: 0 (Dialogic ADPCM)\nrate: 8000\nchannels: 1\nframes: 20000\n" },
        { "b.au", "type: AU\nrate: 11025\nchannels: 2\nframes: 16538\nduration: 0:00:01.5" },
        { "c.AIFF", "type: AIFF\nrate: 22050\nchannels: 2\nframes: 11025\n" },
        { "g.wav", "format tag: 49 (GSM 6.10)\nbits per sample: 0\nrate: 8000\nchannels: 1\nframes: 20160\n" },
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Run("info " + Q(c.szFile), &out), 0) << out;
        Contains(out, c.szExpected);
    }
    EXPECT_EQ(Shell("soxi -s " + Q("b.au")), "16538\n");
    EXPECT_EQ(Shell("soxi -s " + Q("g.wav")), "20160\n");
}

TEST_F(CliTelephony, ConvertsToAndFromTelephonyFilesAsThePeerToolsDo)
{
    TEST_REQUIRE_TOOL("toast");
    TEST_REQUIRE_TOOL("untoast");
    Shell("sox -R -n -r 8000 -c 1 -b 16 " + Q("in.wav")
        + " synth 3.01 sine 200-3400 synth 3.01 pinknoise mix tremolo 4 80 vol 0.6");
    Shell("sox " + Q("in.wav") + " -t s16 -L " + Q("in.s16"));
    std::string text;
    // WAV to raw GSM is toast's encoding, byte for byte; back is untoast's.
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("out.gsm"), &text), 0) << text;
    Shell("toast -l -c < " + Q("in.s16") + " > " + Q("toast.gsm"));
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("out.gsm")), test::ReadFileBytes(env.Dir().File("toast.gsm")));
    ASSERT_EQ(Run("convert " + Q("toast.gsm") + " " + Q("back.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox " + Q("back.wav") + " -t s16 -L -"), Shell("untoast -l -c < " + Q("toast.gsm")));

    // GSM WAV through --codec gsm: sox decodes it as we do.
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("g.wav") + " --codec gsm", &text), 0) << text;
    EXPECT_EQ(Shell("soxi -e " + Q("g.wav")), "GSM\n");
    ASSERT_EQ(Run("convert " + Q("g.wav") + " " + Q("g16.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox " + Q("g16.wav") + " -t s16 -"), Shell("sox " + Q("g.wav") + " -t s16 -"));

    // G.711: our ".ul" and ".al" decode in sox as in ours; an AU from sox
    // converts to the samples sox reads from it.
    for (const char* szExt : { "ul", "al" }) {
        const std::string name = std::string("out.") + szExt;
        ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q(name), &text), 0) << text;
        ASSERT_EQ(Run("convert " + Q(name) + " " + Q("back.wav"), &text), 0) << text;
        EXPECT_EQ(Shell("sox " + Q("back.wav") + " -t s16 -"), Shell("sox " + Q(name) + " -t s16 -"));
    }
    Shell("sox " + Q("in.wav") + " -e u-law " + Q("x.au"));
    ASSERT_EQ(Run("convert " + Q("x.au") + " " + Q("x.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox " + Q("x.wav") + " -t s16 -"), Shell("sox " + Q("x.au") + " -t s16 -"));

    // AIFF written here reads in sox as the input; sox's reads back as sox's.
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("out.aiff"), &text), 0) << text;
    EXPECT_EQ(Shell("sox " + Q("out.aiff") + " -t s16 -"), Shell("sox " + Q("in.wav") + " -t s16 -"));
    ASSERT_EQ(Run("convert " + Q("out.aiff") + " " + Q("aiff.wav"), &text), 0) << text;
    EXPECT_EQ(Shell("sox " + Q("aiff.wav") + " -t s16 -"), Shell("sox " + Q("in.wav") + " -t s16 -"));

    // Dialogic: the ".vox" settings say 8000 Hz; sox reads our file.
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("out.vox"), &text), 0) << text;
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("out.vox")).size(), 12040u);
    EXPECT_EQ(Shell("sox -t vox -r 8000 " + Q("out.vox") + " -n stat 2>&1 | grep Samples"),
        "Samples read:             24080\n");
}

TEST_F(CliTelephony, RefusesWhatTheFilesCannotHold)
{
    Shell("sox -R -n -r 22050 -c 2 -b 16 " + Q("st.wav") + " synth 0.2 sine 300");
    Shell("sox -R -n -r 8000 -c 2 -b 16 " + Q("st8.wav") + " synth 0.2 sine 300");
    std::string out;
    // Files of one format take the input converted to it, unless told otherwise.
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o.gsm"), &out), 0) << out;
    EXPECT_EQ(Shell("soxi -r " + Q("o.gsm")), "8000\n");
    EXPECT_EQ(Run("convert " + Q("st8.wav") + " " + Q("o.ul"), &out), 0) << out;
    EXPECT_EQ(
        Shell("sox -t ul -r 8000 " + Q("o.ul") + " -n stat 2>&1 | grep Samples"), "Samples read:              1600\n");
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o.vox"), &out), 0) << out;
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("o.vox")).size(), 4410u / 2);
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o2.ul") + " --rate 16000", &out), 2);
    Contains(out, "holds 8000 Hz mono");
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o.au"), &out), 1);
    Contains(out, "writing AU files is not available");
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o.aif") + " --codec pcm8", &out), 2);
    Contains(out, "can hold only one coding");
    EXPECT_EQ(Run("convert " + Q("st8.wav") + " " + Q("o.ul") + " --codec alaw", &out), 2);
    EXPECT_EQ(Run("convert " + Q("st.wav") + " " + Q("o.wav") + " --codec gsm", &out), 1);
    Contains(out, "cannot write");
    for (const char* szName : { "o2.ul", "o.au", "o.aif", "o.wav" })
        EXPECT_FALSE(std::filesystem::exists(env.Dir().File(szName))) << szName;

    // A corrupt AIFF says so; a ".snd" is still a raw file of the raw settings.
    test::WriteFileBytes(env.Dir().File("bad.aif"), std::vector<uint8_t>(64, 'F'));
    EXPECT_EQ(Run("info " + Q("bad.aif"), &out), 1);
    Contains(out, "not a sound file");
    Shell("sox -R -n -r 8000 -c 1 -t au " + Q("sun.snd") + " synth 0.1 sine 300");
    ASSERT_EQ(Run("info " + Q("sun.snd"), &out), 0) << out;
    Contains(out, "type: raw\ncoding: 3 (16 bit PCM (LE))\nrate: 44100");
}

} // namespace
