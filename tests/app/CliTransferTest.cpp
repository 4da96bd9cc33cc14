// tavrine-cli new, show, save-as, load and dct end to end (the extracted WAV judged by soxi); load with
// audio files: a batch ends at its first unreadable file, --send queues for the default recipient, two loads
// at once decode apart; files that hold no dictation make nothing; the notes' bound holds both ways.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "send/LDictationSaveAsDct.h"
#include "tests/app/CliFixture.h"
#include "tests/support/DctBuilder.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using CliTransfer = CliTest;

TEST_F(CliTransfer, SaveAsLoadAndReadWithTheKey)
{
    TEST_REQUIRE_TOOL("soxi");
    std::string out;
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 2 sine 300-900 vol 0.5");
    const std::string notes = "Ward\x1b[2J\nTwo\xc2\x9b";
    const std::string n
        = NewDictation(" --name 'Letter to Dr. Ames' --priority 100 --notes " + test::ShellQuote(notes));
    ASSERT_EQ(Run("record " + n + " --from " + Q("in.wav"), &out), 0) << out;
    const std::vector<uint8_t> doc { 'd', 'o', 'c' };
    test::WriteFileBytes(env.Dir().File("report.final.doc"), doc);
    LDictationEngineSettings engine;
    ASSERT_TRUE(LDictation(engine.GetCurrentFolder() + "/" + n + ".ddf").AddAttachment(File("report.final.doc")));
    ASSERT_EQ(Run("save-as " + n + " " + Q("out.dct"), &out), 0) << out;
    ASSERT_EQ(Run("load " + Q("out.dct"), &out), 0) << out;
    const std::string m = out.substr(0, out.find('\n'));
    // Without a recipient both are 16-bit PCM: the same audio gives the same bytes.
    ASSERT_EQ(Run("save-as " + n + " " + Q("a.wav"), &out) + Run("save-as " + m + " " + Q("b.wav"), &out), 0);
    EXPECT_EQ(Shell("soxi -e " + Q("a.wav")), "Signed Integer PCM\n");
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("a.wav")), test::ReadFileBytes(env.Dir().File("b.wav")));
    LDictation back(engine.GetCurrentFolder() + "/" + m + ".ddf");
    EXPECT_EQ(back.GetName(), "Letter to Dr. Ames");
    EXPECT_EQ(back.Header().uPriority, 100);
    EXPECT_EQ(back.GetNotes(), notes);
    ASSERT_EQ(back.GetAttachments().Count(), 1u);
    EXPECT_EQ(test::ReadFileBytes(*back.GetAttachments().begin()), doc);

    // Encrypted for a recipient: readable with its key only, never loaded.
    ASSERT_EQ(Run("recipient add Typist EncryptionKey=s3cret", &out), 0) << out;
    ASSERT_EQ(Run("save-as " + n + " " + Q("enc.dct") + " --to " + out.substr(0, out.find('\n')), &out), 0) << out;
    EXPECT_EQ(Run("dct " + Q("enc.dct") + " --key wrong", &out), 1);
    EXPECT_NE(out.find("key check"), std::string::npos) << out;
    EXPECT_EQ(Run("load " + Q("enc.dct"), &out), 1);
    EXPECT_NE(out.find("You cannot load encrypted dct files"), std::string::npos) << out;
    ASSERT_EQ(Run("dct " + Q("enc.dct") + " --key s3cret --extract " + Q("x"), &out), 0) << out;
    EXPECT_NE(out.find("Notes: Ward\\x1B[2J\\x0ATwo\\xC2\\x9B\n"), std::string::npos) << "escaped: " << out;
    EXPECT_NE(out.find("Attachment 1: \".doc\", 3 bytes\n"), std::string::npos) << out;
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("x/Letter to Dr Ames.doc")), doc);
    EXPECT_EQ(Shell("soxi -e " + Q("x/Letter to Dr Ames.wav")), "GSM\n");
}

using CliImport = CliTest;

