#include "DesktopFixture.h"
#include "foundation/LSettings.h"

#include <QDateTime>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

QStringList Column(const MainDialog& dialog, int nColumn)
{
    QStringList out;
    for (int i = 0; i < dialog.List()->topLevelItemCount(); ++i)
        out << dialog.List()->topLevelItem(i)->text(nColumn);
    return out;
}

QTreeWidgetItem* Row(const MainDialog& dialog, const QString& name)
{
    auto found = dialog.List()->findItems(name, Qt::MatchExactly, MainDialog::kColName);
    return found.isEmpty() ? nullptr : found.front();
}

TEST_F(DesktopTest, RowsShowDurationPriorityDateNotesAndAttachmentImage)
{
    const uint32_t tCreated = 1765000000;
    Make("Short", 75, 50, tCreated, "first line\nsecond\tline");
    Make("Urgent", 3599, 100, tCreated + 3600);
    LDictation* pAttached = Make("Attached", 0, 20, tCreated);
    test::TempDir files;
    test::WriteFileBytes(files.File("scan.pdf"), { 1, 2, 3 });
    ASSERT_TRUE(pAttached->AddAttachment(files.File("scan.pdf")));

    MainDialog& dialog = Open();
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 3);
    QTreeWidgetItem* pShort = Row(dialog, "Short");
    QTreeWidgetItem* pUrgent = Row(dialog, "Urgent");
    QTreeWidgetItem* pAttachedRow = Row(dialog, "Attached");
    ASSERT_TRUE(pShort && pUrgent && pAttachedRow);

    EXPECT_EQ(pShort->text(MainDialog::kColDuration), "01:15");
    EXPECT_EQ(pUrgent->text(MainDialog::kColDuration), "59:59");
    EXPECT_EQ(pAttachedRow->text(MainDialog::kColDuration), "00:00");
    EXPECT_EQ(pShort->text(MainDialog::kColPriority), "Normal");
    EXPECT_EQ(pUrgent->text(MainDialog::kColPriority), "High");
    EXPECT_EQ(pAttachedRow->text(MainDialog::kColPriority), "Low");

    QDateTime local = QDateTime::fromSecsSinceEpoch(tCreated + 3600);
    EXPECT_EQ(pUrgent->text(MainDialog::kColDate), local.toString("yyyy-MM-dd"));
    EXPECT_EQ(pUrgent->text(MainDialog::kColTime), local.toString("HH:mm:ss"));

    EXPECT_EQ(pShort->text(MainDialog::kColNotes), "first line second line");
    EXPECT_EQ(MainDialog::RowImage(pAttachedRow), 1);
    EXPECT_EQ(MainDialog::RowImage(pShort), 0);
    EXPECT_FALSE(pAttachedRow->icon(0).isNull());
    EXPECT_NE(pAttachedRow->icon(0).cacheKey(), pShort->icon(0).cacheKey());
    // The last row in the list's order is selected and current.
    QTreeWidgetItem* pLast = dialog.List()->topLevelItem(2);
    EXPECT_TRUE(pLast->isSelected());
    EXPECT_EQ(dialog.GetCurrentId(), MainDialog::RowId(pLast));
}

TEST_F(DesktopTest, HeaderClicksSortByValueAndASecondClickReverses)
{
    Make("b", 600, 50, 300);
    Make("C", 5, 100, 100);
    Make("a", 75, 20, 200);
    MainDialog& dialog = Open();
    QHeaderView* pHeader = dialog.List()->header();
    // Names compare without case.
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "a", "b", "C" }));

    emit pHeader->sectionClicked(MainDialog::kColDuration);
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "C", "a", "b" }));
    emit pHeader->sectionClicked(MainDialog::kColDuration);
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "b", "a", "C" }));

    // Priority sorts by its value, not by the words.
    emit pHeader->sectionClicked(MainDialog::kColPriority);
    EXPECT_EQ(Column(dialog, MainDialog::kColPriority), (QStringList { "Low", "Normal", "High" }));
    emit pHeader->sectionClicked(MainDialog::kColDate);
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "C", "a", "b" }));
}

TEST_F(DesktopTest, EditingTheLabelRenamesOnDiskAndResorts)
{
    LDictation* pFirst = Make("Alpha", 1, 50, 1);
    Make("Beta", 1, 50, 2);
    MainDialog& dialog = Open();
    QTreeWidgetItem* pAlpha = Row(dialog, "Alpha");
    pAlpha->setText(MainDialog::kColName, "Zulu");
    EXPECT_EQ(LDictation(pFirst->GetPath()).GetName(), "Zulu");
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "Beta", "Zulu" }));

    // An empty label keeps the name.
    pAlpha->setText(MainDialog::kColName, "");
    EXPECT_EQ(pAlpha->text(MainDialog::kColName), "Zulu");
    EXPECT_EQ(LDictation(pFirst->GetPath()).GetName(), "Zulu");

    // A long one is cut to what the header holds.
    pAlpha->setText(MainDialog::kColName, QString(300, QChar('x')));
    std::string stored(LDictation(pFirst->GetPath()).GetName());
    EXPECT_GE(stored.size(), 90u);
    EXPECT_LE(stored.size(), 96u);
    EXPECT_EQ(pAlpha->text(MainDialog::kColName).toStdString(), stored);
}

TEST_F(DesktopTest, NewCreatesDefaultNamesSelectedAndStored)
{
    MainDialog& dialog = Open();
    ASSERT_TRUE(dialog.Command(101));
    ASSERT_TRUE(dialog.Command(1001));
    EXPECT_EQ(Column(dialog, MainDialog::kColName), (QStringList { "Dictation 1", "Dictation 2" }));
    QTreeWidgetItem* pSecond = Row(dialog, "Dictation 2");
    EXPECT_TRUE(pSecond->isSelected());
    EXPECT_EQ(dialog.GetCurrentId(), MainDialog::RowId(pSecond));
    LDictationList reread(engine->GetCurrentFolder());
    EXPECT_EQ(reread.Count(), 2u);
    // The counter wraps after 999.
    SetSettingInt("Settings", "DisplayFileNumber", 999);
    dialog.Command(1001);
    EXPECT_NE(Row(dialog, "Dictation 1"), nullptr);
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 3);
    // Commands of later work are present but refused.
    EXPECT_FALSE(dialog.Command(1044));
    EXPECT_FALSE(dialog.MenuAction(1044)->isEnabled());
}

TEST_F(DesktopTest, WithoutDictationsTheTransportIsDisabledAtZero)
{
    MainDialog& dialog = Open();
    EXPECT_EQ(dialog.GetCurrentId(), -1);
    EXPECT_EQ(dialog.GetLength(), 0);
    EXPECT_EQ(dialog.GetPosition(), 0);
    for (int nId : { MainDialog::kIdPlay, MainDialog::kIdStop, MainDialog::kIdGoEnd, MainDialog::kIdPositionBar,
             MainDialog::kIdNotes })
        EXPECT_FALSE(dialog.Control(nId)->isEnabled()) << nId;
    dialog.Command(1001);
    EXPECT_TRUE(dialog.Control(MainDialog::kIdPlay)->isEnabled());
    EXPECT_TRUE(dialog.Control(MainDialog::kIdNotes)->isEnabled());
}

} // namespace
