// tavrine-cli against hostile input: terminal escapes in outside text, lying
// sizes, FIFOs and folders in a file's place, a full disk, and the usage rules.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "sound/LSoundFileByName.h"
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const std::string kEscapes = "\x1b]0;owned\x07\x1b[2J\xc2\x9b"
                             "1m";

class CliHardening : public CliTest {
protected:
    // A 16-bit mono WAV at the dictations' rate, nFrames long.
    std::string Wave(const std::string& name, int32_t nFrames)
    {
        const std::string path = env.Dir().File(name);
        LSoundSinkRef sink = LSoundFileByName::OpenSink(path, 11025, 1);
        std::vector<int32_t> frames(static_cast<size_t>(nFrames), 1 << 16);
        sink->Write(frames.data(), nFrames);
        return path;
    }
    // The same with its data size saying 0x7FFFFFFF.
    std::string LyingWave(const std::string& name)
    {
        const std::string path = Wave(name, 2048);
        std::vector<uint8_t> bytes = test::ReadFileBytes(path);
        const size_t at
            = static_cast<size_t>(std::search(bytes.begin(), bytes.end(), "data", "data" + 4) - bytes.begin());
        bytes[at + 4] = bytes[at + 5] = bytes[at + 6] = 0xFF;
        bytes[at + 7] = 0x7F;
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return path;
    }
    // Runs with a file size limit of 64 KiB, so that a length believed from a
    // header ends the run at once instead of filling the disk.
    int RunLimited(const std::string& args, std::string* pOut)
    {
        return test::RunShell("ulimit -f 64 && " + std::string(TAVRINE_CLI) + " " + args + " 2>&1", pOut);
    }
    static bool HasControls(const std::string& text)
    {
        return std::any_of(text.begin(), text.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u < 0x20 && c != '\n' && c != '\t') || u == 0x7F;
        }) || text.find("\xc2\x9b") != std::string::npos;
    }
};

TEST_F(CliHardening, OutsideTextNeverReachesTheTerminalRaw)
{
    LDictationEngineSettings engine;
    LDictation d(engine.GetCurrentFolder(), "name" + kEscapes);
    ASSERT_TRUE(d.SetSendStatus(kEscapes.substr(0, 15)));
    ASSERT_TRUE(d.SetNotes("line one\nnotes" + kEscapes));
    ASSERT_TRUE(d.AddAttachment("/tmp/a" + kEscapes));
    const std::string number = std::to_string(d.GetFileNumber());
    std::string out;
    ASSERT_EQ(Run("settings set Settings Probe " + test::ShellQuote("v" + kEscapes)), 0);
    for (const std::string& command :
        { "show " + number, std::string("list"), std::string("settings get Settings Probe") }) {
        ASSERT_EQ(Run(command, &out), 0) << command;
        EXPECT_FALSE(HasControls(out)) << command << ": " << out;
    }
    ASSERT_EQ(Run("show " + number, &out), 0);
    EXPECT_NE(out.find("Name: name\\x1B]0;owned\\x07\\x1B[2J\\xC2\\x9B1m\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Notes:\nline one\nnotes\\x1B"), std::string::npos) << out;
}

TEST_F(CliHardening, LyingSizesSizeNoWork)
{
    const std::string lying = LyingWave("lying.wav");
    std::string out;
    ASSERT_EQ(Run("info " + test::ShellQuote(lying), &out), 0) << out;
    EXPECT_NE(out.find("frames: 2048\n"), std::string::npos) << out;
    ASSERT_EQ(RunLimited("convert " + test::ShellQuote(lying) + " " + Q("out.wav"), &out), 0) << out;
    EXPECT_LT(fs::file_size(env.Dir().File("out.wav")), 8192u);

    LDictationEngineSettings engine;
    std::string number, cutFile;
    {
        LDictation d(engine.GetCurrentFolder(), "lying");
        number = std::to_string(d.GetFileNumber());
        cutFile = d.GetCutFileName(0);
    }
    ASSERT_EQ(RunLimited("record " + number + " --from " + test::ShellQuote(lying), &out), 0) << out;
    EXPECT_EQ(fs::file_size(cutFile), 4096u);

    // A record reaching far beyond its cut file exports what the file holds.
    {
        LDictation d(FilePathCat(engine.GetCurrentFolder(), number + ".ddf"));
        d.MutableCutList().GetFirst()->uEnd = 0xFFFFFFF0;
        ASSERT_TRUE(d.Save());
    }
    ASSERT_EQ(RunLimited("export " + number + " " + Q("export.wav"), &out), 0) << out;
    EXPECT_LT(fs::file_size(env.Dir().File("export.wav")), 8192u);
}

