#include "foundation/LProcessRunner.h"
#include "foundation/LTempFolder.h"
#include "tests/support/LTestProgress.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace {

using End = LProcessResult::End;

std::string ReadFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

long ElapsedMs(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

} // namespace

TEST(ProcessRunner, ArgumentsArriveWholeAndNoShellParsesThem)
{
    LProcessResult r = LProcessRunner::Run({ "printf", "[%s]\\n", "12-345 Letter; rm -rf $HOME `id`", "*" });
    ASSERT_TRUE(r.Succeeded()) << r.Describe();
    EXPECT_EQ(r.output, "[12-345 Letter; rm -rf $HOME `id`]\n[*]");
}

TEST(ProcessRunner, HowTheChildEndedIsReported)
{
    struct Case {
        std::vector<std::string> args;
        End end;
        int nCode;
        const char* szDescribe;
    } cases[] = {
        { { "sh", "-c", "echo first; echo last >&2; exit 3" }, End::Exited, 3, "exited with status 3" },
        { { "sh", "-c", "kill -SEGV $$" }, End::Signalled, SIGSEGV, "was killed by signal 11" },
        { { "tavrine-no-such-program" }, End::NotStarted, 0, "could not be started" },
    };
    for (const Case& c : cases) {
        LProcessResult r = LProcessRunner::Run(c.args);
        EXPECT_EQ(r.end, c.end) << c.args[0];
        EXPECT_EQ(r.Describe().rfind(c.szDescribe, 0), 0u) << r.Describe();
        if (c.end == End::Exited) {
            EXPECT_EQ(r.nExitCode, c.nCode);
        } else if (c.end == End::Signalled) {
            EXPECT_EQ(r.nSignal, c.nCode);
        }
    }
    EXPECT_EQ(LProcessRunner::Run({ "sh", "-c", "echo first; echo last >&2; exit 3" }).output, "first\nlast");

    // A child bounded in what it may write to a file is ended at the bound, its file no larger. The bound is set
    // as the child runs: this one writes once its limit is there (or after 5 s without it).
    const std::string path = LTempFolder::Path() + "/bounded";
    LProcessRunner::Options options;
    options.stdoutPath = path;
    options.maxFileBytes = 100000;
    LProcessResult r = LProcessRunner::Run(
        { "sh", "-c",
            "i=0; while [ \"$(ulimit -f)\" = unlimited ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done; "
            "exec head -c 300000 /dev/zero" },
        options, nullptr);
    EXPECT_EQ(r.nSignal, SIGXFSZ) << r.Describe();
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 100000);
    ::unlink(path.c_str());
}

// A time-out or a stop ends the child and everything it started, and reaps it.
TEST(ProcessRunner, TimeOutAndStopEndTheWholeGroup)
{
    for (bool bStop : { false, true }) {
        std::string pidFile = LTempFolder::CreateFile("pid", ".txt");
        ASSERT_FALSE(pidFile.empty());
        LProcessRunner::Options options;
        options.graceMs = 300;
        LTestProgress progress;
        if (bStop)
            progress.nStopAtPump = 4;
        else
            options.timeoutMs = 600;
        // The shell ignores SIGTERM, so only the SIGKILL after the grace ends it.
        auto start = std::chrono::steady_clock::now();
        LProcessResult r = LProcessRunner::Run(
            { "sh", "-c", "trap '' TERM; echo $$ > \"$0\"; sleep 30 & wait", pidFile }, options, &progress);
        EXPECT_EQ(r.end, bStop ? End::Stopped : End::TimedOut);
        EXPECT_LT(ElapsedMs(start), 5000);
        pid_t group = static_cast<pid_t>(std::stol(ReadFirstLine(pidFile)));
        // A killed grandchild is reaped by whoever inherits it, a moment later.
        for (int i = 0; i < 100 && ::kill(-group, 0) == 0; ++i)
            ::usleep(20000);
        EXPECT_NE(::kill(-group, 0), 0) << "a process of the group outlived the run";
        EXPECT_NE(::kill(group, 0), 0) << "the child was not reaped";
    }
}

TEST(TempFolder, PrivateUniqueAndRemoved)
{
    // A folder left by a killed process of ours goes when the next one starts.
    pid_t dead = 0;
    {
        LProcessResult r = LProcessRunner::Run({ "sh", "-c", "echo $$" });
        dead = static_cast<pid_t>(std::stol(r.output));
    }
    LTempFolder::RemoveAll();
    const char* szTmp = std::getenv("TMPDIR");
    std::string stale
        = std::string(szTmp && *szTmp == '/' ? szTmp : "/tmp") + "/tavrine-" + std::to_string(dead) + "-abcdef";
    ASSERT_EQ(::mkdir(stale.c_str(), 0700), 0);
    std::ofstream(stale + "/.hidden") << "x";
    std::string folder = LTempFolder::Path();
    ASSERT_FALSE(folder.empty());
    struct stat st;
    EXPECT_NE(::stat(stale.c_str(), &st), 0) << "stale folder kept";
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::string a = LTempFolder::CreateFile("tmp", ".wav");
    std::string b = LTempFolder::CreateFile("tmp", ".wav");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string sub = LTempFolder::CreateSubfolder("job");
    std::ofstream(sub + "/.x") << "y";
    LTempFolder::RemoveAll();
    EXPECT_NE(::stat(folder.c_str(), &st), 0);
    EXPECT_NE(LTempFolder::Path(), folder);
}
