// The send queue as the window sees it: its errors one box at a time, from a
// test double, and a failed job's dictation handed back by the real thread.
#include "DesktopFixture.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <thread>

namespace {

TEST_F(DesktopTest, QueueErrorsAreShownOneBoxAtATime)
{
    MainDialog& dialog = Open();
    int nDepth = 0, nMaxDepth = 0;
    std::vector<QString> order;
    dialog.StatusArea().SetErrorBox([&](const QString& text) {
        ++nDepth;
        nMaxDepth = std::max(nMaxDepth, nDepth);
        order.push_back(text);
        if (text == "first") {
            // A second error arrives while the box is open; its run of the
            // handler must not open a box over this one.
            std::thread worker([&] { queue.Report([](LSendStatusSource::Status& s) { s.error = "second"; }); });
            worker.join();
            PumpFor(100);
            EXPECT_EQ(order.size(), 1u);
        }
        --nDepth;
    });
    std::thread worker([&] { queue.Report([](LSendStatusSource::Status& s) { s.error = "first"; }); });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<QString> { "first", "second" }));
    EXPECT_EQ(nMaxDepth, 1);
    // Taken off the block: nothing waits any more.
    EXPECT_FALSE(queue.TakeStatus().error.has_value());
}

// The real queue thread: a job that fails reports its error and hands its
// dictation back, as a send does, and the window shows both.
TEST_F(DesktopTest, FailedJobOnTheQueueThreadReachesTheWindow)
{
    LSendQueue sendQueue;
    std::string sentFolder = engine->GetSentFolder();
    sendQueue.Queue().SetJobRunner([](LProcessListThread& q, const SendJobItem& item) {
        auto pBack = std::make_unique<LDictation>(std::string(item.DictationPath()));
        q.Status().SetText("Connecting to", 0);
        q.Status().SetText("ftp.example.org", 1);
        if (pBack->IsValid() && pBack->MoveToFolder(LDictationEngineSettings().GetCurrentFolder()))
            q.Status().AddFailedDictation(std::move(pBack));
        q.Status().SetError("Could not connect to ftp.example.org");
        q.Status().SetText("", 0);
        return JobResult::kFailed;
    });
    LDesktopApp desktop(*engine, loop, &sendQueue);
    MainDialog& window = desktop.Window();
    window.show();
    std::vector<QString> errors;
    window.StatusArea().SetErrorBox([&](const QString& text) { errors.push_back(text); });
    ASSERT_EQ(window.List()->topLevelItemCount(), 0);

    LDictation outgoing(sentFolder, "Outgoing");
    ASSERT_TRUE(outgoing.IsValid());
    SendJobItem item;
    ASSERT_TRUE(SendJobItem::MakeSendJob(outgoing.GetPath(), &item));
    ASSERT_TRUE(sendQueue.Queue().Add(item));

    ASSERT_TRUE(PumpUntil([&] { return !errors.empty() && window.List()->topLevelItemCount() == 1; }, 10000));
    EXPECT_EQ(errors, (std::vector<QString> { "Could not connect to ftp.example.org" }));
    EXPECT_EQ(window.List()->topLevelItem(0)->text(LDictationListView::kColName), "Outgoing");
    // The queue file is empty after its one job.
    ASSERT_TRUE(PumpUntil([&] { return !sendQueue.Queue().IsRunning(); }, 10000));
    EXPECT_EQ(GetFileSizeBytes(FilePathCat(sentFolder, "sending.dat")), 0u);
    window.close();
}

} // namespace