TEST_F(CliHardening, FifosAndFoldersAreRefusedWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(env.Dir().File("pipe.wav").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(env.Dir().File("pipe.sta").c_str(), 0600), 0);
    fs::create_directory(env.Dir().File("folder.wav"));
    LDictationEngineSettings engine;
    const std::string number = std::to_string(LDictation(engine.GetCurrentFolder(), "fifo").GetFileNumber());
    const struct {
        std::string args, expected;
    } cases[] = {
        { "info " + Q("pipe.wav"), "is not a regular file" },
        { "convert " + Q("pipe.wav") + " " + Q("o.wav"), "is not a regular file" },
        { "record " + number + " --from " + Q("pipe.wav"), "is not a regular file" },
        { "status-file " + Q("pipe.sta"), "is not a regular file" },
        { "info " + Q("folder.wav"), "is a folder" },
        { "convert " + Wave("in.wav", 100) + " " + Q("pipe.wav"), "is not a regular file" },
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(test::RunShell("timeout 10 " + std::string(TAVRINE_CLI) + " " + c.args + " 2>&1", &out), 1) << c.args;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.args << ": " << out;
    }
}

TEST_F(CliHardening, AFullDiskIsNamed)
{
    // A 64 KiB tmpfs over the data folder, in a mount namespace of its own.
    if (test::RunShell("unshare -rm true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespaces here (unshare -rm)";
    LDictationEngineSettings engine;
    const std::string big = Wave("big.wav", 11025 * 10);
    const std::string cli = std::string(TAVRINE_CLI);
    const std::string data = test::ShellQuote(engine.GetWorkingFolder());
    const std::string script = "mount -t tmpfs -o size=64k tmpfs " + data + " && mkdir " + data + "/Current " + data
        + "/Send && n=$(" + cli + " new) && " + cli + " record $n --from " + test::ShellQuote(big)
        + "; head -c 1M /dev/zero > " + data + "/fill 2>/dev/null; " + cli + " new";
    std::string out;
    ASSERT_EQ(test::RunShell("unshare -rm sh -c " + test::ShellQuote(script) + " 2>&1", &out), 1) << out;
    EXPECT_NE(out.find("recording \"" + big + "\" failed: the disk holding"), std::string::npos) << out;
    EXPECT_NE(out.find("cannot write a new dictation into \"" + engine.GetCurrentFolder() + "\": the disk holding \""
                  + engine.GetCurrentFolder() + "\" is full"),
        std::string::npos)
        << out;
}

TEST_F(CliHardening, UsageErrorsExitTwoAndHelpNamesTheCommand)
{
    const std::string good = Wave("good.wav", 100);
    LDictationEngineSettings engine;
    const std::string number = std::to_string(LDictation(engine.GetCurrentFolder(), "usage").GetFileNumber());
    const struct {
        std::string args;
        int nStatus;
        std::string expected;
    } cases[] = {
        { "info " + Q("a.xyz"), 2, "unknown file type" },
        { "convert " + Q("a.xyz") + " " + Q("o.wav"), 2, "unknown file type" },
        { "record " + number + " --from " + Q("a.xyz"), 2, "unknown file type" },
        { "record " + number + " --from " + test::ShellQuote(good) + " --at 500", 2, "--at needs --mode" },
        { "convert " + test::ShellQuote(good) + " " + Q("missing/dir/o.wav"), 1,
            "the folder \"" + env.Dir().File("missing/dir") + "\" does not exist" },
        { "help info", 0, "usage: tavrine-cli info FILE\n" },
        { "info --help", 0, "usage: tavrine-cli info FILE\n" },
        { "help nosuch", 2, "unknown command 'nosuch'" },
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Run(c.args, &out), c.nStatus) << c.args << ": " << out;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.args << ": " << out;
    }
}

TEST_F(CliHardening, DevicesLeaveOutConverterPlugins)
{
    test::AlsaTestConfig alsa;
    const std::string more = "pcm.testrate {\n  type rate\n  slave.pcm \"tavrine_one\"\n"
                             "  hint { show on description \"Rate Converter Plugin Using Test Library\" }\n}\n"
                             "pcm.testserver {\n  type null\n  hint { show on description \"Test Sound Server\" }\n}\n";
    std::vector<uint8_t> config = test::ReadFileBytes(alsa.ConfigFile());
    config.insert(config.end(), more.begin(), more.end());
    ASSERT_TRUE(test::WriteFileBytes(alsa.ConfigFile(), config));
    std::string out;
    ASSERT_EQ(Run("devices", &out), 0) << out;
    EXPECT_EQ(out.find("Rate Converter"), std::string::npos) << out;
    EXPECT_NE(out.find("Test Sound Server"), std::string::npos) << out;
}

} // namespace
