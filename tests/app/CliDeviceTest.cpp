// tavrine-cli play and capture through the real ALSA code on the test's own device configuration (a file
// PCM over the null PCM): what is played is sox's decoding; the input reaches the dictation, and every way of
// stopping a capture keeps the recording.
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

#include <cmath>
#include <cstdlib>

namespace {

class CliPlay : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    // What was played holds the expected samples, then only the padding.
    void ExpectPlayed(const std::vector<int16_t>& expected)
    {
        const std::vector<int16_t> played = alsa.StreamSamples(0);
        ASSERT_GE(played.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
        EXPECT_TRUE(std::all_of(played.begin() + expected.size(), played.end(), [](int16_t s) { return s == 0; }));
    }

    test::AlsaTestConfig alsa;
};

TEST_F(CliPlay, PlaysAFileFromTheStartOrFromAPosition)
{
    Shell("sox -R -n -r 8000 -c 2 -b 16 " + Q("a.wav") + " synth 1.3 sine 300-2000 vol 0.7");
    const std::vector<int16_t> all = SoxSamples("a.wav");
    std::string out;
    ASSERT_EQ(Run("play " + Q("a.wav"), &out), 0) << out;
    ExpectPlayed(all);
    EXPECT_CONTAINS(out, "0:00:01.3 / 0:00:01.3");

    ASSERT_EQ(Run("play " + Q("a.wav") + " --from 0:00:01.0", &out), 0) << out;
    ExpectPlayed(std::vector<int16_t>(all.begin() + 8000 * 2, all.end()));
}

TEST_F(CliPlay, SlowPlayLastsLongerAndShowsTheFilesOwnTime)
{
    Shell("sox -R -n -r 8000 -c 1 -b 16 " + Q("a.wav") + " synth 2 sine 1000 vol 0.5");
    std::string out;
    ASSERT_EQ(Run("play " + Q("a.wav") + " --speed slow", &out), 0) << out;
    const std::vector<int16_t> played = alsa.StreamSamples(0);
    size_t last = played.size();
    while (last > 0 && played[last - 1] == 0)
        --last;
    EXPECT_NEAR(double(last) / double(SoxSamples("a.wav").size()), 2.0, 0.03);
    EXPECT_CONTAINS(out, "0:00:02.0 / 0:00:02.0");
}

class CliCapture : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    std::vector<int16_t> Exported(const std::string& n)
    {
        EXPECT_EQ(Run("export " + n + " " + Q("out.wav")), 0);
        return SoxSamples("out.wav");
    }
};

// The file PCM over the null PCM delivers faster than real time; the
// recording still holds exactly the time asked.
TEST_F(CliCapture, RecordsTheInputForTheSecondsAsked)
{
    test::AlsaTestConfig alsa;
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 2.5 sine 300-2000 vol 0.5");
    const std::vector<int16_t> input = SoxSamples("in.wav");
    ASSERT_TRUE(alsa.SetCaptureSamples(0, input));
    for (const auto& [szArgs, nFrames] :
        { std::pair { " --seconds 1", 11025u }, { " --seconds 2 --voice-level -127", 22050u } }) {
        const std::string n = NewDictation();
        std::string out;
        ASSERT_EQ(Run("capture " + n + szArgs, &out), 0) << out;

        // The input's sweep (the recorder's high-pass leaves it near).
        const std::vector<int16_t> got = Exported(n);
        EXPECT_EQ(got.size(), nFrames) << szArgs;
        for (size_t i : { 3000, 6000, 9000 })
            EXPECT_NEAR(got.at(i), input[i], 512) << i;
    }
}

TEST_F(CliCapture, CtrlCAndEnterStopAndKeepTheRecording)
{
    test::AlsaTestConfig alsa;
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440 vol 0.5");
    ASSERT_TRUE(alsa.SetCaptureSamples(0, SoxSamples("in.wav")));
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

} // namespace
