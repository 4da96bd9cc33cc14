// tavrine-cli against hostile input: terminal escapes, FIFOs and folders for files, a full disk, usage.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "sound/files/LSoundFileByName.h"
#include "tests/app/CliFixture.h"
#include "tests/support/AlsaTestConfig.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

class CliHardening : public CliTest {
protected:
    // A 16-bit mono WAV at the dictations' rate.
    std::string Wave(const std::string& name, int32_t nFrames)
    {
        std::vector<int32_t> frames(static_cast<size_t>(nFrames), 1 << 16);
        LSoundFileByName::OpenSink(env.Dir().File(name), 11025, 1)->Write(frames.data(), nFrames);
        return env.Dir().File(name);
    }
    std::string NewDictation() { return std::to_string(LDictation(engine.GetCurrentFolder(), "d").GetFileNumber()); }
    LDictationEngineSettings engine;
};

TEST_F(CliHardening, OutsideTextNeverReachesTheTerminalRaw)
{
    const std::string escapes = "\x1b]0;owned\x07\x1b[2J\xc2\x9b";
    LDictation d(engine.GetCurrentFolder(), "name" + escapes);
    ASSERT_TRUE(d.SetSendStatus(escapes.substr(0, 14)) && d.SetNotes("one\nnotes" + escapes));
    ASSERT_TRUE(d.AddAttachment("/a" + escapes));
    ASSERT_EQ(Run("settings set Settings Probe " + test::ShellQuote(escapes)), 0);
    std::string out;
    for (const std::string& command : { "show " + std::to_string(d.GetFileNumber()), std::string("list"),
             std::string("settings get Settings Probe") }) {
        ASSERT_EQ(Run(command, &out), 0) << command;
        EXPECT_EQ(out.find_first_of("\x1b\x07\x9b"), std::string::npos) << command << ": " << out;
    }
    ASSERT_EQ(Run("show " + std::to_string(d.GetFileNumber()), &out), 0);
    EXPECT_NE(out.find("Name: name\\x1B]0;owned\\x07\\x1B[2J\\xC2\\x9B\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Notes:\none\nnotes\\x1B"), std::string::npos) << out;
}

TEST_F(CliHardening, FifosAndFoldersAreRefusedWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(env.Dir().File("pipe.wav").c_str(), 0600) | ::mkfifo(env.Dir().File("p.sta").c_str(), 0600), 0);
    std::filesystem::create_directory(env.Dir().File("folder.wav"));
    const std::string pipe = Q("pipe.wav");
    for (const auto& [args, expected] :
        std::vector<std::pair<std::string, std::string>> { { "info " + pipe, "is not a regular file" },
            { "convert " + pipe + " " + Q("o.wav"), "not a regular" }, { "status-file " + Q("p.sta"), "not a regular" },
            { "convert " + Wave("in.wav", 100) + " " + pipe, "not a regular" },
            { "info " + Q("folder.wav"), "is a folder" } }) {
        std::string out;
        EXPECT_EQ(test::RunShell("timeout 10 " + std::string(TAVRINE_CLI) + " " + args + " 2>&1", &out), 1) << args;
        EXPECT_NE(out.find(expected), std::string::npos) << args << ": " << out;
    }
}

TEST_F(CliHardening, AFullDiskIsNamed)
{
    if (test::RunShell("unshare -rm true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespaces here (unshare -rm)";
    // A 64 KiB tmpfs over the data folder, in a mount namespace of its own.
    const std::string cli = TAVRINE_CLI, data = test::ShellQuote(engine.GetWorkingFolder()),
                      big = Wave("big.wav", 110250);
    const std::string script = "mount -t tmpfs -o size=64k tmpfs " + data + " && mkdir " + data + "/Current " + data
        + "/Send && n=$(" + cli + " new) && " + cli + " record $n --from " + test::ShellQuote(big) + "; head -c 1M "
        + "/dev/zero > " + data + "/fill 2>/dev/null; " + cli + " new";
    std::string out;
    ASSERT_EQ(test::RunShell("unshare -rm sh -c " + test::ShellQuote(script) + " 2>&1", &out), 1) << out;
    const std::string current = engine.GetCurrentFolder();
    EXPECT_NE(out.find("recording \"" + big + "\" failed: the disk holding"), std::string::npos) << out;
    EXPECT_NE(out.find("into \"" + current + "\": the disk holding \"" + current + "\" is full"), std::string::npos);
}

TEST_F(CliHardening, UsageErrorsExitTwoAndHelpNamesTheCommand)
{
    const std::string good = Wave("good.wav", 100), number = NewDictation();
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("junk.wav"), std::vector<uint8_t>(100, 'x')));
    const struct {
        std::string args;
        int nStatus;
        std::string expected;
    } cases[] = {
        { "info " + Q("a.xyz"), 2,
            "unknown file type (use .wav, .raw, .snd, .vox, .gsm, .ul, .al, .au, .aif, .aiff or .mp3)" },
        { "info " + Q("junk.wav"), 1, "is not a sound file that can be read (bad or unsupported header)" },
        { "convert " + good + " " + Q("o.mp3"), 1, "writing MP3 files is not available (MP3 files are read only)" },
        { "record " + number + " --from " + good + " --at 500", 2, "--at needs --mode" },
        { "convert " + good + " " + Q("no/dir/o.wav"), 1, "the folder \"" + env.Dir().File("no/dir") + "\" does not" },
        { "help info", 0, "usage: tavrine-cli info FILE\n" },
        { "show ../../etc/passwd", 2, "" },
        { "frobnicate", 2, "" },
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Run(c.args, &out), c.nStatus) << c.args << ": " << out;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.args << ": " << out;
    }
}

TEST_F(CliHardening, DevicesAreListedByNumber)
{
    test::AlsaTestConfig alsa;
    std::string out;
    ASSERT_EQ(Run("devices", &out), 0) << out;
    EXPECT_EQ(out,
        "Sound inputs:\n0  [Default Sound In]\n1  Test Device One\n2  Test Device Two\n3  Test Mono 8000 Hz\n"
        "Sound outputs:\n0  [Default Sound Out]\n1  Test Device One\n2  Test Device Two\n3  Test Mono 8000 Hz\n");
    EXPECT_EQ(Run("devices extra", &out), 2);
}

} // namespace
