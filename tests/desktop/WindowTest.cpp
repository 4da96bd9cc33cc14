// The main window: placement and the divider, renaming by the label, and
// when typed notes are saved.
#include "DesktopFixture.h"
#include "app/desktop/window/LTransportBar.h"
#include "app/shared/bus/LColorScheme.h"
#include "foundation/LSettings.h"
#include "ui/LDBDisplay.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>

namespace {

using View = LDictationListView;

TEST(WindowMath, PositionBarIn64BitsAndPlacementInsideTheDesktop)
{
    const int32_t nEightHours = 8 * 3600 * 1000;
    EXPECT_EQ(LTransportBar::PositionPercent(7 * 3600 * 1000, nEightHours), 87);
    EXPECT_EQ(LTransportBar::PositionPercent(500, 0), 0);
    const QRect desktop(0, 0, 1024, 768);
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(300, 80, 5000, 400), desktop), QRect(0, 80, 1024, 400));
    // Off the right and bottom: moved, not shrunk.
    EXPECT_EQ(MainDialog::ClampToDesktop(QRect(900, 700, 500, 400), desktop), QRect(524, 368, 500, 400));
    EXPECT_EQ(
        MainDialog::ClampToDesktop(QRect(-300, -20, 500, 400), QRect(100, 50, 800, 600)), QRect(100, 50, 500, 400));
}

TEST_F(DesktopTest, FirstStartIsSizedForAModernScreenInsideTheAvailableArea)
{
    EXPECT_EQ(MainDialog::FirstStartRect(QRect(0, 0, 1920, 1040)), QRect(510, 220, 900, 600));
    EXPECT_EQ(MainDialog::FirstStartRect(QRect(0, 30, 800, 570)), QRect(0, 30, 800, 570));
    Open();
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(dialog->size(), QSize(std::min(900, screen.width()), std::min(600, screen.height())));
}

// The slider seeks as the scroll bar did; the text beside it follows.
TEST_F(DesktopTest, PositionSliderSeeksAndShowsElapsedAndTotalTime)
{
    Make("One", 1, 50, 1);
    Open();
    auto* pSlider = static_cast<QSlider*>(dialog->Control(LControlIds::kIdPositionBar));
    auto* pText = static_cast<QLabel*>(dialog->Control(LControlIds::kIdPositionText));
    using A = QAbstractSlider;
    const struct {
        int32_t nLength;
        int nAction, nThumb;
        int32_t nPosition;
        const char* szText;
    } rows[] = { { 225000, A::SliderMove, 50, 112500, "1:52 / 3:45" },
        { 225000, A::SliderPageStepAdd, 0, 114500, "1:54 / 3:45" },
        { 7200000, A::SliderMove, 51, 3672000, "1:01:12 / 2:00:00" } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szText);
        Session().SetLength(row.nLength);
        if (row.nAction == A::SliderMove)
            pSlider->setSliderPosition(row.nThumb);
        else
            pSlider->triggerAction(A::SliderAction(row.nAction));
        EXPECT_EQ(Session().Position(), row.nPosition);
        EXPECT_EQ(pText->text(), row.szText);
        EXPECT_EQ(pSlider->value(), int(int64_t { 100 } * row.nPosition / row.nLength));
    }
}

