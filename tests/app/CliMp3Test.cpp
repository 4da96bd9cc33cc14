// tavrine-cli with MP3 files: info, convert to WAV judged by mpg123's own
// decoding, and MP3 refused as an output.
#include "tests/support/TestSupport.h"

#include <cstring>
#include <string>

namespace {

class CliMp3 : public ::testing::Test {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        TEST_REQUIRE_TOOL("lame");
        TEST_REQUIRE_TOOL("mpg123");
    }
    int Run(const std::string& args, std::string* pOut = nullptr)
    {
        std::string out;
        int status = test::RunShell(std::string(TAVRINE_CLI) + " " + args + " 2>&1", &out);
        if (pOut)
            *pOut = out;
        return status;
    }
    std::string Q(const std::string& name) const { return test::ShellQuote(env.Dir().File(name)); }
    void Shell(const std::string& command) { ASSERT_EQ(test::RunShell(command), 0) << command; }

    test::IsolatedEnvironment env;
};

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.data(), v.size() * 2);
    return v;
}

TEST_F(CliMp3, ConvertsToWavAsMpg123Decodes)
{
    Shell("sox -R -n -r 22050 -c 2 " + Q("in.wav") + " synth 1.5 sine 300-3000 pinknoise gain -3 2>/dev/null");
    Shell("lame --quiet -b 64 " + Q("in.wav") + " " + Q("Song.MP3"));
    std::string out;
    ASSERT_EQ(Run("info " + Q("Song.MP3"), &out), 0) << out;
    EXPECT_NE(out.find("type: MP3\nrate: 22050\nchannels: 2\n"), std::string::npos) << out;

    ASSERT_EQ(Run("convert " + Q("Song.MP3") + " " + Q("ours.wav"), &out), 0) << out;
    Shell("sox " + Q("ours.wav") + " -t s16 " + Q("ours.s16"));
    Shell("mpg123 -q --no-gapless -e s16 -s " + Q("Song.MP3") + " > " + Q("theirs.s16"));
    std::vector<int16_t> ours = Samples16(test::ReadFileBytes(env.Dir().File("ours.s16")));
    std::vector<int16_t> theirs = Samples16(test::ReadFileBytes(env.Dir().File("theirs.s16")));
    ASSERT_EQ(ours.size(), theirs.size());
    ASSERT_FALSE(ours.empty());
    int nMax = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        nMax = std::max(nMax, std::abs(ours[i] - theirs[i]));
    EXPECT_LE(nMax, 1);
}

TEST_F(CliMp3, RefusesMp3AsOutputAndUnreadableMp3Input)
{
    Shell("sox -R -n -r 8000 -c 1 " + Q("in.wav") + " synth 0.5 sine 440");
    std::string out;
    EXPECT_NE(Run("convert " + Q("in.wav") + " " + Q("out.mp3"), &out), 0);
    EXPECT_NE(out.find("MP3 files are read only"), std::string::npos) << out;
    EXPECT_TRUE(test::ReadFileBytes(env.Dir().File("out.mp3")).empty());

    test::WriteFileBytes(env.Dir().File("junk.mp3"), std::vector<uint8_t>(70000, 'x'));
    EXPECT_NE(Run("convert " + Q("junk.mp3") + " " + Q("out.wav"), &out), 0) << out;
}

} // namespace
