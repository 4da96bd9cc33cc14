#include "foundation/LNotifier.h"
#include "foundation/LQueueMainLoop.h"
#include "foundation/LSignalObject.h"
#include "foundation/LThread.h"
#include "foundation/LThreadQueuedNotify.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Far above any real duration: only a wait that never ends trips it.
constexpr uint32_t kGenerousMs = 30000;

// Counts its runs; each run waits for the stop signal in long slices.
class StopWaiter : public LThread {
public:
    ~StopWaiter() override { StopThreadAndWait(); }
    std::atomic<int> nRuns { 0 };
    std::atomic<bool> bStopSeenAtEntry { false };
    LSignalObject entered;

protected:
    void ThreadFunction() override
    {
        bStopSeenAtEntry = IsStopRequested();
        ++nRuns;
        entered.Set();
        while (!WaitForStop(60000)) { }
    }
};

// Ignores the stop signal until the test opens its gate, then finishes its work.
class Stubborn : public LThread {
public:
    explicit Stubborn(std::shared_ptr<std::atomic<bool>> pFinished)
        : m_pFinished(std::move(pFinished))
    {
    }
    ~Stubborn() override { StopThreadAndWait(); }
    LSignalObject gate;
    LSignalObject entered;
    std::vector<int> work;

protected:
    void ThreadFunction() override
    {
        entered.Set();
        gate.Wait(LSignalObject::kInfinite);
        for (int i = 0; i < 1000; ++i)
            work.push_back(i);
        *m_pFinished = true;
    }

private:
    std::shared_ptr<std::atomic<bool>> m_pFinished;
};

pid_t SpawnSleep(const char* seconds)
{
    pid_t pid = -1;
    const char* argv[] = { "sleep", seconds, nullptr };
    if (::posix_spawnp(&pid, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

// Waits for a worker to end by itself (a stop could cut its work short).
bool WaitUntilEnded(LThread& thread)
{
    return test::WaitUntil([&] { return !thread.IsRunning(); }, kGenerousMs) && thread.StopThreadTimed(kGenerousMs);
}

TEST(ThreadLifecycle, StartsStopsAndStartsAgain)
{
    StopWaiter worker;
    EXPECT_TRUE(worker.StopThreadTimed(0)) << "never started: nothing to stop";
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(worker.entered.Wait(kGenerousMs));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start()) << "a second start while running must not start a second worker";
    EXPECT_TRUE(worker.StopThreadTimed(kGenerousMs));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.IsStopRequested());
    EXPECT_EQ(worker.nRuns.load(), 1);
    // A restart must not inherit the old stop request, or the worker would quit at once.
    worker.entered.Reset();
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(worker.entered.Wait(kGenerousMs));
    EXPECT_FALSE(worker.bStopSeenAtEntry.load());
    EXPECT_EQ(worker.nRuns.load(), 2);
    EXPECT_TRUE(worker.StopThreadTimed(kGenerousMs));
}

TEST(ThreadStop, DestructionWaitsForAWorkerThatIgnoresStop)
{
    auto pFinished = std::make_shared<std::atomic<bool>>(false);
    auto worker = std::make_unique<Stubborn>(pFinished);
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(worker->entered.Wait(kGenerousMs));
    LSignalObject* pGate = &worker->gate;
    std::thread opener([pGate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pGate->Set();
    });
    worker.reset();
    EXPECT_TRUE(pFinished->load()) << "destruction returned before the worker finished";
    opener.join();
}

TEST(SignalObject, WaitSignalDualEndsOnTheProcessTheSignalOrTheTimeOut)
{
    LSignalObject signal;
    int closed = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(closed);
    EXPECT_EQ(signal.WaitSignalDual(closed, kGenerousMs), LSignalObject::kFailed)
        << "a descriptor that cannot be waited on must not pass for an ended process";
    pid_t quick = SpawnSleep("0.2"), slow = SpawnSleep("60");
    ASSERT_GT(quick, 0);
    ASSERT_GT(slow, 0);
    int fdQuick = LSignalObject::OpenProcessHandle(quick), fdSlow = LSignalObject::OpenProcessHandle(slow);
    if (fdQuick >= 0 && fdSlow >= 0) {
        EXPECT_EQ(signal.WaitSignalDual(fdQuick, kGenerousMs), LSignalObject::kOtherSignalled);
        EXPECT_EQ(signal.WaitSignalDual(fdSlow, 30), LSignalObject::kTimedOut);
        std::thread setter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            signal.Set();
        });
        EXPECT_EQ(signal.WaitSignalDual(fdSlow, LSignalObject::kInfinite), LSignalObject::kSignalSet);
        setter.join();
        EXPECT_EQ(signal.WaitSignalDual(fdQuick, kGenerousMs), LSignalObject::kSignalSet)
            << "both ready: the signal wins";
    }
    ::kill(slow, SIGKILL);
    test::Reap(slow);
    EXPECT_EQ(test::Reap(quick), 0);
    for (int fd : { fdQuick, fdSlow })
        if (fd >= 0)
            ::close(fd);
    if (fdQuick < 0 || fdSlow < 0)
        GTEST_SKIP() << "no pidfd on this kernel";
}

