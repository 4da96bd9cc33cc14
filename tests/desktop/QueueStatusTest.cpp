#include "DesktopFixture.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <thread>

namespace {

TEST_F(DesktopTest, QueueStartsOnItsFileInTheSentFolder)
{
    Open();
    EXPECT_TRUE(queue.bStarted);
    EXPECT_EQ(queue.path, FilePathCat(engine->GetSentFolder(), "sending.dat"));
}

TEST_F(DesktopTest, SendStatusFromTheQueueThreadReachesTheStatusBar)
{
    MainDialog& dialog = Open();
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

} // namespace
