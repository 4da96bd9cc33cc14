#include "DesktopFixture.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"

namespace {

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
