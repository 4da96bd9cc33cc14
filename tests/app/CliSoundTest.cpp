// tavrine-cli convert wired to the library: a converted file is the file the library writes.
#include "foundation/LSettings.h"
#include "sound/LPRSourceToSink.h"
#include "sound/convert/LSoundAdapter.h"
#include "sound/files/LAifFile.h"
#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LSoundFileByName.h"
#include "sound/files/LWaveFile.h"
#include "tests/app/CliFixture.h"
#include "tests/support/LTestProgress.h"

#include <filesystem>
#include <functional>

namespace {

using Sink = std::function<LSoundSinkRef(const std::string& path, const LSoundSourceRef& source)>;

class CliSound : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    // The bytes the library writes from IN through the sink, converted first
    // to the channels and rate given (0: the input's).
    std::vector<uint8_t> Library(
        const std::string& in, const std::string& ext, const Sink& open, uint8_t nChannels = 0, int32_t nRate = 0)
    {
        LSoundSourceRef source = LSoundFileByName::OpenSource(File(in));
        EXPECT_TRUE(source->IsUsable()) << in;
        if (nChannels || nRate)
            source = LSoundAdapter::Adapt(
                source, nChannels ? nChannels : source->NumChannels(), nRate ? nRate : source->SampleRate());
        const std::string path = File("library" + ext);
        {
            LTestProgress progress;
            EXPECT_EQ(LPRSourceToSink::Process(progress, "x", source, open(path, source)), JobResult::kDone);
        }
        return test::ReadFileBytes(path);
    }
    static Sink Wave(uint16_t wTag, int nBits = 16)
    {
        return [=](const std::string& path, const LSoundSourceRef& s) {
            if (wTag == kWaveFormatPCM)
                return LWaveFile::OpenSinkPCM(path, s->SampleRate(), 0, nBits, s->NumChannels());
            LWaveFormat format;
            format.wFormatTag = wTag, format.nChannels = s->NumChannels();
            format.nSamplesPerSec = static_cast<uint32_t>(s->SampleRate());
            return LWaveFile::OpenSink(path, format);
        };
    }
    static Sink ByName()
    {
        return [](const std::string& path, const LSoundSourceRef& s) {
            return LSoundFileByName::OpenSink(path, s->SampleRate(), s->NumChannels());
        };
    }
    static Sink Raw(uint32_t nCodec)
    {
        return [=](const std::string& path, const LSoundSourceRef& s) {
            return LRawFile::OpenSink(path, LRawSettings { s->SampleRate(), s->NumChannels(), nCodec });
        };
    }
    void ExpectConverts(
        const std::string& in, const std::string& out, const std::string& options, const std::vector<uint8_t>& expected)
    {
        std::string text;
        ASSERT_EQ(Run("convert " + Q(in) + " " + Q(out) + " " + options, &text), 0) << text;
        EXPECT_EQ(text, ""); // no progress output when stderr is not a terminal
        EXPECT_EQ(test::ReadFileBytes(File(out)), expected) << out << " " << options;
    }
};

TEST_F(CliSound, ConvertWritesWhatTheLibraryWrites)
{
    Shell("sox -R -n -r 22050 -c 2 -b 16 " + Q("in.wav") + " synth 1.2 sine 300-6000 vol 0.8");
    // The codec names are a table: two of them show that --codec reaches the sink.
    const std::tuple<const char*, uint16_t, int> codecs[]
        = { { "pcm16", kWaveFormatPCM, 16 }, { "ima", kWaveFormatImaAdpcm, 0 } };
    for (const auto& [szCodec, wTag, nBits] : codecs)
        ExpectConverts("in.wav", std::string("out_") + szCodec + ".wav", std::string("--codec ") + szCodec,
            Library("in.wav", ".wav", Wave(wTag, nBits)));
    // Through a raw file of the raw settings and back, and kinds by their names.
    ExpectConverts("in.wav", "mid.raw", "", Library("in.wav", ".raw", Raw(kRawPCM16LE)));
    SetMachineInt("RawAudio", "SampleRate", 22050);
    SetMachineInt("RawAudio", "Channels", 2);
    ExpectConverts("mid.raw", "back.wav", "", test::ReadFileBytes(File("out_pcm16.wav")));
    ExpectConverts("in.wav", "down.wav", "--rate 8000 --channels 1", Library("in.wav", ".wav", ByName(), 1, 8000));
    // Files of one format take the input converted to it.
    ExpectConverts("in.wav", "t.gsm", "", Library("in.wav", ".gsm", ByName(), 1, 8000));
}

TEST_F(CliSound, ConvertRefusesWhatItCannotDoAndLeavesNoFile)
{
    Shell("sox -R -n -r 22050 -c 2 -b 16 " + Q("st.wav") + " synth 0.2 sine 300");
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        { "st.wav", "o.wav --channels 3", 2, "--channels must be 1 or 2" },
        { "st.wav", "o.au", 1, "writing AU files is not available" },
        { "st.wav", "st.wav", 1, "overwrite the input" },
        { "junk.mp3", "o.wav", 1, "" },
    };
    test::WriteFileBytes(File("junk.mp3"), std::vector<uint8_t>(70000, 'x'));
    std::string out;
    EXPECT_EQ(Run("convert " + Q("st.wav"), &out), 2);
    for (const auto& [szIn, szArgs, nStatus, szMessage] : cases) {
        const std::string args(szArgs);
        const std::string name = args.substr(0, args.find(' '));
        EXPECT_EQ(Run("convert " + Q(szIn) + " " + Q(name) + args.substr(name.size()), &out), nStatus) << args;
        EXPECT_CONTAINS(out, szMessage);
        if (name != szIn) {
            EXPECT_TRUE(test::ReadFileBytes(File(name)).empty()) << args;
        }
    }
    EXPECT_EQ(Shell("soxi -s " + Q("st.wav")), "4410\n");
}

} // namespace
