// tavrine-cli play on the real ALSA path: the test's ALSA configuration
// writes what is played to a file, compared with sox's decoding.
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

#include <cstring>

namespace {

class CliPlay : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    std::vector<int16_t> SoxSamples(const std::string& name)
    {
        const std::string raw = name + ".s16";
        Shell("sox " + Q(name) + " -t raw -e signed -b 16 -L " + Q(raw));
        std::vector<uint8_t> bytes = test::ReadFileBytes(File(raw));
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }
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

    ASSERT_EQ(Run("play " + Q("a.wav") + " --from 500", &out), 0) << out;
    ExpectPlayed(std::vector<int16_t>(all.begin() + 4000 * 2, all.end()));
    ASSERT_EQ(Run("play " + Q("a.wav") + " --from 0:00:01.0", &out), 0) << out;
    ExpectPlayed(std::vector<int16_t>(all.begin() + 8000 * 2, all.end()));
}

TEST_F(CliPlay, SlowAndFastPlayLastLongerAndShorter)
{
    Shell("sox -R -n -r 8000 -c 1 -b 16 " + Q("a.wav") + " synth 2 sine 1000 vol 0.5");
    const size_t frames = SoxSamples("a.wav").size();
    for (auto [szSpeed, fRatio] : { std::pair { "slow", 2.0 }, std::pair { "fast", 1.0 / 1.5 } }) {
        SCOPED_TRACE(szSpeed);
        std::string out;
        ASSERT_EQ(Run("play " + Q("a.wav") + " --speed " + szSpeed, &out), 0) << out;
        const std::vector<int16_t> played = alsa.StreamSamples(0);
        size_t last = played.size();
        while (last > 0 && played[last - 1] == 0)
            --last;
        EXPECT_NEAR(double(last) / double(frames), fRatio, 0.03);
        // The display keeps the file's own time.
        EXPECT_CONTAINS(out, "0:00:02.0 / 0:00:02.0");
    }
}

TEST_F(CliPlay, PlaysADictationAsItExports)
{
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("take.wav") + " synth 0.8 sine 500 vol 0.4");
    std::string out;
    ASSERT_EQ(Run("new", &out), 0) << out;
    const std::string number = out.substr(0, out.find('\n'));
    ASSERT_EQ(Run("record " + number + " --from " + Q("take.wav"), &out), 0) << out;
    ASSERT_EQ(Run("export " + number + " " + Q("export.wav"), &out), 0) << out;
    ASSERT_EQ(Run("play " + number, &out), 0) << out;
    ExpectPlayed(SoxSamples("export.wav"));
}

TEST_F(CliPlay, SaysWhyItCannotPlay)
{
    std::string out;
    EXPECT_EQ(Run("play", &out), 2);
    EXPECT_NE(Run("play " + Q("missing.wav"), &out), 0);
    EXPECT_CONTAINS(out, "cannot open");
    EXPECT_NE(Run("play 4242", &out), 0);
    EXPECT_CONTAINS(out, "no dictation 4242");
    Shell("sox -R -n -r 8000 -c 1 -b 16 " + Q("b.wav") + " synth 0.2 sine 300");
    EXPECT_EQ(Run("play " + Q("b.wav") + " --speed warp", &out), 2);
    EXPECT_EQ(Run("play " + Q("b.wav") + " --from soon", &out), 2);
    // The test device 3 takes 8000 Hz mono only: stereo goes to the default.
    Shell("sox -R -n -r 8000 -c 2 -b 16 " + Q("c.wav") + " synth 0.2 sine 300");
    EXPECT_EQ(Run("play " + Q("c.wav") + " --device 3", &out), 0) << out;
    ExpectPlayed(SoxSamples("c.wav"));
    EXPECT_EQ(Run("play " + Q("b.wav") + " --device 3", &out), 0) << out;
}

} // namespace
