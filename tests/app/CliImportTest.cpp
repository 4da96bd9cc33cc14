// tavrine-cli load with audio files: a batch ends at its first unreadable file,
// --send queues for the default recipient, two loads at once decode apart.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <filesystem>

namespace {

using CliImport = CliTest;

TEST_F(CliImport, ABatchEndsAtItsFirstUnreadableFileAndSendGoesToTheDefault)
{
    TEST_REQUIRE_TOOL("flac");
    std::string out;
    Shell("sox -R -n -r 16000 " + Q("a.flac") + " synth 1 sine 440 && sox -R -n " + Q("c.wav") + " synth 1 sine 4");
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("b.mp3"), std::vector<uint8_t>(5000, 0x55)));
    EXPECT_EQ(Run("load " + Q("a.flac") + " " + Q("b.mp3") + " " + Q("c.wav"), &out), 1);
    EXPECT_NE(out.find("b.mp3\". It is possibly either corrupt or not a true layer-3 MPEG"), std::string::npos) << out;
    ASSERT_EQ(Run("list", &out), 0);
    EXPECT_EQ(out.compare(out.find('\t'), 3, "\ta\t"), 0) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;

    EXPECT_EQ(Run("load --send " + Q("c.wav"), &out), 2);
    EXPECT_NE(out.find("--send needs a default recipient"), std::string::npos) << out;
    ASSERT_EQ(Run("recipient add Typist SendMethod=2 Folder=" + Q("typist")), 0);
    SetSettingInt("Send", "Default", 0);
    ASSERT_EQ(Run("load " + Q("c.wav") + " --send", &out) + Run("list --sent", &out), 0) << out;
    EXPECT_NE(out.find("\tc\t"), std::string::npos) << out;
}

TEST_F(CliImport, TwoLoadsAtOnceDecodeIntoFilesOfTheirOwn)
{
    TEST_REQUIRE_TOOL("flac");
    std::filesystem::create_directories(env.Dir().File("bin"));
    std::string script = "#!/bin/sh\necho \"$3\" >>" + Q("log") + "\nsleep 1\nexec " + Shell("command -v flac");
    script.back() = ' '; // the newline, then the arguments
    script += "\"$@\"";
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("bin/flac"), { script.begin(), script.end() }));
    std::filesystem::permissions(env.Dir().File("bin/flac"), std::filesystem::perms::owner_all);
    const std::string cli = std::string(TAVRINE_CLI) + " load ";
    Shell("sox -R -n " + Q("x.flac") + " synth 1 sine 440 && sox -R -n " + Q("y.flac")
        + " synth 3 sine 440 && (PATH=" + Q("bin") + ":$PATH; " + cli + Q("x.flac") + " >" + Q("x") + " & " + cli
        + Q("y.flac") + " >" + Q("y") + "; wait) 2>/dev/null");
    const std::vector<uint8_t> log = test::ReadFileBytes(env.Dir().File("log"));
    const std::string first(log.begin(), std::find(log.begin(), log.end(), '\n')),
        second(log.begin() + first.size() + 1, log.end() - 1);
    EXPECT_NE(_GetFolderFromPath(first), _GetFolderFromPath(second));
    EXPECT_FALSE(std::filesystem::exists(first) || std::filesystem::exists(second));
    for (const auto& [name, seconds] : { std::pair { "x", 1 }, { "y", 3 } }) {
        const std::vector<uint8_t> number = test::ReadFileBytes(env.Dir().File(name));
        LDictation d(LDictationEngineSettings().GetCurrentFolder() + "/" + std::string(number.begin(), number.end() - 1)
            + ".ddf");
        EXPECT_EQ(d.Header().uDuration, seconds) << name;
    }
}

} // namespace
