// The list of the Current folder's dictations in the main window: one row a
// dictation (name, date, time, duration, priority, first line of the notes,
// with an image for attachments), sorted by a header click, renamed by
// editing the label. It mirrors the session's list and reports the user's
// selection to the session; it never changes a dictation but its name.
// GUI thread.
#pragma once

#include <QTreeWidget>

#include <cstdint>

class LDictation;
class LSession;

class LDictationListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column : int { kColName, kColDate, kColTime, kColDuration, kColPriority, kColNotes, kColumnCount };

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

signals:
    void PlayRequested();

private:
    void Rebuild();
    void AddRow(int nId, bool bSelect);
    void RefreshRow(int nId, bool bResort);
    void FillRow(QTreeWidgetItem* pItem, const LDictation& dictation);
    void Sort();
    void OnHeaderClicked(int nColumn);
    void ReportSelection();

    LSession& m_session;
    QIcon m_rowImages[2];
    bool m_bFilling = false;
    int m_nSortColumn = kColName;
    bool m_bSortAscending = true;
};
