#include "app/desktop/window/LDictationListView.h"

#include "app/desktop/session/LSession.h"
#include "app/desktop/window/LIcons.h"
#include "dictation/LDictation.h"
#include "foundation/LDateTime.h"
#include "foundation/LText.h"

#include <QHeaderView>

#include <vector>

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

constexpr int kColumnWidths[] = { 120, 90, 70, 58, 70 };

class DictationRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override
    {
        int nColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
        QVariant a = data(nColumn, kSortRole);
        QVariant b = other.data(nColumn, kSortRole);
        int nOrder = 0;
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
            qlonglong x = a.toLongLong(), y = b.toLongLong();
            nOrder = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            nOrder = QString::compare(text(nColumn), other.text(nColumn), Qt::CaseInsensitive);
            if (nOrder == 0)
                nOrder = QString::localeAwareCompare(text(nColumn), other.text(nColumn));
        }
        if (nOrder != 0)
            return nOrder < 0;
        return data(0, kIdRole).toInt() < other.data(0, kIdRole).toInt();
    }
};

} // namespace

LDictationListView::LDictationListView(LSession& session, QWidget* pParent)
    : QTreeWidget(pParent)
    , m_session(session)
{
    m_rowImages[0] = LIcons::DictationIcon(false);
    m_rowImages[1] = LIcons::DictationIcon(true);
    setColumnCount(kColumnCount);
    setHeaderLabels({ "Dictation", "Date", "Time", "Dur", "Priority", "Notes" });
    // Read aloud, the short column title is said in full.
    headerItem()->setData(kColDuration, Qt::AccessibleTextRole, QStringLiteral("Duration"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setToolTip(QStringLiteral("List of current dictations"));
    for (int i = 0; i < kColNotes; ++i)
        setColumnWidth(i, kColumnWidths[i]);
    // The last column takes what the other five leave of the list's width.
    header()->setStretchLastSection(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(m_nSortColumn, Qt::AscendingOrder);
    // Small minimums, so that the window can shrink into its compact form.
    setMinimumSize(60, 12);

    connect(this, &QTreeWidget::itemSelectionChanged, this, &LDictationListView::ReportSelection);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* pItem, int nColumn) {
        if (!m_bFilling && nColumn == kColName)
            RenameDictation(pItem, pItem->text(kColName));
    });
    connect(header(), &QHeaderView::sectionClicked, this, &LDictationListView::OnHeaderClicked);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &LDictationListView::PlayRequested);
    connect(&m_session, &LSession::ListRebuilt, this, &LDictationListView::Rebuild);
    connect(&m_session, &LSession::DictationAdded, this, &LDictationListView::AddRow);
    connect(&m_session, &LSession::DictationChanged, this, &LDictationListView::RefreshRow);
}

QString LDictationListView::DurationText(uint32_t uSeconds)
{
    return QString::fromStdString(
        tplprintf("%.2d:%.2d", static_cast<int32_t>(uSeconds / 60), static_cast<int32_t>(uSeconds % 60)));
}

int LDictationListView::RowImage(const QTreeWidgetItem* pItem)
{
    return pItem->data(kColName, kImageRole).toInt();
}

int LDictationListView::RowId(const QTreeWidgetItem* pItem)
{
    return pItem->data(kColName, kIdRole).toInt();
}

void LDictationListView::FillRow(QTreeWidgetItem* pItem, const LDictation& dictation)
{
    bool bWasFilling = m_bFilling;
    m_bFilling = true;
    const DictationHeader& h = dictation.Header();
    bool bAttached = h.nAttachments > 0 || dictation.GetAttachments().Count() > 0;
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    pItem->setText(
        kColName, QString::fromUtf8(dictation.GetName().data(), static_cast<qsizetype>(dictation.GetName().size())));
    pItem->setData(kColName, kIdRole, dictation.nListIndex);
    pItem->setData(kColName, kImageRole, bAttached ? 1 : 0);
    pItem->setIcon(kColName, m_rowImages[bAttached ? 1 : 0]);
    LDateTime created(h.tCreated);
    pItem->setText(kColDate, QString::fromStdString(created.Date()));
    pItem->setData(kColDate, kSortRole, qlonglong { h.tCreated });
    pItem->setText(kColTime, QString::fromStdString(created.Time()));
    pItem->setData(kColTime, kSortRole, qlonglong { h.tCreated });
    pItem->setText(kColDuration, DurationText(h.uDuration));
    pItem->setData(kColDuration, kSortRole, qlonglong { h.uDuration });
    pItem->setText(kColPriority, QString::fromUtf8(PriorityText(h.uPriority)));
    pItem->setData(kColPriority, kSortRole, qlonglong { h.uPriority });
    pItem->setText(kColNotes, QString::fromStdString(dictation.GetNotesLine()));
    m_bFilling = bWasFilling;
}

