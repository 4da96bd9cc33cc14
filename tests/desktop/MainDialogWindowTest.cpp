#include "DesktopFixture.h"
#include "foundation/LSettings.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

namespace {

TEST(MainDialogMath, PositionBarIsComputedIn64Bits)
{
    const int32_t nSevenHours = 7 * 3600 * 1000;
    const int32_t nEightHours = 8 * 3600 * 1000;
    EXPECT_EQ(MainDialog::PositionPercent(nSevenHours, nEightHours), 87);
    EXPECT_EQ(MainDialog::PositionPercent(nEightHours, nEightHours), 100);
    EXPECT_EQ(MainDialog::PositionPercent(500, 0), 0);
    EXPECT_EQ(MainDialog::PositionPercent(-5, 1000), 0);
    EXPECT_EQ(MainDialog::PositionPercent(2000, 1000), 100);
}

TEST(MainDialogMath, LengthFromSamplesGuardsTheRate)
{
    EXPECT_EQ(MainDialog::LengthMs(44100ull * 3600 * 10, 44100), 36000000);
    EXPECT_EQ(MainDialog::LengthMs(11025 + 441, 11025), 1040);
    EXPECT_EQ(MainDialog::LengthMs(8000, 0), 0);
    EXPECT_EQ(MainDialog::LengthMs(~0ull, 8000), INT32_MAX);
}

TEST(MainDialogMath, PlacementIsPulledInsideTheDesktop)
{
    QRect desktop(0, 0, 1024, 768);
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(160, 80, 500, 400), desktop), QRect(160, 80, 500, 400));
    // Too wide: the desktop's width, at its left.
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(300, 80, 5000, 400), desktop), QRect(0, 80, 1024, 400));
    // Off the right and bottom: moved, not shrunk.
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(900, 700, 500, 400), desktop), QRect(524, 368, 500, 400));
    EXPECT_EQ(
        MainDialog::ClampToDesktop(QRect(-300, -20, 500, 400), QRect(100, 50, 800, 600)), QRect(100, 50, 500, 400));
}

TEST_F(DesktopTest, StoredWindowWiderThanTheDesktopOpensAtItsWidth)
{
    SetMachineInt("MainWindow", "Width", 100000);
    SetMachineInt("MainWindow", "X", 5000);
    SetMachineInt("MainWindow", "Y", 20);
    SetMachineInt("MainWindow", "Height", 300);
    MainDialog& dialog = Open();
    QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(dialog.width(), desktop.width());
    EXPECT_EQ(dialog.x(), desktop.x());
    EXPECT_EQ(dialog.height(), 300);
}

TEST_F(DesktopTest, ClosingStoresPlacementAndDivider)
{
    MainDialog& dialog = Open();
    dialog.move(40, 30);
    dialog.resize(420, 380);
    PumpFor(20);
    int nDivider = dialog.GetNotesDivider();
    dialog.close();
    EXPECT_EQ(GetMachineInt("MainWindow", "X", -1), 40);
    EXPECT_EQ(GetMachineInt("MainWindow", "Y", -1), 30);
    EXPECT_EQ(GetMachineInt("MainWindow", "Width", -1), 420);
    EXPECT_EQ(GetMachineInt("MainWindow", "Height", -1), 380);
    EXPECT_FALSE(GetMachineBool("MainWindow", "Maximized", true));
    EXPECT_EQ(GetSettingInt("MainWindow", "NotesDividerY", -1), nDivider);
    EXPECT_TRUE(queue.bStopped);
}

TEST_F(DesktopTest, DividerIsRestoredAndClampedToTheArea)
{
    SetSettingInt("MainWindow", "NotesDividerY", 150);
    MainDialog& dialog = Open();
    EXPECT_EQ(dialog.GetNotesDivider(), 150);
    int nListBottom = dialog.List()->mapTo(&dialog, QPoint(0, dialog.List()->height())).y();
    EXPECT_NEAR(nListBottom, 152, 3);
    dialog.close();

    SetSettingInt("MainWindow", "NotesDividerY", 5000);
    this->dialog.reset();
    MainDialog& second = Open();
    EXPECT_LT(second.GetNotesDivider(), second.height());
    EXPECT_GT(second.Notes()->height(), 0);
}

TEST_F(DesktopTest, ShortWindowIsCompact)
{
    Make("One", 1, 50, 1);
    MainDialog& dialog = Open();
    dialog.resize(500, 400);
    PumpFor(20);
    EXPECT_FALSE(dialog.IsCompact());
    EXPECT_TRUE(dialog.statusBar()->isVisible());
    EXPECT_FALSE(dialog.List()->isHeaderHidden());

    dialog.resize(500, 229);
    PumpFor(20);
    EXPECT_TRUE(dialog.IsCompact());
    EXPECT_FALSE(dialog.statusBar()->isVisible());
    EXPECT_FALSE(dialog.findChild<QToolBar*>()->isVisible());
    EXPECT_TRUE(dialog.List()->isHeaderHidden());
    EXPECT_GE(dialog.GetNotesDivider(), 15);

    dialog.resize(500, 230);
    PumpFor(20);
    EXPECT_FALSE(dialog.IsCompact());
    EXPECT_TRUE(dialog.statusBar()->isVisible());
    EXPECT_FALSE(dialog.List()->isHeaderHidden());
}

TEST_F(DesktopTest, NotesColumnTakesTheRestOfTheWidth)
{
    MainDialog& dialog = Open();
    dialog.resize(900, 400);
    PumpFor(20);
    QHeaderView* pHeader = dialog.List()->header();
    EXPECT_EQ(pHeader->sectionSize(MainDialog::kColName), 120);
    EXPECT_EQ(pHeader->sectionSize(MainDialog::kColDuration), 58);
    EXPECT_EQ(pHeader->sectionSize(MainDialog::kColNotes), dialog.List()->viewport()->width() - 408);
}

} // namespace
