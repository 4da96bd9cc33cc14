// The send queue as the window sees it: its status text, the dictations it
// hands back and its errors, from a test double and from the real thread.
#include "DesktopFixture.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <thread>

namespace {

TEST_F(DesktopTest, SendStatusFromTheQueueThreadReachesTheStatusBar)
{
    MainDialog& dialog = Open();
    // Started on its file in the Sent folder.
    EXPECT_TRUE(queue.bStarted);
    EXPECT_EQ(queue.path, FilePathCat(engine->GetSentFolder(), "sending.dat"));
    std::thread worker([&] {
        queue.Report([](LSendStatusSource::Status& s) {
            s.szText[0] = "Connecting to";
            s.szText[1] = "mail.example.org";
            s.fProgress = 0.429;
        });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return !dialog.StatusArea().GetStatusText().isEmpty(); }));
    EXPECT_EQ(dialog.StatusArea().GetStatusText(), "Connecting to mail.example.org 42%");
    EXPECT_EQ(dialog.GetStatusBarText(), dialog.StatusArea().GetStatusText());

    queue.Report([](LSendStatusSource::Status& s) { s.szText[0].clear(); });
    ASSERT_TRUE(PumpUntil([&] { return dialog.StatusArea().GetStatusText().isEmpty(); }));
    // The rotation comes back within its short period.
    ASSERT_TRUE(PumpUntil([&] { return dialog.GetStatusBarText() != "Connecting to mail.example.org 42%"; }, 3000));
}

TEST_F(DesktopTest, FailedDictationsComeBackAsRowsOnce)
{
    Make("Listed", 1, 50, 1);
    MainDialog& dialog = Open();
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
    // One that failed to send, moved back, and one the list already holds.
    auto pBack = std::make_unique<LDictation>(engine->GetCurrentFolder(), "Returned");
    std::string listedPath = made[0]->GetPath();
    std::thread worker([&] {
        queue.Report([&](LSendStatusSource::Status& s) {
            s.failed.push_back(std::move(pBack));
            s.failed.push_back(std::make_unique<LDictation>(listedPath));
        });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return dialog.List()->topLevelItemCount() == 2; }));
    PumpFor(50);
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 2);
    EXPECT_EQ(Session().List().Count(), 2u);
    EXPECT_EQ(dialog.List()->findItems("Returned", Qt::MatchExactly).size(), 1);
}

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
        return int { kJobFailed };
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
