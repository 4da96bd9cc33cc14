// The program's one main window: the list of the Current folder's
// dictations, the notes of the current one, the transport strip, tool bar,
// menus and status bar. It watches the session and hands what the user asks
// to the router; the commands, the transport and the session know nothing of
// it. Lives on the GUI thread for the life of the program; worker threads
// reach it only through queued notifications.
#pragma once

#include "app/desktop/window/LControlIds.h"
#include "app/shared/commands/LCommandId.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LAnnouncer;
class LCommandRouter;
class LDictationListView;
class LKeyFilterWidgets;
class LListNotesKeys;
class LMenus;
class LSession;
class LStatusArea;
class LTransportBar;
class QAction;
class QPlainTextEdit;
class QSplitter;

class MainDialog : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kCompactHeight = 230;
    static constexpr int kNotesSaveDelayMs = 3000;

    MainDialog(LSession& session, LCommandRouter& router, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Places the window as stored and lists the dictations.
    void Start();
    // Runs once as the window closes, after its state is stored and before
    // typed notes are saved: what runs behind it stops.
    void SetClosing(std::function<void()> closing) { m_closing = std::move(closing); }
    // Shows the window restored (or maximised, as it was) and brings it forward.
    void OpenWindow();
    // Writes typed notes to the current dictation now.
    void SaveCurrentDictationNote();
    // Stores the window state and stops what runs; called once, on close.
    void DestroyDialog();

    // The window rectangle pulled inside the desktop: no larger than it, then
    // moved so that no edge lies outside.
    static QRect ClampToDesktop(const QRect& window, const QRect& desktop);
    // Where the window opens when no placement is stored: a size for a
    // modern screen, never beyond the available area, centred in it.
    static QRect FirstStartRect(const QRect& available);

    // What the tests and the screenshot script look at.
    LDictationListView* List() const { return m_pList; }
    QPlainTextEdit* Notes() const { return m_pNotes; }
    LStatusArea& StatusArea() const { return *m_pStatus; }
    const LAnnouncer& Announcer() const { return *m_pAnnouncer; }
    QWidget* Control(int nId) const;
    // What the list and the notes do with the keys the key filter leaves to them.
    LKeyFilterWidgets& KeyWidgets() const;
    QAction* MenuAction(LCommandId id) const;
    bool IsCompact() const { return m_bCompact; }
    bool IsNotesChanged() const { return m_bNotesChanged; }
    QString GetStatusBarText() const;
    int GetNotesDivider() const { return m_nDividerY; }

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void RegisterCommands();
    void PlaceWindow();
    void LayoutControls();
    void ApplyDivider();
    void OnSplitterMoved();
    int DividerFloor() const;
    void OnCurrentChanged(int nId);
    void ShowNotes(const std::string& notes);
    void OnNotesChanged();
    void ShowStatusMenu(const QPoint& globalPos);
    void SetTopMost(bool bTopMost);
    void SetViewNotes(bool bView);

    LSession& m_session;
    LCommandRouter& m_router;
    std::function<void()> m_closing;

    LDictationListView* m_pList = nullptr;
    QPlainTextEdit* m_pNotes = nullptr;
    QSplitter* m_pSplitter = nullptr;
    LTransportBar* m_pTransportBar = nullptr;
    LStatusArea* m_pStatus = nullptr;
    LMenus* m_pMenus = nullptr;
    LAnnouncer* m_pAnnouncer = nullptr;
    std::unique_ptr<LListNotesKeys> m_pKeys;

    bool m_bNotesChanged = false;
    bool m_bSettingNotes = false;
    int m_nDividerY = 200;
    bool m_bCompact = false;
    bool m_bViewNotes = true;
    bool m_bDestroyed = false;
    bool m_bPlaced = false;
    QTimer m_notesTimer;
};
