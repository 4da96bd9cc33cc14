#include "app/desktop/window/LDictationListView.h"

#include "app/desktop/session/LSession.h"
#include "app/desktop/window/LIcons.h"
#include "app/desktop/window/LWindowKeys.h"
#include "dictation/LDictation.h"
#include "foundation/LDateTime.h"
#include "foundation/LText.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

constexpr int kColumnWidths[] = { 120, 90, 70, 58, 70, 110 };
// Around the name and its image: the cell's margins and the sort indicator's room.
constexpr int kNamePadding = 24;
constexpr int kMostNameWidth = 400;

// A column's order: by the number of its sort role where both have one,
// else by text, without case first.
int CompareCells(const QVariant& a, const QString& textA, const QVariant& b, const QString& textB)
{
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
        qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    int nOrder = QString::compare(textA, textB, Qt::CaseInsensitive);
    return nOrder != 0 ? nOrder : QString::localeAwareCompare(textA, textB);
}

class DictationRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override
    {
        int nColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
        int nOrder = CompareCells(
            data(nColumn, kSortRole), text(nColumn), other.data(nColumn, kSortRole), other.text(nColumn));
        if (nOrder != 0)
            return nOrder < 0;
        return data(0, kIdRole).toInt() < other.data(0, kIdRole).toInt();
    }
};

// What a row of this dictation holds in the sort column, without making the
// row: the same cells FillRow writes.
struct SortCell {
    QVariant value;
    QString text;
    int nId;
};

// A dictation that came back from a failed send carries why in its send status.
QString StatusText(const LDictation& dictation)
{
    const std::string_view status = dictation.GetSendStatus();
    return QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size()));
}

SortCell CellOf(const LDictation& dictation, int nColumn)
{
    const DictationHeader& h = dictation.Header();
    switch (nColumn) {
    case LDictationListView::kColDate:
    case LDictationListView::kColTime:
        return { qlonglong { h.tCreated }, {}, dictation.nListIndex };
    case LDictationListView::kColDuration:
        return { qlonglong { h.uDuration }, {}, dictation.nListIndex };
    case LDictationListView::kColPriority:
        return { qlonglong { h.uPriority }, {}, dictation.nListIndex };
    case LDictationListView::kColStatus:
        return { {}, StatusText(dictation), dictation.nListIndex };
    case LDictationListView::kColNotes:
        return { {}, QString::fromStdString(dictation.GetNotesLine()), dictation.nListIndex };
    default:
        return { {}, QString::fromUtf8(dictation.GetName().data(), static_cast<qsizetype>(dictation.GetName().size())),
            dictation.nListIndex };
    }
}

// Rows the first screenful surely holds, and a slice's bounds: a slice
// leaves the event loop free again within a few milliseconds.
constexpr size_t kFirstRows = 200;
constexpr size_t kSliceRows = 500;
constexpr int kSliceMs = 8;

} // namespace

LDictationListView::LDictationListView(LSession& session, QWidget* pParent)
    : QTreeWidget(pParent)
    , m_session(session)
{
    m_rowImages[0] = LIcons::DictationIcon(false);
    m_rowImages[1] = LIcons::DictationIcon(true);
    setColumnCount(kColumnCount);
    setHeaderLabels({ "Dictation", "Date", "Time", "Dur", "Priority", "Status", "Notes" });
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
    connect(header(), &QHeaderView::sectionResized, this, [this](int nColumn, int, int nWidth) {
        if (nColumn == kColName && !m_bFittingName)
            (void)WindowKeys::kNameColumnWidth.Set(nWidth);
    });
    FitNameColumn();
    connect(this, &QTreeWidget::itemDoubleClicked, this, &LDictationListView::PlayRequested);
    // A zero timer: each slice runs once the window system's events are handled.
    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, [this] { FillSlice(kSliceRows, kSliceMs); });
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
    pItem->setText(kColStatus, StatusText(dictation));
    pItem->setToolTip(kColStatus, StatusText(dictation));
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

