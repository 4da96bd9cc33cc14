// Delivery by command line: the template's words, and real programs run on a transfer file whose path
// holds spaces.
#include "send/LRunCommand.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <fstream>

namespace {

using Args = std::vector<std::string>;
const std::string kPath = "/data/Send/12-345 Letter by Ann Lee.dct";

TEST(CommandTemplate, SplitsLikeShellWordsWithThePathAsOneArgument)
{
    std::pair<const char*, Args> cases[] = {
        { "  cp\t%filepath% '/mnt/typist in/'  ", { "cp", kPath, "/mnt/typist in/" } },
        { "tool --file=%filepath%.done", { "tool", "--file=" + kPath + ".done" } },
        { "a \"b \\\"c\\\" \\x $HOME\" 'd \\e' f\\ g \"\" ''", { "a", "b \"c\" \\x $HOME", "d \\e", "f g", "", "" } },
        { "say 100%% %unknown% done%filepath", { "say", "100%", "done" + kPath } },
        { "'%filepath%' \"%filepath%\" ~ *.dct", { kPath, kPath, "~", "*.dct" } },
        { "one\\\ntwo %none%", { "onetwo" } },
    };
    Args args;
    std::string problem;
    for (const auto& [szTemplate, expected] : cases) {
        EXPECT_TRUE(SplitCommandTemplate(szTemplate, kPath, &args, &problem)) << szTemplate;
        EXPECT_EQ(args, expected) << szTemplate;
    }
    for (const char* szBad : { "cmd 'open", "cmd \"open", "cmd %filepath% | mail", "a;b", "x > log", "$(rm)" })
        EXPECT_FALSE(SplitCommandTemplate(szBad, kPath, &args, &problem)) << szBad;
    EXPECT_EQ(CommandLineText({ "cp", kPath, "it's" }), "cp '" + kPath + "' 'it'\\''s'");
}

TEST(CommandDelivery, RunsTheProgramAndFailsWithHowItEnded)
{
    test::TempDir dir;
    std::string transfer = dir.File("12-345 Letter by Ann Lee.dct");
    std::ofstream(transfer) << "dct";
    std::string tool = dir.File("deliver tool.sh");
    auto quoted = test::ShellQuote;
    struct Case {
        std::string body;
        uint32_t timeoutMs;
        int nStopAtPump, nResult;
        std::string why;
    } cases[] = {
        { "printf '%s\\n' $# \"$@\" > args; cat \"$3\" >> args", 10000, 0, 0, "" },
        { "echo 'no space left' >&2; exit 3", 10000, 0, 2, "The command exited with status 3.\nno space left" },
        { "kill -SEGV $$", 10000, 0, 2, "The command was killed by signal 11 (Segmentation fault)." },
        // That the whole group ends is the process runner's own test.
        { "sleep 60", 600, 0, 2, "The command did not end in time and was ended." },
        { "sleep 60", 60000, 4, 1, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        std::ofstream(tool) << "#!/bin/sh\ncd " << quoted(dir.Path()) << "\n" << c.body << "\n";
        ::chmod(tool.c_str(), 0700);
        LTestProgress progress;
        progress.nStopAtPump = c.nStopAtPump;
        EXPECT_EQ(
            ProcessRunCommand(progress, quoted(tool) + " --to typist %filepath%", transfer, c.timeoutMs), c.nResult);
        if (c.nResult == 2) {
            EXPECT_EQ(progress.errors,
                Args { "Unable to run the command \"'" + tool + "' --to typist '" + transfer + "'\". " + c.why });
        }
        std::vector<uint8_t> args = test::ReadFileBytes(dir.File("args"));
        if (c.nResult == 0) { // the path with its spaces is one argument
            EXPECT_EQ(std::string(args.begin(), args.end()), "3\n--to\ntypist\n" + transfer + "\ndct");
        }
    }
}

} // namespace