TEST_F(CliImport, FilesHoldingNoDictationAreRefusedAndMakeNothing)
{
    TEST_REQUIRE_TOOL("sox");
    Shell("sox -R -n -r 8000 -b 16 " + Q("a.wav") + " synth 1 sine 440 && sox -R -n -r 8000 -b 16 " + Q("empty.wav")
        + " trim 0 0 && head -c 44 " + Q("a.wav") + " >" + Q("cut.wav"));
    const std::vector<uint8_t> wav = test::ReadFileBytes(File("a.wav")), torn(wav.begin(), wav.end() - 2);
    const struct {
        const char* szFile;
        std::vector<uint8_t> dct; // empty: sox's file
        const char* szSaid;
    } rows[] = { { "notice.dct", test::DctBuilder::Plain(1, 7),
                     ": This file is a cancel notice for dictation 7 of user 3, not a dictation\n" },
        { "notes.dct", test::DctBuilder::Plain(0, 8, std::string(kDctMaxNotesBytes + 1, 'n'), wav),
            "its notes are longer than 1 MiB (1048576 bytes).\n" },
        { "torn.dct", test::DctBuilder::Plain(0, 9, "", torn),
            ": The DCT file you are attempting to load is corrupt.\n" },
        { "empty.wav", {}, "empty.wav\" because it holds no audio.\n" },
        { "cut.wav", {}, "cut.wav\" because it holds no audio.\n" } };
    std::string out;
    for (const auto& row : rows) {
        ASSERT_TRUE(row.dct.empty() || test::WriteFileBytes(File(row.szFile), row.dct));
        for (const std::string& command : { "load " + Q(row.szFile), "dct " + Q(row.szFile) + " --extract " + Q("x") })
            if (!row.dct.empty() || command[0] == 'l') {
                EXPECT_EQ(Run(command, &out), 1) << command;
                EXPECT_CONTAINS(out, row.szSaid);
            }
    }
    ASSERT_EQ(Run("list", &out), 0);
    EXPECT_EQ(out + std::to_string(test::FileNames(File("x")).size()), "0") << "no dictation, nothing extracted";
    // The writer keeps to the loader's bound.
    LDictation d(LDictationEngineSettings().GetCurrentFolder(), "d");
    for (const size_t nNotes : { size_t { kDctMaxNotesBytes }, size_t { kDctMaxNotesBytes } + 1 }) {
        const std::string dct = Q(std::to_string(nNotes) + ".dct"), number = std::to_string(d.GetFileNumber());
        ASSERT_TRUE(d.SetNotes(std::string(nNotes, 'n')));
        EXPECT_EQ(
            Run("save-as " + number + " " + dct, &out) + Run("load " + dct, &out), 2 * (nNotes > kDctMaxNotesBytes));
    }
}

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

TEST_F(CliImport, TwoLoadsAtOnceEachGetTheirOwnDecodersAudio)
{
    TEST_REQUIRE_TOOL("flac");
    std::filesystem::create_directories(env.Dir().File("bin"));
    std::string script = "#!/bin/sh\nsleep 1\nexec " + Shell("command -v flac");
    script.back() = ' '; // the newline, then the arguments
    script += "\"$@\"";
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("bin/flac"), { script.begin(), script.end() }));
    std::filesystem::permissions(env.Dir().File("bin/flac"), std::filesystem::perms::owner_all);
    const std::string cli = std::string(TAVRINE_CLI) + " load ";
    Shell("sox -R -n " + Q("x.flac") + " synth 1 sine 440 && sox -R -n " + Q("y.flac")
        + " synth 3 sine 440 && (PATH=" + Q("bin") + ":$PATH; " + cli + Q("x.flac") + " >" + Q("x") + " & " + cli
        + Q("y.flac") + " >" + Q("y") + "; wait) 2>/dev/null");
    for (const auto& [name, seconds] : { std::pair { "x", 1 }, { "y", 3 } }) {
        const std::vector<uint8_t> number = test::ReadFileBytes(env.Dir().File(name));
        ASSERT_FALSE(number.empty()) << name;
        LDictation d(LDictationEngineSettings().GetCurrentFolder() + "/" + std::string(number.begin(), number.end() - 1)
            + ".ddf");
        EXPECT_EQ(d.Header().uDuration, seconds) << name;
    }
}

// A stop signal during an import ends and reaps the decoder, which runs in a process group of its own: SIGTERM
// and SIGHUP take Ctrl+C's path.
TEST_F(CliImport, AStopSignalEndsTheDecoderAndReapsIt)
{
    std::filesystem::create_directories(env.Dir().File("bin"));
    ASSERT_TRUE(
        test::WriteFileText(env.Dir().File("bin/flac"), "#!/bin/sh\necho $$ >" + Q("pid") + "\nexec sleep 100\n"));
    std::filesystem::permissions(env.Dir().File("bin/flac"), std::filesystem::perms::owner_all);
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("a.flac"), { 1, 2, 3 }));
    const std::string path = env.Dir().File("bin") + ":" + std::getenv("PATH");
    for (int nSignal : { SIGINT, SIGTERM, SIGHUP }) {
        SCOPED_TRACE(strsignal(nSignal));
        std::filesystem::remove(env.Dir().File("pid"));
        const pid_t cli = test::Fork([&] {
            ::setenv("PATH", path.c_str(), 1);
            ::execl(TAVRINE_CLI, "tavrine-cli", "load", env.Dir().File("a.flac").c_str(), nullptr);
            return false;
        });
        pid_t decoder = 0;
        EXPECT_TRUE(test::WaitUntil(
            [&] { return (decoder = std::atoi(test::ReadFileText(env.Dir().File("pid")).c_str())) > 0; }, 10000));
        ::kill(cli, nSignal);
        int nStatus = 0;
        const bool bEnded = test::WaitUntil([&] { return ::waitpid(cli, &nStatus, WNOHANG) == cli; }, 10000);
        EXPECT_TRUE(bEnded && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) << "stopped, not killed: " << nStatus;
        EXPECT_TRUE(test::WaitUntil([&] { return decoder > 0 && ::kill(decoder, 0) != 0; }, 5000)) << "left running";
        for (pid_t pid : { bEnded ? 0 : cli, decoder }) // what a fault left running
            if (pid > 0 && ::kill(pid, SIGKILL) == 0 && pid == cli)
                ::waitpid(cli, nullptr, 0);
    }
}

} // namespace
