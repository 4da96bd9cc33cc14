// Delivery by command line: the template's words, and real programs run on
// a transfer file whose path holds spaces.
#include "send/LRunCommand.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

const std::string kPath = "/data/Send/12-345 Letter by Ann Lee.dct";

TEST(CommandTemplate, SplitsLikeShellWordsWithThePathAsOneArgument)
{
    using Args = std::vector<std::string>;
    struct Case {
        const char* szTemplate;
        Args expected;
    } cases[] = {
        { "upload %filepath%", { "upload", kPath } },
        { "  cp\t%filepath% '/mnt/typist in/'  ", { "cp", kPath, "/mnt/typist in/" } },
        { "tool --file=%filepath%.done", { "tool", "--file=" + kPath + ".done" } },
        { "a \"b \\\"c\\\" \\x $HOME\" 'd \\e' f\\ g \"\" ''", { "a", "b \"c\" \\x $HOME", "d \\e", "f g", "", "" } },
        { "say 100%% %unknown% done%filepath", { "say", "100%", "done" + kPath } },
        { "'%filepath%' \"%filepath%\" ~ *.dct", { kPath, kPath, "~", "*.dct" } },
        { "one\\\ntwo %none%", { "onetwo" } },
        { "", {} },
    };
    for (const Case& c : cases) {
        Args args;
        std::string problem;
        EXPECT_TRUE(SplitCommandTemplate(c.szTemplate, kPath, &args, &problem)) << c.szTemplate;
        EXPECT_EQ(args, c.expected) << c.szTemplate;
    }
    for (const char* szBad : { "cmd 'open", "cmd \"open", "cmd %filepath% | mail", "a;b", "x > log", "$(rm)" }) {
        Args args;
        std::string problem;
        EXPECT_FALSE(SplitCommandTemplate(szBad, kPath, &args, &problem)) << szBad;
        EXPECT_FALSE(problem.empty());
    }
    EXPECT_EQ(CommandLineText({ "cp", kPath, "it's" }), "cp '" + kPath + "' 'it'\\''s'");
}

class CommandDelivery : public ::testing::Test {
protected:
    // A script run as the command (through its #! line, never through us).
    std::string Script(const std::string& body)
    {
        std::string path = dir.File("deliver tool.sh");
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0700);
        return path;
    }
    std::string Quoted(const std::string& path) const { return "'" + path + "'"; }

    test::TempDir dir;
    std::string transfer = dir.File("12-345 Letter by Ann Lee.dct");
};

TEST_F(CommandDelivery, TheProgramGetsThePathAsOneArgument)
{
    std::ofstream(transfer) << "dct";
    std::string out = dir.File("args.txt");
    std::string tool = Script(
        "printf '%s\\n' \"$#\" \"$@\" > " + test::ShellQuote(out) + "; cat \"$3\" >> " + test::ShellQuote(out));
    LTestProgress progress;
    ASSERT_EQ(ProcessRunCommand(progress, Quoted(tool) + " --to typist %filepath%", transfer, 10000), 0)
        << (progress.errors.empty() ? "" : progress.errors[0]);
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "3\n--to\ntypist\n" + transfer + "\ndct");
}

TEST_F(CommandDelivery, FailuresEndTheCommandAndSayHow)
{
    struct Case {
        const char* szWhat;
        std::string body;
        uint32_t timeoutMs;
        int nStopAtPump;
        int nResult;
        std::string why;
    } cases[] = {
        { "exit 3", "echo 'no space left' >&2; exit 3", 10000, 0, 2,
            "The command exited with status 3.\nno space left" },
        { "killed", "kill -SEGV $$", 10000, 0, 2, "The command was killed by signal 11 (Segmentation fault)." },
        { "time-out", "echo $$ > pids; sleep 60 & echo $! >> pids; wait", 600, 0, 2,
            "The command did not end in time and was ended." },
        { "stop", "echo $$ > pids; sleep 60 & echo $! >> pids; wait", 60000, 4, 1, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szWhat);
        std::string tool = Script("cd " + test::ShellQuote(dir.Path()) + "; " + c.body);
        LTestProgress progress;
        progress.nStopAtPump = c.nStopAtPump;
        EXPECT_EQ(ProcessRunCommand(progress, Quoted(tool) + " %filepath%", transfer, c.timeoutMs), c.nResult);
        if (c.nResult == 2) {
            ASSERT_EQ(progress.errors.size(), 1u);
            EXPECT_EQ(progress.errors[0], "Unable to run the command \"'" + tool + "' '" + transfer + "'\". " + c.why);
        }
        std::ifstream pids(dir.File("pids"));
        for (pid_t pid = 0; pids >> pid;) {
            // The script and its own child are gone, not merely orphaned.
            bool bGone = false;
            for (int n = 0; n < 100 && !bGone; ++n) {
                bGone = ::kill(pid, 0) != 0 && errno == ESRCH;
                std::this_thread::sleep_for(std::chrono::milliseconds(bGone ? 0 : 20));
            }
            EXPECT_TRUE(bGone) << "process " << pid << " is left behind";
        }
        std::remove(dir.File("pids").c_str());
    }
}

} // namespace
