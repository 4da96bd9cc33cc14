#include "DesktopFixture.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

void Select(MainDialog& dialog, const LDictation* pDictation)
{
    QTreeWidgetItem* pRow = dialog.FindRow(pDictation->nListIndex);
    ASSERT_NE(pRow, nullptr);
    dialog.List()->clearSelection();
    dialog.List()->setCurrentItem(pRow);
}

// The notes as the file holds them now.
std::string StoredNotes(const LDictation* pDictation)
{
    return LDictation(pDictation->GetPath()).GetNotes();
}

class NotesTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        Make("One", 1, 50, 1, "kept");
        Make("Two", 1, 50, 2);
        Open();
        pOne = dialog->Dictations().FindFileNumber(made[0]->GetFileNumber());
        pTwo = dialog->Dictations().FindFileNumber(made[1]->GetFileNumber());
    }
    LDictation* pOne = nullptr;
    LDictation* pTwo = nullptr;
};

TEST_F(NotesTest, TypedNotesAreSavedThreeSecondsLater)
{
    Select(*dialog, pOne);
    EXPECT_EQ(dialog->Notes()->toPlainText(), "kept");
    dialog->Notes()->setPlainText("kept\nand more");
    EXPECT_TRUE(dialog->IsNotesChanged());
    PumpFor(1500);
    EXPECT_EQ(StoredNotes(pOne), "kept");
    ASSERT_TRUE(PumpUntil([&] { return !dialog->IsNotesChanged(); }, 4000));
    EXPECT_EQ(StoredNotes(pOne), "kept\nand more");
    EXPECT_EQ(dialog->FindRow(pOne->nListIndex)->text(MainDialog::kColNotes), "kept and more");
}

TEST_F(NotesTest, SwitchingDictationWithinThreeSecondsSavesToTheOneTyped)
{
    Select(*dialog, pOne);
    dialog->Notes()->setPlainText("for one");
    Select(*dialog, pTwo);
    EXPECT_EQ(StoredNotes(pOne), "for one");
    EXPECT_EQ(dialog->Notes()->toPlainText(), "");
    // Nothing is left pending that could land on the second one.
    PumpFor(3300);
    EXPECT_EQ(StoredNotes(pTwo), "");
    EXPECT_EQ(StoredNotes(pOne), "for one");
}

TEST_F(NotesTest, ReListingAndClosingSaveNotesFirst)
{
    Select(*dialog, pTwo);
    dialog->Notes()->setPlainText("before the list is rebuilt");
    const std::string twoPath = pTwo->GetPath();
    dialog->ListDictations(); // the list's objects are new now
    EXPECT_EQ(LDictation(twoPath).GetNotes(), "before the list is rebuilt");

    LDictation* pNewTwo = dialog->Dictations().FindFileNumber(made[1]->GetFileNumber());
    Select(*dialog, pNewTwo);
    dialog->Notes()->setPlainText("at exit");
    dialog->close();
    EXPECT_EQ(StoredNotes(pNewTwo), "at exit");
}

} // namespace
