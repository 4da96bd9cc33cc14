// The list of the Current folder's dictations in the main window: one row a
// dictation (name, date, time, duration, priority, send status, first line of the notes,
// with an image for attachments), sorted by a header click, renamed by
// editing the label. It mirrors the session's list and reports the user's
// selection to the session; it never changes a dictation but its name.
// A long list is shown progressively: the rows that show first (the end of
// the sorted list, where the current row is) at once, the rows above them in
// slices from the event loop, so input is handled while they arrive. GUI
// thread.
#pragma once

#include <QTimer>
#include <QTreeWidget>

#include <cstdint>
#include <vector>

class LDictation;
class QKeyEvent;
class LSession;

class LDictationListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column : int { kColName, kColDate, kColTime, kColDuration, kColPriority, kColStatus, kColNotes, kColumnCount };

    LDictationListView(LSession& session, QWidget* pParent);

    QTreeWidgetItem* FindRow(int nId) const;
    // Image of a row: 0 plain, 1 with attachments.
    static int RowImage(const QTreeWidgetItem* pItem);
    static int RowId(const QTreeWidgetItem* pItem);
    // "%.2d:%.2d" of whole minutes and seconds.
    static QString DurationText(uint32_t uSeconds);

    // Stores an edited label as the dictation's name (cut to what the header
    // holds); a refused or empty one puts the stored name back.
    bool RenameDictation(QTreeWidgetItem* pItem, const QString& text);
    // Opens the current row's label for editing; false without one.
    bool StartRename();

    // True while rows of the last rebuild are still to come.
    bool IsFilling() const { return !m_pending.empty(); }
    // Makes every row still to come now.
    void FinishFill();
    // The Dictation column as wide as its longest name needs (the notes give
    // way), or as wide as the user last made it (kept per user). With a
    // changed dictation, only that name is measured and the column only grows.
    void FitNameColumn(const LDictation* pChanged = nullptr);

signals:
    void PlayRequested();

protected:
    // A key that moves or selects acts on the whole list: Ctrl+A, End or
    // Shift+End must not stop at the rows that have arrived so far.
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void Rebuild();
    // The session's dictations in the order of the current sort.
    std::vector<int> SortedIds() const;
    // Puts rows for up to nMax of the pending dictations above the rows
    // there, for at most nMs (never when 0) milliseconds.
    void FillSlice(size_t nMax, int nMs);
    void AddRow(int nId, bool bSelect);
    void RefreshRow(int nId, bool bResort);
    void FillRow(QTreeWidgetItem* pItem, const LDictation& dictation);
    void Sort();
    int NameWidth(const LDictation& dictation) const;
    void OnHeaderClicked(int nColumn);
    void ReportSelection();

    LSession& m_session;
    QIcon m_rowImages[2];
    bool m_bFilling = false;
    int m_nSortColumn = kColName;
    bool m_bSortAscending = true;
    bool m_bFittingName = false;
    // Dictations without a row yet, in sorted order; the rows there follow them.
    std::vector<int> m_pending;
    QTimer m_fillTimer;
};
