// The send queue's status block as the main window reads it.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LQueueMainLoop.h"
#include "foundation/LThreadQueuedNotify.h"
#include "send/LThreadStatus.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace {

class Counter : public LThreadQueuedNotify {
public:
    using LThreadQueuedNotify::LThreadQueuedNotify;
    int nRuns = 0;

protected:
    void EvNotify() override { ++nRuns; }
};

TEST(ThreadStatus, TheFirstErrorWinsAndEachReportIsTakenOnce)
{
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    LSignalObject stop;
    LThreadStatus status(stop);
    status.SetText("Connecting to", 0);
    status.SetText("ftp.example.org", 1);
    status.SetText("ignored", 2);
    status.SetJobCounts(1, 4);
    status.SetProgress(0.5);
    status.SetError("first");
    status.ErrorBox("second");
    LDictation letter(engine.GetCurrentFolder(), "Letter");
    status.AddFailedDictation(std::make_unique<LDictation>(letter.GetPath()));

    LThreadStatus::Snapshot snapshot = status.TakeSnapshot();
    EXPECT_EQ(snapshot.uFlags,
        LThreadStatus::kText1Changed | LThreadStatus::kText2Changed | LThreadStatus::kErrorWaiting
            | LThreadStatus::kFailedWaiting);
    EXPECT_EQ(snapshot.StatusText(), "Connecting to ftp.example.org 37%");
    ASSERT_TRUE(snapshot.error);
    EXPECT_EQ(*snapshot.error, "first");
    ASSERT_EQ(snapshot.failed.size(), 1u);
    EXPECT_EQ(snapshot.failed[0]->GetName(), "Letter");

    // Taken: the next read sees the texts but no error and no dictation.
    snapshot = status.TakeSnapshot();
    EXPECT_EQ(snapshot.uFlags, 0);
    EXPECT_FALSE(snapshot.error);
    EXPECT_TRUE(snapshot.failed.empty());
    EXPECT_EQ(snapshot.szText[1], "ftp.example.org");
    // After it was taken, a new error waits again.
    status.SetError("third");
    EXPECT_EQ(*status.TakeSnapshot().error, "third");

    // No status line while the first line is empty; long lines are cut whole.
    status.SetText("", 0);
    EXPECT_EQ(status.TakeSnapshot().StatusText(), "");
    std::string longText(LThreadStatus::kMaxLine - 1, 'a');
    longText += "\xC3\xA9\xC3\xA9";
    status.SetText(longText, 0);
    EXPECT_EQ(status.TakeSnapshot().szText[0], std::string(LThreadStatus::kMaxLine - 1, 'a'));
}

TEST(ThreadStatus, ProgressScalesByTheRunAndEveryReportNotifies)
{
    LQueueMainLoop loop;
    Counter counter(loop);
    LSignalObject stop;
    LThreadStatus status(stop);
    status.SetNotifier(counter.GetNotifier());
    status.SetJobCounts(2, 3);
    for (int i = 1; i <= 5; ++i) {
        status.SetProgress(0.5 + i * 1e-9); // changes far below one percent
        loop.Pump(0);
        EXPECT_EQ(counter.nRuns, i);
    }
    EXPECT_NEAR(status.GetProgress(), 2.5 / 3, 1e-6);
    // Stale counts (jobs done beyond the count) or a fraction out of range
    // never take the progress past the whole.
    status.SetJobCounts(5, 3);
    status.SetProgress(7.0);
    EXPECT_EQ(status.GetProgress(), 1.0);
    status.SetJobCounts(0, 0);
    status.SetProgress(-1);
    EXPECT_EQ(status.GetProgress(), 0.0);
}

TEST(ThreadStatus, TheStopSignalStandsInForCancel)
{
    LSignalObject stop;
    LThreadStatus status(stop);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_FALSE(status.Pump());
    EXPECT_FALSE(status.WaitTimed(5));
    EXPECT_EQ(status.WaitHandle(fds[0], 5), LProgressReporter::kTimedOut);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_EQ(status.WaitHandle(fds[0], 1000), LProgressReporter::kSignalled);
    stop.Set();
    EXPECT_TRUE(status.Pump());
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(status.WaitTimed(10000));
    EXPECT_EQ(status.WaitHandle(fds[0], 10000), LProgressReporter::kCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    ::close(fds[0]);
    ::close(fds[1]);
}

} // namespace
