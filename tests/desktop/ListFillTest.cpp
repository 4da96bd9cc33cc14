// A long list arrives in slices: what the user does while rows are still
// coming must hold once they are all there.
#include "foundation/LText.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/Records.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <set>

namespace {

using View = LDictationListView;
constexpr int kRows = 3000;

// Records how many rows were there when each key reached the list.
class KeyWatch : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::KeyPress)
            rowsAtKey.push_back(static_cast<QTreeWidget*>(pObject)->topLevelItemCount());
        return false;
    }
    std::vector<int> rowsAtKey;
};

struct FillCase {
    const char* szWhat;
    // Done while rows are still to come; returns the row expected current at the end.
    std::function<int(LSession&, View&)> midFill;
    // Ctrl+A: every dictation selected, not only those there at the key
    // (the session's current is then the first in the list's order).
    bool bAll = false;
};

class ListFillTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        // Names out of file-number order, durations in their own order.
        for (uint32_t n = 1; n <= kRows; ++n) {
            const std::string name = tplprintf("D%.4d", static_cast<int>((n * 7919u) % kRows));
            test::DdfBuilder ddf(n, name);
            ddf.Put8(192, static_cast<uint8_t>(n % 251));
            ASSERT_TRUE(test::WriteFileBytes(
                tplprintf("%s/%d.ddf", engine->GetCurrentFolder(), static_cast<int>(n)), ddf.Bytes()));
        }
    }
    View& List() { return *dialog->List(); }
    int CurrentId() { return List().currentItem() ? View::RowId(List().currentItem()) : -1; }
};

const FillCase kCases[] = {
    { "a click on a row that is there",
        [](LSession&, View& list) {
            QTreeWidgetItem* pRow = list.topLevelItem(list.topLevelItemCount() - 7);
            list.setCurrentItem(pRow);
            return View::RowId(pRow);
        } },
    { "a sort by duration",
        [](LSession&, View& list) {
            const int nId = View::RowId(list.currentItem());
            emit list.header()->sectionClicked(View::kColDuration);
            return nId;
        } },
    { "a rename that sorts among the rows to come",
        [](LSession&, View& list) {
            EXPECT_TRUE(list.RenameDictation(list.currentItem(), QStringLiteral("A first")));
            return View::RowId(list.currentItem());
        } },
    { "a rebuild",
        [](LSession& session, View& list) {
            session.Rebuild();
            EXPECT_TRUE(list.IsFilling());
            return list.RowId(list.currentItem());
        } },
    { "a key press from the event loop",
        [](LSession&, View& list) {
            const int nAbove = View::RowId(list.topLevelItem(list.topLevelItemCount() - 2));
            auto* pWatch = new KeyWatch;
            pWatch->setParent(&list);
            list.installEventFilter(pWatch);
            QCoreApplication::postEvent(&list, new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
            EXPECT_TRUE(PumpUntil([&] { return !pWatch->rowsAtKey.empty(); }, 2000));
            EXPECT_EQ(nAbove, View::RowId(list.currentItem()));
            EXPECT_LT(pWatch->rowsAtKey.at(0), kRows) << "the key waited for the whole list";
            list.removeEventFilter(pWatch);
            return nAbove;
        } },
    { "select all",
        [](LSession&, View& list) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
            QCoreApplication::sendEvent(&list, &key);
            return View::RowId(list.currentItem());
        },
        true },
};

TEST_F(ListFillTest, WhatIsDoneWhileRowsArriveHoldsOnceTheyAreAllThere)
{
    Open();
    for (const FillCase& c : kCases) {
        SCOPED_TRACE(c.szWhat);
        // Each case starts by name, on a fresh fill after a finished one.
        ASSERT_TRUE(PumpUntil([&] { return !List().IsFilling(); }, 10000));
        if (List().header()->sortIndicatorSection() != View::kColName)
            emit List().header()->sectionClicked(View::kColName);
        Session().Rebuild();
        ASSERT_TRUE(List().IsFilling()) << List().topLevelItemCount() << " of " << Session().List().Count();
        ASSERT_LT(List().topLevelItemCount(), kRows);
        const int nCurrent = c.midFill(Session(), List());
        ASSERT_TRUE(PumpUntil([&] { return !List().IsFilling(); }, 10000));

        ASSERT_EQ(kRows, List().topLevelItemCount());
        std::set<int> ids;
        for (int i = 0; i < kRows; ++i)
            ids.insert(View::RowId(List().topLevelItem(i)));
        EXPECT_EQ(static_cast<size_t>(kRows), ids.size()) << "each dictation once";
        const int nColumn = List().header()->sortIndicatorSection();
        const QStringList cells = Column(&List(), nColumn);
        EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end())) << "sorted by column " << nColumn;
        EXPECT_EQ(nCurrent, CurrentId());
        if (c.bAll) {
            EXPECT_EQ(static_cast<size_t>(kRows), Session().Selection().size());
            continue;
        }
        EXPECT_EQ(std::vector<int> { nCurrent }, Session().Selection());
        EXPECT_EQ(nCurrent, Session().CurrentId());
    }
}

} // namespace
