// The program's one main window: the dictations of the Current folder, the
// notes of the current one, the transport row, tool bar and status bar. Lives
// on the GUI thread for the life of the program; worker threads reach it only
// through queued notifications.
#pragma once

#include "app/desktop/LSendStatusSource.h"
#include "dictation/LDictationList.h"
#include "foundation/LThreadQueuedNotify.h"

#include <QIcon>
#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class LDBDisplay;
class LDictationCommands;
class LDictationEngineSettings;
class LMainLoop;
class LTransport;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollBar;
class QSplitter;
class QToolButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

class MainDialog : public QMainWindow {
    Q_OBJECT
public:
    // Control identifiers of the window, as other parts of the program name them.
    enum ControlId : int {
        kIdList = 100,
        kIdNotes = 151,
        kIdControlFrame = 200,
        kIdPlay = 201,
        kIdRecord = 202,
        kIdStop = 203,
        kIdGoStart = 211,
        kIdRewind = 212,
        kIdFastForward = 213,
        kIdGoEnd = 214,
        kIdLevel = 251,
        kIdPositionText = 252,
        kIdPositionBar = 253,
        kIdStatusBar = 800,
    };
    enum Column : int { kColName, kColDate, kColTime, kColDuration, kColPriority, kColNotes, kColumnCount };
    static constexpr int kCompactHeight = 230;
    static constexpr int kNotesSaveDelayMs = 3000;

