// Keyboard control of the main window by the rows of LKeyBindings: record
// and play held or tapped, the scanning keys held, the Control shortcuts, the
// arrows for the list while it lacks the focus, the keypad as a transport
// pad, and Tab through the data fields of the notes. An event filter on the
// application, so that it sees a key before the focused widget or a menu
// shortcut does, whichever of the window's widgets has the focus. GUI thread.
#pragma once

#include "app/shared/input/LKeyBindings.h"

#include <QObject>
#include <QPointer>

#include <functional>

class LCommandRouter;
class LCommandSink;
class QKeyEvent;
class QPlainTextEdit;
class QWidget;

class LKeyboardControl : public QObject {
    Q_OBJECT
public:
    struct Targets {
        QWidget* pWindow = nullptr;
        QWidget* pList = nullptr;
        QPlainTextEdit* pNotes = nullptr;
    };
    // Record and play go to sink (the command set, for its hold rule), the
    // rest to the router. While hotKeyHeld says a hot key's command is held,
    // key-ups are left alone.
    LKeyboardControl(
        LCommandSink& sink, LCommandRouter& router, const Targets& targets, std::function<bool()> hotKeyHeld);
    ~LKeyboardControl() override;

    // Reads "UseNumeric": at the start and whenever the settings may have changed.
    void ReadSettings();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    struct Step;
    enum class Focus { List, Notes, Rename, Other };

    Focus FocusNow() const;
    Step KeyDown(const QKeyEvent& key) const;
    bool KeyUp(const QKeyEvent& key);
    void Run(const Step& step, const QKeyEvent& key);
    void Scan(LCommandId id, bool bDown);
    void PassToList(const QKeyEvent& key, int nKey);
    void Tab(bool bBackward);

    LCommandSink& m_sink;
    LCommandRouter& m_router;
    QPointer<QWidget> m_pWindow;
    QPointer<QWidget> m_pList;
    QPointer<QPlainTextEdit> m_pNotes;
    std::function<bool()> m_hotKeyHeld;
    bool m_bUseNumeric = true;
    // Keys scan only while the key that pressed the button is down: a release
    // alone would stop playback.
    bool m_bRewindDown = false;
    bool m_bForwardDown = false;
    bool m_bPassing = false;
};
