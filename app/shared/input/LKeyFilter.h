// A window's keys by the rows of a key table: record and play held or
// tapped through the command set, the scanning keys held, commands
// triggered, the keypad as a transport pad; what moves among the window's
// own widgets goes to them. An event filter on the application, so that it
// sees a key before the focused widget or a menu shortcut does, whichever
// of the window's widgets has the focus. GUI thread.
#pragma once

#include "app/shared/input/LKeyBindings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class LCommandRouter;
class LCommandSink;
class LKeyFilterWidgets;
class QKeyEvent;
class QWidget;

class LKeyFilter : public QObject {
    Q_OBJECT
public:
    // Record and play go to sink (the command set, for its hold rule), the
    // rest to the router. While hotKeyHeld says a hot key's command is held,
    // key-ups are left alone. Only keys of pWindow count; rows and widgets
    // outlive the filter.
    LKeyFilter(LCommandSink& sink, LCommandRouter& router, std::span<const LKeyBindings::Row> rows, QWidget* pWindow,
        LKeyFilterWidgets& widgets, std::function<bool()> hotKeyHeld);
    ~LKeyFilter() override;

    // Reads "UseNumeric": at the start and whenever the settings may have changed.
    void ReadSettings();

    // How a held key's repeats reach the window. Detectable: presses only
    // until one release (X with XKB, which the constructor asks for, and
    // Wayland, whose repeats the toolkit marks itself). Paired: X without it,
    // where a release counts only once no press of the key follows within
    // kRepeatWaitMs, since the toolkit's own pairing misses a late press.
    enum class Repeats { Detectable, Paired };
    void SetRepeats(Repeats repeats) { m_repeats = repeats; }
    Repeats GetRepeats() const { return m_repeats; }
    static constexpr int kRepeatWaitMs = 60;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    struct Step;

    Step KeyDown(const QKeyEvent& key) const;
    // pPressed: the row the key pressed, whatever it reads as now (Num Lock
    // may have changed the keypad's key meanwhile); null: looked up.
    bool KeyUp(const QKeyEvent& key, const LKeyBindings::Row* pPressed);
    void Run(const Step& step, const QKeyEvent& key);
    void Scan(LCommandId id, bool bDown);
    // Keys are told apart by the key the server reports, since the toolkit's
    // key changes with the modifiers held meanwhile.
    static unsigned KeyCode(const QKeyEvent& key);
    bool IsDown(unsigned uCode) const;
    // The row the key pressed, if any, once it is up.
    const LKeyBindings::Row* SetUp(unsigned uCode);
    void ConfirmRelease();

    LCommandSink& m_sink;
    LCommandRouter& m_router;
    std::span<const LKeyBindings::Row> m_rows;
    QPointer<QWidget> m_pWindow;
    LKeyFilterWidgets& m_widgets;
    std::function<bool()> m_hotKeyHeld;
    bool m_bUseNumeric = true;
    // Keys scan only while the key that pressed the button is down: a release
    // alone would stop playback.
    bool m_bRewindDown = false;
    bool m_bForwardDown = false;
    Repeats m_repeats = Repeats::Detectable;
    // The window's keys now down: a press of one of them is a repeat.
    struct Down {
        unsigned uCode;
        const LKeyBindings::Row* pRow;
    };
    std::vector<Down> m_down;
    // Paired repeats: the release waiting for its key to stay up.
    std::unique_ptr<QKeyEvent> m_pPendingUp;
    QTimer m_releaseTimer;
};
