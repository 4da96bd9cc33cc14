// The import's window host: the raw settings dialog is the real one, and its
// Cancel ends the load with result 1 and no message box.
#include "app/shared/prompts/LQtImportHost.h"
#include "import/LGenSourceOpen.h"
#include "tests/desktop/DesktopFixture.h"
#include "ui/LRawSettingsDialog.h"

#include <QTimer>

TEST(ImportHost, CancelInTheRawDialogGivesOneAndNoMessage)
{
    TestApp();
    test::IsolatedEnvironment env;
    ASSERT_TRUE(test::WriteFileBytes(env.Dir().File("a.RAW"), std::vector<uint8_t>(800)));
    int nDialogs = 0, nBoxes = 0;
    QTimer answer; // stops with the test
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* pModal = QApplication::activeModalWidget();
        if (auto* pDialog = qobject_cast<LRawSettingsDialog*>(pModal)) {
            ++nDialogs;
            pDialog->reject();
        } else if (pModal) {
            ++nBoxes;
            pModal->close();
        }
    });
    answer.start(20);
    LQtImportHost host(nullptr);
    bool bAskUser = true;
    LSoundSourceRef source;
    EXPECT_EQ(LGenSourceOpen(source, env.Dir().File("a.RAW"), bAskUser, host), JobResult::kStopped);
    EXPECT_EQ(
        LGenSourceOpen(source, env.Dir().File("a.RAW"), bAskUser, host), JobResult::kDone); // asked once per batch
    EXPECT_EQ(nDialogs, 1);
    EXPECT_EQ(nBoxes, 0);
}
