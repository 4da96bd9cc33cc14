// tavrine-cli's progress display: a bar on one line, plain lines for logs, Ctrl+C as a stop request.
#include "app/cli/LTerminalProgress.h"
#include "tests/support/TestSupport.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string Written(FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string text;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        text += static_cast<char>(c);
    return text;
}

TEST(TerminalProgress, ABarOnOneLineRedrawnOnlyWhenItChanges)
{
    FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    {
        LTerminalProgress progress(f, LTerminalProgress::Mode::Bar, 0);
        progress.SetText("converting", 0);
        progress.SetText("Please wait...", 1);
        progress.SetProgress(0.0);
        progress.SetProgress(0.001); // same whole percent: not drawn again
        progress.SetProgress(0.5);
        progress.SetProgress(2.0);
    }
    const std::string text = Written(f);
    std::fclose(f);
    EXPECT_EQ(text,
        "\rconverting Please wait... [..............................]   0%\x1b[K"
        "\rconverting Please wait... [###############...............]  50%\x1b[K"
        "\rconverting Please wait... [##############################] 100%\x1b[K\n");
}

TEST(TerminalProgress, PlainLinesAtEachTenthAfterAMomentAndErrorsOnTheirOwnLine)
{
    FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    {
        LTerminalProgress quiet(f, LTerminalProgress::Mode::Lines, 60000);
        quiet.SetText("short work", 0);
        quiet.SetProgress(0.5);
    }
    EXPECT_EQ(Written(f), "") << "work shorter than the delay leaves no lines";
    {
        LTerminalProgress progress(f, LTerminalProgress::Mode::Lines, 0);
        progress.SetText("exporting", 0);
        for (int i = 0; i <= 100; ++i)
            progress.SetProgress(i / 100.0);
        progress.ErrorBox("the disk is full");
    }
    std::string expected;
    for (int n = 0; n <= 100; n += 10)
        expected += "exporting: " + std::to_string(n) + "%\n";
    expected += "tavrine-cli: the disk is full\n";
    EXPECT_EQ(Written(f), expected);
    std::fclose(f);
}

TEST(TerminalProgress, CtrlCAsksTheWorkToStopAndASecondOneIsTheUsualInterrupt)
{
    FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    struct sigaction before;
    sigaction(SIGINT, nullptr, &before);
    {
        LTerminalProgress progress(f, LTerminalProgress::Mode::Lines, 0);
        EXPECT_FALSE(progress.Pump());
        ::raise(SIGINT); // the process lives on
        EXPECT_TRUE(progress.Pump());
        EXPECT_TRUE(progress.WaitTimed(10000));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        EXPECT_EQ(progress.WaitHandle(fds[0], 10000), LProgressReporter::kCancelled);
        ::close(fds[0]);
        ::close(fds[1]);
        // The handler has gone after the first: a second Ctrl+C would end the program.
        struct sigaction now;
        sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
    struct sigaction after;
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    {
        LTerminalProgress progress(f, LTerminalProgress::Mode::Lines, 0);
        EXPECT_FALSE(progress.Pump()) << "a new piece of work starts without the old request";
    }
    std::fclose(f);
}

} // namespace