int LDictationListView::NameWidth(const LDictation& dictation) const
{
    const std::string_view name = dictation.GetName();
    const int nText
        = fontMetrics().horizontalAdvance(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    const int nIcon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    // A name of the longest kind would leave the notes nothing.
    return std::min(nText + nIcon + kNamePadding, kMostNameWidth);
}

void LDictationListView::FitNameColumn(const LDictation* pChanged)
{
    int nWidth = WindowKeys::kNameColumnWidth.Get();
    if (nWidth <= 0 && pChanged) {
        // One row: the column only grows, so a refresh costs one measure.
        nWidth = std::max(columnWidth(kColName), NameWidth(*pChanged));
    } else if (nWidth <= 0) {
        // The session's names, so that rows still to come count too.
        nWidth = kColumnWidths[kColName];
        for (const LDictation& dictation : m_session.List())
            nWidth = std::max(nWidth, NameWidth(dictation));
    }
    if (nWidth == columnWidth(kColName))
        return;
    m_bFittingName = true;
    setColumnWidth(kColName, nWidth);
    m_bFittingName = false;
}

void LDictationListView::Rebuild()
{
    // A fill under way is of the list's former objects.
    m_fillTimer.stop();
    m_pending = SortedIds();
    m_bFilling = true;
    {
        const QSignalBlocker block(this);
        clear();
        header()->setSortIndicator(m_nSortColumn, m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        FillSlice(kFirstRows, 0);
        if (int n = topLevelItemCount(); n > 0) {
            QTreeWidgetItem* pLast = topLevelItem(n - 1);
            setCurrentItem(pLast);
            scrollToItem(pLast);
        }
    }
    m_bFilling = false;
    FitNameColumn();
    ReportSelection();
    if (IsFilling())
        m_fillTimer.start();
}

std::vector<int> LDictationListView::SortedIds() const
{
    std::vector<SortCell> cells;
    cells.reserve(m_session.List().Count());
    for (const LDictation& dictation : m_session.List())
        cells.push_back(CellOf(dictation, m_nSortColumn));
    const bool bAscending = m_bSortAscending;
    // The order sortItems gives: a descending sort reverses the whole order,
    // the tie on the id included.
    std::sort(cells.begin(), cells.end(), [bAscending](const SortCell& a, const SortCell& b) {
        int nOrder = CompareCells(a.value, a.text, b.value, b.text);
        if (nOrder == 0)
            nOrder = a.nId < b.nId ? -1 : (a.nId > b.nId ? 1 : 0);
        return bAscending ? nOrder < 0 : nOrder > 0;
    });
    std::vector<int> ids;
    ids.reserve(cells.size());
    for (const SortCell& cell : cells)
        ids.push_back(cell.nId);
    return ids;
}

void LDictationListView::FillSlice(size_t nMax, int nMs)
{
    QElapsedTimer spent;
    spent.start();
    QList<QTreeWidgetItem*> rows;
    while (!m_pending.empty() && static_cast<size_t>(rows.size()) < nMax && (nMs == 0 || spent.elapsed() < nMs)) {
        const LDictation* pDictation = m_session.Find(m_pending.back());
        m_pending.pop_back();
        if (!pDictation)
            continue;
        auto* pItem = new DictationRow();
        FillRow(pItem, *pDictation);
        rows.push_back(pItem);
    }
    if (!IsFilling())
        m_fillTimer.stop();
    if (rows.isEmpty())
        return;
    std::reverse(rows.begin(), rows.end());
    // Rows go in above the ones shown, which stay where the user sees them.
    QTreeWidgetItem* pTop = itemAt(0, 0);
    const bool bWasFilling = m_bFilling;
    m_bFilling = true;
    insertTopLevelItems(0, rows);
    m_bFilling = bWasFilling;
    if (pTop)
        scrollToItem(pTop, QAbstractItemView::PositionAtTop);
}

void LDictationListView::FinishFill()
{
    FillSlice(m_pending.size(), 0);
}

void LDictationListView::keyPressEvent(QKeyEvent* pEvent)
{
    FinishFill();
    QTreeWidget::keyPressEvent(pEvent);
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
    FitNameColumn(pDictation);
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
    if (!pRow && IsFilling()) {
        // Its place among the rows to come may have changed.
        FinishFill();
        pRow = FindRow(nId);
    }
    const LDictation* pDictation = m_session.Find(nId);
    if (!pRow || !pDictation)
        return;
    FillRow(pRow, *pDictation);
    FitNameColumn(pDictation);
    if (bResort) {
        Sort();
        if (QTreeWidgetItem* pCurrent = currentItem())
            scrollToItem(pCurrent);
    }
}

void LDictationListView::Sort()
{
    // The rows to come were ordered for the former sort, and a row moved
    // among them belongs between rows not made yet.
    FinishFill();
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
    FitNameColumn(pDictation);
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