// Records each handler run and the thread it ran on.
class Receiver : public LThreadQueuedNotify {
public:
    Receiver(LMainLoop& loop, std::vector<std::string>* pLog, std::string name)
        : LThreadQueuedNotify(loop)
        , m_pLog(pLog)
        , m_name(std::move(name))
    {
    }
    int nRuns = 0;
    std::thread::id lastThread;
    std::function<void()> onNotify;

protected:
    void EvNotify() override
    {
        ++nRuns;
        lastThread = std::this_thread::get_id();
        if (m_pLog)
            m_pLog->push_back(m_name);
        if (onNotify)
            onNotify();
    }

private:
    std::vector<std::string>* m_pLog;
    std::string m_name;
};

// Posts a burst of notifications, as a recorder posts its levels.
class Poster : public LThread {
public:
    Poster(LNotifier notifier, int nPosts)
        : m_notifier(std::move(notifier))
        , m_nPosts(nPosts)
    {
    }
    ~Poster() override { StopThreadAndWait(); }
    std::atomic<int> nValue { 0 };

protected:
    void ThreadFunction() override
    {
        for (int i = 0; i < m_nPosts && !IsStopRequested(); ++i) {
            nValue.store(i + 1);
            m_notifier.Post();
        }
    }

private:
    LNotifier m_notifier;
    int m_nPosts;
};

TEST(QueuedNotify, TheLastChangeIsAlwaysSeen)
{
    LQueueMainLoop loop;
    Receiver receiver(loop, nullptr, "r");
    Poster poster(receiver.GetNotifier(), 20000);
    int nSeen = 0;
    receiver.onNotify = [&] { nSeen = poster.nValue.load(); };
    ASSERT_TRUE(poster.Start());
    auto end = Clock::now() + std::chrono::milliseconds(kGenerousMs);
    while (poster.IsRunning() && Clock::now() < end)
        loop.Pump(1);
    ASSERT_TRUE(WaitUntilEnded(poster));
    loop.Pump(0);
    EXPECT_EQ(nSeen, 20000) << "a post that arrived while the handler ran was lost";
    EXPECT_GE(receiver.nRuns, 1);
}

TEST(QueuedNotify, PostingAfterTheReceiverIsGoneIsSafe)
{
    LQueueMainLoop loop;
    LNotifier().Post();
    EXPECT_EQ(loop.PendingCount(), 0u) << "an empty notifier posts nothing";
    // A delivery queued while the receiver lived runs after it went.
    bool bRan = false;
    auto receiver = std::make_unique<Receiver>(loop, nullptr, "r");
    receiver->onNotify = [&] { bRan = true; };
    receiver->GetNotifier().Post();
    receiver.reset();
    EXPECT_EQ(loop.Pump(0), 1u);
    EXPECT_FALSE(bRan);
    // A worker still posting after its receiver went.
    receiver = std::make_unique<Receiver>(loop, nullptr, "r");
    receiver->onNotify = [&] { bRan = true; };
    Poster poster(receiver->GetNotifier(), 100);
    receiver.reset();
    ASSERT_TRUE(poster.Start());
    ASSERT_TRUE(WaitUntilEnded(poster));
    EXPECT_EQ(poster.nValue.load(), 100);
    EXPECT_EQ(loop.PendingCount(), 0u) << "posts after the receiver went must not pile up";
    loop.Pump(0);
    EXPECT_FALSE(bRan);
}

} // namespace
