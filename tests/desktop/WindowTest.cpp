// The main window: placement and the divider, renaming by the label, and
// when typed notes are saved.
#include "DesktopFixture.h"
#include "app/desktop/window/LTransportBar.h"
#include "foundation/LSettings.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>

namespace {

using View = LDictationListView;

TEST(WindowMath, PositionBarIn64BitsAndPlacementInsideTheDesktop)
{
    const int32_t nEightHours = 8 * 3600 * 1000;
    EXPECT_EQ(LTransportBar::PositionPercent(7 * 3600 * 1000, nEightHours), 87);
    EXPECT_EQ(LTransportBar::PositionPercent(500, 0), 0);
    EXPECT_EQ(LTransportBar::PositionPercent(-5, 1000), 0);
    EXPECT_EQ(LTransportBar::PositionPercent(2000, 1000), 100);
    const QRect desktop(0, 0, 1024, 768);
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(160, 80, 500, 400), desktop), QRect(160, 80, 500, 400));
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(300, 80, 5000, 400), desktop), QRect(0, 80, 1024, 400));
    // Off the right and bottom: moved, not shrunk.
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(900, 700, 500, 400), desktop), QRect(524, 368, 500, 400));
    EXPECT_EQ(
        MainDialog::ClampToDesktop(QRect(-300, -20, 500, 400), QRect(100, 50, 800, 600)), QRect(100, 50, 500, 400));
}

TEST_F(DesktopTest, PlacementAndDividerAreStoredAndComeBackInsideTheScreen)
{
    SetMachineInt("MainWindow", "Width", 100000);
    SetMachineInt("MainWindow", "X", 5000);
    SetMachineInt("MainWindow", "Height", 300);
    SetSettingInt("MainWindow", "NotesDividerY", 150);
    Open();
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(dialog->width(), screen.width());
    EXPECT_EQ(dialog->x(), screen.x());
    EXPECT_EQ(dialog->height(), 300);
    EXPECT_EQ(dialog->GetNotesDivider(), 150);
    EXPECT_NEAR(dialog->List()->mapTo(dialog, QPoint(0, dialog->List()->height())).y(), 152, 3);

    dialog->move(40, 30);
    dialog->resize(420, 380);
    PumpFor(20);
    const int nDivider = dialog->GetNotesDivider();
    Close();
    EXPECT_EQ(GetMachineInt("MainWindow", "X", -1), 40);
    EXPECT_EQ(GetMachineInt("MainWindow", "Y", -1), 30);
    EXPECT_EQ(GetMachineInt("MainWindow", "Width", -1), 420);
    EXPECT_EQ(GetMachineInt("MainWindow", "Height", -1), 380);
    EXPECT_FALSE(GetMachineBool("MainWindow", "Maximized", true));
    EXPECT_EQ(GetSettingInt("MainWindow", "NotesDividerY", -1), nDivider);
    EXPECT_TRUE(queue.bStopped);

    SetSettingInt("MainWindow", "NotesDividerY", 5000);
    Open();
    EXPECT_LT(dialog->GetNotesDivider(), dialog->height());
    EXPECT_GT(dialog->Notes()->height(), 0);
}

TEST_F(DesktopTest, EditingTheLabelRenamesOnDiskAndResorts)
{
    LDictation* pFirst = Make("Alpha", 1, 50, 1);
    Make("Beta", 1, 50, 2);
    Open();
    QTreeWidgetItem* pAlpha = dialog->List()->FindRow(Listed(pFirst)->nListIndex);
    pAlpha->setText(View::kColName, "Zulu");
    EXPECT_EQ(LDictation(pFirst->GetPath()).GetName(), "Zulu");
    EXPECT_EQ(Names(), (QStringList { "Beta", "Zulu" }));
    pAlpha->setText(View::kColName, ""); // keeps the name
    EXPECT_EQ(pAlpha->text(View::kColName), "Zulu");
    EXPECT_EQ(LDictation(pFirst->GetPath()).GetName(), "Zulu");
    // A long one is cut to what the header holds.
    pAlpha->setText(View::kColName, QString(300, QChar('x')));
    std::string stored(LDictation(pFirst->GetPath()).GetName());
    EXPECT_GE(stored.size(), 90u);
    EXPECT_LE(stored.size(), 96u);
    EXPECT_EQ(pAlpha->text(View::kColName).toStdString(), stored);
}

class NotesTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        Make("One", 1, 50, 1, "kept");
        Make("Two", 1, 50, 2);
        Open();
        pOne = Listed(made[0].get());
        pTwo = Listed(made[1].get());
    }
    void Select(const LDictation* p) { dialog->List()->setCurrentItem(dialog->List()->FindRow(p->nListIndex)); }
    LDictation* pOne = nullptr;
    LDictation* pTwo = nullptr;
};

TEST_F(NotesTest, TypedNotesAreSavedThreeSecondsLater)
{
    Select(pOne);
    EXPECT_EQ(dialog->Notes()->toPlainText(), "kept");
    dialog->Notes()->setPlainText("kept\nand more");
    EXPECT_TRUE(dialog->IsNotesChanged());
    PumpFor(1500);
    EXPECT_EQ(StoredNotes(pOne), "kept");
    ASSERT_TRUE(PumpUntil([&] { return !dialog->IsNotesChanged(); }, 4000));
    EXPECT_EQ(StoredNotes(pOne), "kept\nand more");
    EXPECT_EQ(dialog->List()->FindRow(pOne->nListIndex)->text(View::kColNotes), "kept and more");
}

TEST_F(NotesTest, SwitchingRelistingAndClosingSaveToTheOneTyped)
{
    Select(pOne);
    dialog->Notes()->setPlainText("for one");
    Select(pTwo);
    EXPECT_EQ(StoredNotes(pOne), "for one");
    EXPECT_EQ(dialog->Notes()->toPlainText(), "");
    // Nothing is left pending that could land on the second one.
    PumpFor(3300);
    EXPECT_EQ(StoredNotes(pTwo), "");

    dialog->Notes()->setPlainText("before the list is rebuilt");
    const std::string twoPath = pTwo->GetPath();
    Session().Rebuild(); // the list's objects are new now
    EXPECT_EQ(LDictation(twoPath).GetNotes(), "before the list is rebuilt");
    Select(Listed(made[1].get()));
    dialog->Notes()->setPlainText("at exit");
    Close();
    EXPECT_EQ(LDictation(twoPath).GetNotes(), "at exit");
}

} // namespace