// A dark choice of the desktop, read from a stand-in portal at start and
// followed on change, reaches the level meter's face.
TEST(PortalColorScheme, DarkAtStartThenLightOnChangeReachTheLevelMeter)
{
    TestApp();
    if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
        GTEST_SKIP() << "runs only on a private session bus (ctest desktop_portal_private_bus)";
    if (test::RunShell("/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-dbus or python3-gi missing (run scripts/setup.sh)";
    std::string pid;
    ASSERT_EQ(test::RunShell("FAKE_PORTAL_COLOR_SCHEME=1 /usr/bin/python3 " TAVRINE_SOURCE_DIR
                             "/tests/desktop/fake_portal.py >/dev/null 2>&1 & echo $!",
                  &pid),
        0);
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(
        PumpUntil([&] { return bus.interface()->isServiceRegistered("org.freedesktop.portal.Desktop").value(); }));
    // In a shown window, as in the program: a palette change reaches a window
    // through its platform window, and the widgets inside it from there.
    QWidget window;
    auto* pMeter = new LDBDisplay(&window);
    pMeter->resize(60, 20);
    window.show();
    auto face = [&] { return QColor(pMeter->grab().toImage().pixel(30, 10)).lightness(); };
    const int nLight = face();
    LColorScheme scheme;
    EXPECT_TRUE(scheme.Follow());
    EXPECT_TRUE(PumpUntil([&] { return face() < 100; }, 2000)) << face();
    EXPECT_GT(nLight, 120);
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop",
        "/org/freedesktop/portal/desktop", "org.orvane.TavrineTest.Portal", "SetColorScheme");
    call.setArguments({ QVariant::fromValue(uint32_t { 2 }) });
    bus.call(call);
    EXPECT_TRUE(PumpUntil([&] { return face() == nLight; }));
    test::RunShell("kill " + pid);
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
    EXPECT_EQ(LDictation(pFirst->GetPath()).GetName(), "Zulu");
    // A long one is cut to what the header holds.
    pAlpha->setText(View::kColName, QString(300, QChar('x')));
    std::string stored(LDictation(pFirst->GetPath()).GetName());
    EXPECT_GE(stored.size(), 90u);
    EXPECT_LE(stored.size(), 96u);
    EXPECT_EQ(pAlpha->text(View::kColName).toStdString(), stored);
}

// The Dictation column is as wide as its longest name needs, before and after
// a rename (the notes give way), until the user drags it: that width is the
// user's, kept for the next start.
TEST_F(DesktopTest, DictationColumnFitsItsNamesUntilTheUserSetsItsWidth)
{
    const QString kLong = QStringLiteral("Quarterly report for the board of directors, draft 3");
    LDictation* pShort = Make("Memo", 1, 50, 1);
    Make(kLong.toStdString(), 1, 50, 2);
    Open();
    View* pList = dialog->List();
    // Room enough that the notes have width to give.
    dialog->resize(1400, dialog->height());
    QCoreApplication::processEvents();
    const int nNeeded = pList->fontMetrics().horizontalAdvance(kLong);
    EXPECT_GT(pList->columnWidth(View::kColName), nNeeded);
    const int nNotes = pList->columnWidth(View::kColNotes);
    QTreeWidgetItem* pMemo = pList->FindRow(Listed(pShort)->nListIndex);
    pMemo->setText(View::kColName, kLong + QStringLiteral(", second draft"));
    EXPECT_GT(pList->columnWidth(View::kColName), nNeeded + pList->fontMetrics().horizontalAdvance(", second draft"));
    EXPECT_LT(pList->columnWidth(View::kColNotes), nNotes);
    EXPECT_EQ(GetSettingInt("MainWindow", "DictationColumnWidth", -1), -1);

    pList->header()->resizeSection(View::kColName, 150);
    EXPECT_EQ(GetSettingInt("MainWindow", "DictationColumnWidth", -1), 150);
    Close();
    Open();
    EXPECT_EQ(dialog->List()->columnWidth(View::kColName), 150);
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

// A question's confirming button says what it will do.
TEST(UserPrompts, AQuestionsButtonIsNamedByItsAction)
{
    const std::pair<const char*, const char*> rows[]
        = { { "Are you sure you want to delete the selected dictation(s)?", "Delete" },
              { "Are you sure you want to remove the selected attachment(s)?", "Remove" },
              { "Are you sure you want to delete the selected send-to recipient(s)?", "Delete" },
              { "Replace the existing file?", "OK" }, { "Are you sure you want to ", "OK" } };
    for (const auto& [szText, szButton] : rows)
        EXPECT_EQ(LUserPrompts::QuestionButton(QString::fromUtf8(szText)), QString::fromUtf8(szButton)) << szText;
}