    // pQueue may be null (no send queue); the window starts it on "sending.dat".
    MainDialog(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Shows the window restored (or maximised, as it was) and brings it forward.
    void OpenWindow();
    // The dispatcher of menu, tool-bar and control commands; false for a
    // command that is not available.
    bool Command(int nId);

    void ListDictations();
    void InitCurrentDictation();
    void SaveCurrentDictationNote();
    bool RenameDictation(QTreeWidgetItem* pItem, const QString& text);
    // The new-dictation command (see LDictationCommands::CmNewFile).
    LDictation* CmNewFile();
    // New, delete, priority, attachments, undo and redo, with their seams.
    LDictationCommands& DictationCommands() { return *m_pCommands; }
    void SetPosition(int32_t nMs);
    // The length the position bar spans; the transport grows it while recording.
    void SetLength(int32_t nMs);
    // Shows a dictation's row again after its header changed.
    void RefreshRow(int nId);
    // Play, record, stop and the other transport commands.
    LTransport& Transport() { return *m_pTransport; }

    // 100 × position ÷ length, in 64 bits; 0 for a length below 1 ms.
    static int PositionPercent(int32_t nPositionMs, int32_t nLengthMs);
    // Length in milliseconds of a sample count at a rate; 0 for no rate.
    static int32_t LengthMs(uint64_t uSamples, uint32_t uRate);
    // The window rectangle pulled inside the desktop: no larger than it, then
    // moved so that no edge lies outside.
    static QRect ClampToDesktop(const QRect& window, const QRect& desktop);
    // "%.2d:%.2d" of whole minutes and seconds.
    static QString DurationText(uint32_t uSeconds);
    // The program's icon, drawn so that it needs no image plugin.
    static QIcon AppIcon();

    // State the tests and the screenshot script look at.
    LDictationList& Dictations() { return m_list; }
    QTreeWidget* List() const { return m_pList; }
    QPlainTextEdit* Notes() const { return m_pNotes; }
    QWidget* Control(int nId) const;
    QAction* MenuAction(int nId) const;
    int GetCurrentId() const { return m_nCurrentId; }
    bool IsCompact() const { return m_bCompact; }
    bool IsNotesChanged() const { return m_bNotesChanged; }
    int32_t GetPosition() const { return m_nPositionMs; }
    int32_t GetLength() const { return m_nLengthMs; }
    const QString& GetStatusText() const { return m_statusText; }
    QString GetStatusBarText() const;
    int GetNotesDivider() const { return m_nDividerY; }
    // Image of a row: 0 plain, 1 with attachments.
    static int RowImage(const QTreeWidgetItem* pItem);
    static int RowId(const QTreeWidgetItem* pItem);
    QTreeWidgetItem* FindRow(int nId) const;
    // Error texts shown so far (a test seam; the box itself is modal).
    const std::vector<QString>& ShownErrors() const { return m_shownErrors; }
    // Replaces the modal error box (tests); the default shows a QMessageBox.
    void SetErrorBox(std::function<void(const QString&)> show) { m_errorBox = std::move(show); }

    // Stores the window state and stops what runs; called once, on close.
    void DestroyDialog();

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    friend class LDictationCommands;

    class Notify : public LThreadQueuedNotify {
    public:
        Notify(LMainLoop& loop, MainDialog& dialog)
            : LThreadQueuedNotify(loop)
            , m_dialog(dialog)
        {
        }

    protected:
        void EvNotify() override { m_dialog.EvNotify(); }

    private:
        MainDialog& m_dialog;
    };

    void InitDialog();
    void CreateMenus();
    void CreateToolBar();
    QWidget* CreateTransport();
    QAction* AddCommand(QMenu* pMenu, int nId, const QString& text, bool bAvailable);
    void EnableMainMenu();
    void PlaceWindow();
    void LayoutControls();
    void ApplyDivider();
    void OnSplitterMoved();
    int DividerFloor() const;
    void ListDictation(QTreeWidgetItem* pItem, const LDictation& dictation);
    void SortList();
    void OnHeaderClicked(int nColumn);
    void OnItemChanged(QTreeWidgetItem* pItem, int nColumn);
    void OnNotesChanged();
    void OnContextMenu(const QPoint& pos);
    void ShowStatusMenu(const QPoint& globalPos);
    void OnStatusTimer();
    void ShowStatus(const QString& text);
    void EvNotify();
    void ShowError(const QString& text);
    void SetTopMost(bool bTopMost);
    void SetViewNotes(bool bView);
    LDictation* CurrentDictation() const;
    // Adds the row of a dictation just made, selected and visible.
    QTreeWidgetItem* AddNewRow(const LDictation& dictation);

    LDictationEngineSettings& m_engine;
    LMainLoop& m_loop;
    LSendStatusSource* m_pQueue;
    std::unique_ptr<Notify> m_pNotify;
    LDictationList m_list;

    QTreeWidget* m_pList = nullptr;
    QPlainTextEdit* m_pNotes = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QFrame* m_pControlFrame = nullptr;
    LDBDisplay* m_pLevel = nullptr;
    QLabel* m_pPositionText = nullptr;
    QScrollBar* m_pPositionBar = nullptr;
    QLabel* m_pStatusLabel = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QToolButton* m_pSendButton = nullptr;
    QMenu* m_pContextMenu = nullptr;
    std::map<int, QWidget*> m_controls;
    std::map<int, QAction*> m_actions;
    std::vector<int> m_available;
    QIcon m_rowImages[2];

    int m_nCurrentId = -1;
    bool m_bNotesChanged = false;
    bool m_bSettingNotes = false;
    bool m_bFilling = false;
    int32_t m_nPositionMs = 0;
    int32_t m_nLengthMs = 0;
    int m_nDividerY = 200;
    bool m_bCompact = false;
    bool m_bViewNotes = true;
    bool m_bDestroyed = false;
    bool m_bPlaced = false;
    int m_nSortColumn = kColName;
    bool m_bSortAscending = true;

    QTimer m_statusTimer;
    QTimer m_notesTimer;
    size_t m_nRotation = 0;
    QString m_statusText;
    bool m_bInErrorBox = false;
    std::vector<QString> m_waitingErrors;
    std::vector<QString> m_shownErrors;
    std::function<void(const QString&)> m_errorBox;
    std::unique_ptr<LTransport> m_pTransport;
    std::unique_ptr<LDictationCommands> m_pCommands;
};
