// tavrine-cli capture through the real ALSA code on the test's own device
// configuration (a file PCM over the null PCM): what the input file holds
// must reach the dictation, and every way of stopping keeps the recording.
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

#include <cmath>
#include <cstdlib>

namespace {

class CliCapture : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    std::string NewDictation()
    {
        std::string out;
        EXPECT_EQ(Run("new", &out), 0) << out;
        return out.substr(0, out.find('\n'));
    }
    std::vector<int16_t> Samples(const std::string& name)
    {
        const std::vector<uint8_t> bytes = test::ReadFileBytes(File(name));
        std::vector<int16_t> out;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(int16_t(bytes[i] | (bytes[i + 1] << 8)));
        return out;
    }
    // The dictation's audio as sox reads the exported WAV.
    std::vector<int16_t> Exported(const std::string& n)
    {
        std::string out;
        EXPECT_EQ(Run("export " + n + " " + Q("out.wav"), &out), 0) << out;
        Shell("sox " + Q("out.wav") + " -t raw -e signed -b 16 -L " + Q("out.s16"));
        return Samples("out.s16");
    }
};

TEST_F(CliCapture, RecordsTheInputForTheSecondsAsked)
{
    test::AlsaTestConfig alsa;
    Shell("sox -R -n -r 11025 -c 1 -b 16 -e signed -t raw " + Q("in.s16") + " synth 1.5 sine 300-2000 vol 0.5");
    const std::vector<int16_t> input = Samples("in.s16");
    ASSERT_TRUE(alsa.SetCaptureSamples(0, input));
    const std::string n = NewDictation();
    std::string out;
    ASSERT_EQ(Run("capture " + n + " --seconds 1", &out), 0) << out;

    // At least the second asked for, and it is the input high-passed as the
    // recorder does (a sweep has no offset, so only the start differs).
    const std::vector<int16_t> got = Exported(n);
    ASSERT_GE(got.size(), 11025u);
    int64_t d = 0;
    const int64_t k = 192000 / 11025 + 1;
    double fMaxDiff = 0;
    for (size_t i = 0; i < 11025; ++i) {
        const int64_t x = int64_t(input[i]) * 16 - (d >> 12);
        d += x * k;
        fMaxDiff = std::max(fMaxDiff, std::abs(got[i] - double(x) / 16));
    }
    EXPECT_LE(fMaxDiff, 1.0);
    ASSERT_EQ(Run("show " + n, &out), 0) << out;
    EXPECT_EQ(out.find("Duration: 0 s\n"), std::string::npos) << out;
}

TEST_F(CliCapture, CtrlCAndEnterStopAndKeepTheRecording)
{
    test::AlsaTestConfig alsa;
    Shell("sox -R -n -r 11025 -c 1 -b 16 -e signed -t raw " + Q("in.s16") + " synth 1 sine 440 vol 0.5");
    ASSERT_TRUE(alsa.SetCaptureSamples(0, Samples("in.s16")));
    const std::string n = NewDictation();
    std::string out;
    // No time limit: only the interrupt (or the input's end) stops it. By
    // voice, so the silence the device gives after the file is not kept.
    const std::string command = std::string(TAVRINE_CLI) + " capture " + n + " --voice-level -20 < /dev/null > "
        + Q("capture.txt")
        + " 2>&1 & pid=$!; sleep 0.5; kill -INT $pid; (sleep 10; kill -KILL $pid) >/dev/null 2>&1 & "
          "w=$!; wait $pid; rc=$?; kill $w; exit $rc";
    EXPECT_EQ(test::RunShell(command, &out), 0) << out;
    // The whole tone, then at most the rest of its last 100 ms block and 50 ms.
    const size_t nGot = Exported(n).size();
    EXPECT_GE(nGot, 11025u);
    EXPECT_LE(nGot, 11025u + 1102 + 551);

    ASSERT_EQ(Run("capture " + n + " --mode insert --at 0", &out, "\n"), 0) << out;
    ASSERT_EQ(Run("show " + n, &out), 0) << out;
}

TEST_F(CliCapture, ADeviceThatCannotOpenLeavesTheDictationAsItWas)
{
    const std::string n = NewDictation();
    // A configuration without any device at all.
    ASSERT_TRUE(test::WriteFileBytes(File("none.conf"), {}));
    const std::string command
        = "ALSA_CONFIG_PATH=" + Q("none.conf") + " " + std::string(TAVRINE_CLI) + " capture " + n + " 2>&1";
    std::string out;
    EXPECT_EQ(test::RunShell(command, &out), 1) << out;
    EXPECT_CONTAINS(out, "Unable to start the sound record device.");
    ASSERT_EQ(Run("show " + n, &out), 0) << out;
    EXPECT_CONTAINS(out, "Duration: 0 s\n");
    EXPECT_CONTAINS(out, "Cuts: 0\n");
    EXPECT_EQ(Run("capture " + n + " --mode insert", &out), 2) << out;
    EXPECT_EQ(Run("capture " + n + " --voice-level -200", &out), 2) << out;
}

} // namespace
