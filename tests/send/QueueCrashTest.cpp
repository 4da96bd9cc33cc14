// A child process works a queue of 50 jobs and is killed (SIGKILL) at 100 random moments, restarted
// each time: each job is done at least once, or dropped with its dictation back in Current and marked so.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LQueueMainLoop.h"
#include "tests/send/QueueTestUtil.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace queuetest;

// Appends one line and syncs it, as a delivery that has reached its target.
void AppendLine(const std::string& path, const std::string& line)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        std::_Exit(3);
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || ::fsync(fd) != 0)
        std::_Exit(3);
    ::close(fd);
}

std::map<std::string, int> CountLines(const std::string& path)
{
    std::map<std::string, int> counts;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        ++counts[line];
    return counts;
}

// The program: works the queue until it is empty, then ends.
[[noreturn]] void RunChild(const std::string& queuePath, const std::string& doneLog)
{
    LQueueMainLoop loop;
    {
        LProcessListThread queue;
        queue.SetJobRunner([&](LProcessListThread& q, const SendJobItem& item) {
            // Two steps of work around the delivery, each a stop-aware wait.
            if (q.Status().WaitTimed(1))
                return JobResult::kStopped;
            AppendLine(doneLog, _GetFileFromPath(std::string(item.DictationPath())));
            q.SetJobProgress(0.5);
            return q.Status().WaitTimed(1) ? JobResult::kStopped : JobResult::kDone;
        });
        queue.SetListFilePath(queuePath);
        while (queue.IsRunning())
            loop.Pump(5);
        loop.Pump(0);
    }
    std::_Exit(0);
}

// Runs a child to its end; its wall time in ms, or -1 when it failed.
double RunToEnd(const std::string& queuePath, const std::string& doneLog)
{
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0)
        RunChild(queuePath, doneLog);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

TEST(SendQueueCrash, KilledAtRandomMomentsNoJobIsLostSilently)
{
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    ASSERT_TRUE(engine.IsUsable());
    const std::string doneLog = env.Dir().File("done.log");

    // How long a child takes to start (the quickest of three: the first pays for warming up) and one job.
    double fStartMs = 1e9, fJobMs = 0;
    const std::string calibration = env.Dir().File("calibration.dat"), calibrationLog = env.Dir().File("c.log");
    for (int i = 0; i < 3; ++i) {
        const double fMs = RunToEnd(calibration, calibrationLog);
        ASSERT_GT(fMs, 0);
        fStartMs = std::min(fStartMs, fMs);
    }
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(LProcessListFile::Append(calibration, Job("/nowhere/" + std::to_string(i) + ".ddf")));
    const double fTenMs = RunToEnd(calibration, calibrationLog);
    ASSERT_GT(fTenMs, 0);
    fJobMs = std::max(0.1, (fTenMs - fStartMs) / 10);

    const int nJobs = 50;
    const std::string queuePath = FilePathCat(engine.GetSentFolder(), "sending.dat");
    std::vector<std::string> names;
    for (int i = 0; i < nJobs; ++i) {
        LDictation dictation(engine.GetSentFolder(), "Job " + std::to_string(i));
        ASSERT_TRUE(dictation.IsValid());
        names.push_back(_GetFileFromPath(dictation.GetPath()));
        ASSERT_TRUE(LProcessListFile::Append(queuePath, Job(dictation.GetPath())));
    }

    unsigned seed = 20261207;
    if (const char* sz = std::getenv("TAVRINE_CRASH_SEED"))
        seed = static_cast<unsigned>(std::strtoul(sz, nullptr, 10));
    std::mt19937 rng(seed);
    // Moments spread over the start and most of a job, so a run may die starting, or before, inside or after
    // any step of a job. A child that ends by itself (the machine was quicker than measured) narrows the
    // spread; a queue worked empty before enough kills landed is filled again with what is still in Send.
    double fSpreadUs = 1000 * (fStartMs + 0.75 * fJobMs);
    int nLanded = 0;
    for (int nRuns = 0; nLanded < 100 && nRuns < 400; ++nRuns) {
        const bool bRefill = test::ReadFileBytes(queuePath).empty();
        for (size_t i = 0; bRefill && i < names.size(); ++i) {
            const std::string path = FilePathCat(engine.GetSentFolder(), names[i]);
            if (FileExists(path)) {
                ASSERT_TRUE(LProcessListFile::Append(queuePath, Job(path)));
            }
        }
        std::uniform_int_distribution<int> delayUs(0, static_cast<int>(fSpreadUs));
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            RunChild(queuePath, doneLog);
        ::usleep(static_cast<useconds_t>(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) {
            ++nLanded;
        } else {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "seed " << seed;
            fSpreadUs *= 0.75;
        }
    }
    ASSERT_GT(RunToEnd(queuePath, doneLog), 0) << "seed " << seed;
    EXPECT_GE(nLanded, 50) << "too few kills met the child at work to measure anything";

    const std::map<std::string, int> done = CountLines(doneLog);
    for (const std::string& name : names) {
        const std::string current = FilePathCat(engine.GetCurrentFolder(), name);
        if (FileExists(current)) { // dropped: back in Current, and marked so in its own header
            EXPECT_EQ(LDictation(current).GetSendStatus(), LProcessListThread::kAbandonedStatus) << name;
            EXPECT_FALSE(FileExists(FilePathCat(engine.GetSentFolder(), name))) << name;
        } else {
            EXPECT_GE(done.count(name) ? done.at(name) : 0, 1)
                << name << " was neither done nor handed back (seed " << seed << ")";
            EXPECT_TRUE(FileExists(FilePathCat(engine.GetSentFolder(), name))) << name;
        }
    }
    EXPECT_TRUE(test::ReadFileBytes(queuePath).empty()) << "seed " << seed;
}

} // namespace