QTreeWidgetItem* LDictationListView::FindRow(int nId) const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (RowId(topLevelItem(i)) == nId)
            return topLevelItem(i);
    return nullptr;
}

void LDictationListView::Rebuild()
{
    m_bFilling = true;
    {
        const QSignalBlocker block(this);
        clear();
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(m_session.List().Count()));
        for (const LDictation& dictation : m_session.List()) {
            auto* pItem = new DictationRow();
            FillRow(pItem, dictation);
            rows.push_back(pItem);
        }
        addTopLevelItems(rows);
        Sort();
        if (int n = topLevelItemCount(); n > 0) {
            QTreeWidgetItem* pLast = topLevelItem(n - 1);
            setCurrentItem(pLast);
            scrollToItem(pLast);
        }
    }
    m_bFilling = false;
    ReportSelection();
}

void LDictationListView::AddRow(int nId, bool bSelect)
{
    const LDictation* pDictation = m_session.Find(nId);
    if (!pDictation)
        return;
    auto* pItem = new DictationRow();
    FillRow(pItem, *pDictation);
    m_bFilling = true;
    addTopLevelItem(pItem);
    Sort();
    if (bSelect) {
        // The session has made it current already.
        clearSelection();
        setCurrentItem(pItem);
        scrollToItem(pItem);
        setFocus();
    }
    m_bFilling = false;
}

void LDictationListView::RefreshRow(int nId, bool bResort)
{
    QTreeWidgetItem* pRow = FindRow(nId);
    const LDictation* pDictation = m_session.Find(nId);
    if (!pRow || !pDictation)
        return;
    FillRow(pRow, *pDictation);
    if (bResort) {
        Sort();
        if (QTreeWidgetItem* pCurrent = currentItem())
            scrollToItem(pCurrent);
    }
}

void LDictationListView::Sort()
{
    const Qt::SortOrder order = m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    sortItems(m_nSortColumn, order);
    header()->setSortIndicator(m_nSortColumn, order);
}

void LDictationListView::OnHeaderClicked(int nColumn)
{
    m_bSortAscending = nColumn == m_nSortColumn ? !m_bSortAscending : true;
    m_nSortColumn = nColumn;
    Sort();
    if (QTreeWidgetItem* pItem = currentItem())
        scrollToItem(pItem);
}

void LDictationListView::ReportSelection()
{
    if (m_bFilling)
        return;
    std::vector<int> ids;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            ids.push_back(RowId(topLevelItem(i)));
    m_session.Select(std::move(ids));
    setFocus();
}

bool LDictationListView::RenameDictation(QTreeWidgetItem* pItem, const QString& text)
{
    LDictation* pDictation = pItem ? m_session.Find(RowId(pItem)) : nullptr;
    if (!pDictation)
        return false;
    bool bDone = false;
    if (!text.isEmpty()) {
        std::string name = text.toStdString();
        bDone = pDictation->SetName(CutUtf8(name, 96));
    }
    // A refused or empty name puts the stored one back in the row.
    FillRow(pItem, *pDictation);
    Sort();
    scrollToItem(pItem);
    return bDone;
}

bool LDictationListView::StartRename()
{
    QTreeWidgetItem* pItem = currentItem();
    if (!pItem || !m_session.Current())
        return false;
    editItem(pItem, kColName);
    return true;
}
