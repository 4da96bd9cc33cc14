#include "app/shared/input/LKeyFilter.h"

#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSink.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/input/LKeyFilterWidgets.h"
#include "platform/LX11AutoRepeat.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace {

using Id = LCommandId;
using Act = LKeyBindings::Act;

} // namespace

struct LKeyFilter::Step {
    enum Kind {
        NotOurs, // not a key of the window's: everyone else's
        LetThrough, // the window's key, left to the focused widget here
        Run, // the row's act
    };
    Kind kind = NotOurs;
    const LKeyBindings::Row* pRow = nullptr;
};

LKeyFilter::LKeyFilter(LCommandSink& sink, LCommandRouter& router, std::span<const LKeyBindings::Row> rows,
    QWidget* pWindow, LKeyFilterWidgets& widgets, std::function<bool()> hotKeyHeld)
    : m_sink(sink)
    , m_router(router)
    , m_rows(rows)
    , m_pWindow(pWindow)
    , m_widgets(widgets)
    , m_hotKeyHeld(std::move(hotKeyHeld))
{
    ReadSettings();
    // Other platforms may answer for X too (offscreen with a display) without
    // taking their keys from it.
    auto* pX11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (pX11 && QGuiApplication::platformName() == QLatin1String("xcb"))
        m_repeats = LX11AutoRepeat::MakeDetectable(pX11->display()) ? Repeats::Detectable : Repeats::Paired;
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(kRepeatWaitMs);
    connect(&m_releaseTimer, &QTimer::timeout, this, &LKeyFilter::ConfirmRelease);
    qApp->installEventFilter(this);
}

LKeyFilter::~LKeyFilter()
{
    qApp->removeEventFilter(this);
}

void LKeyFilter::ReadSettings()
{
    m_bUseNumeric = InputKeys::kUseNumeric.Get();
}

LKeyFilter::Step LKeyFilter::KeyDown(const QKeyEvent& key) const
{
    const LKeyBindings::Row* pRow = LKeyBindings::Find(m_rows, key.key(), key.modifiers());
    if (!pRow || pRow->act == Act::Menu || (pRow->where == LKeyBindings::Where::Pad && !m_bUseNumeric))
        return {};
    return { m_widgets.Leaves(pRow->where) ? Step::LetThrough : Step::Run, pRow };
}

bool LKeyFilter::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::WindowDeactivate && pWatched == m_pWindow) {
        // Keys held now go up elsewhere.
        ConfirmRelease();
        m_down.clear();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    // Once per key: at the widget it is addressed to (an ignored key goes on
    // to the parents), and only in the main window, not in dialogs or menus.
    QWidget* pFocus = QApplication::focusWidget();
    if (m_widgets.IsPassing() || !m_pWindow || pWatched != (pFocus ? pFocus : m_pWindow.data())
        || static_cast<QWidget*>(pWatched)->window() != m_pWindow) {
        // A key of the window let go in a dialog opened meanwhile.
        if (type == QEvent::KeyRelease && pWatched == pFocus && pFocus && pFocus->window() != m_pWindow)
            SetUp(KeyCode(static_cast<QKeyEvent&>(*pEvent)));
        return false;
    }
    auto& key = static_cast<QKeyEvent&>(*pEvent);
    if (type == QEvent::KeyRelease) {
        // The toolkit's own pairing found the press of this repeat.
        if (key.isAutoRepeat())
            return KeyUp(key, nullptr);
        if (m_repeats == Repeats::Paired && IsDown(KeyCode(key))) {
            ConfirmRelease();
            m_pPendingUp.reset(key.clone());
            m_releaseTimer.start();
            return true;
        }
        const LKeyBindings::Row* pPressed = SetUp(KeyCode(key));
        return KeyUp(key, pPressed);
    }
    const Step step = KeyDown(key);
    if (step.kind == Step::NotOurs)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // The key comes here as a key press, not as a menu's shortcut; one it
        // leaves to the widget must not become a shortcut either.
        pEvent->accept();
        return true;
    }
    if (step.kind == Step::LetThrough)
        return false;
    // A key held down repeats: only the arrows and Tab walk on; a record key
    // must not record again, nor Ctrl+N make another dictation.
    const unsigned uCode = KeyCode(key);
    bool bRepeat = key.isAutoRepeat() || IsDown(uCode);
    if (m_pPendingUp && KeyCode(*m_pPendingUp) == uCode) {
        m_releaseTimer.stop();
        m_pPendingUp.reset();
        bRepeat = true;
    }
    if (!bRepeat) {
        ConfirmRelease();
        m_down.push_back({ uCode, step.pRow });
    }
    const Act act = step.pRow->act;
    if (!bRepeat || act == Act::ListUp || act == Act::ListDown || act == Act::Tab || act == Act::TabBack)
        Run(step, key);
    return true;
}

unsigned LKeyFilter::KeyCode(const QKeyEvent& key)
{
    return key.nativeScanCode() ? key.nativeScanCode() : static_cast<unsigned>(key.key()) | 0x80000000u;
}

bool LKeyFilter::IsDown(unsigned uCode) const
{
    return std::any_of(m_down.begin(), m_down.end(), [uCode](const Down& down) { return down.uCode == uCode; });
}

const LKeyBindings::Row* LKeyFilter::SetUp(unsigned uCode)
{
    const LKeyBindings::Row* pRow = nullptr;
    std::erase_if(m_down, [&](const Down& down) { return down.uCode == uCode && (pRow = down.pRow, true); });
    return pRow;
}

void LKeyFilter::ConfirmRelease()
{
    m_releaseTimer.stop();
    if (!m_pPendingUp)
        return;
    const std::unique_ptr<QKeyEvent> pUp = std::move(m_pPendingUp);
    KeyUp(*pUp, SetUp(KeyCode(*pUp)));
}

void LKeyFilter::Run(const Step& step, const QKeyEvent& key)
{
    const LKeyBindings::Row& row = *step.pRow;
    switch (row.act) {
    case Act::Nothing:
    case Act::Menu:
        break;
    case Act::Trigger:
        m_router.Trigger(row.id);
        break;
    case Act::Press:
        m_sink.CommandPress(row.id);
        break;
    case Act::Scan:
        Scan(row.id, true);
        break;
    case Act::ListUp:
    case Act::ListDown:
    case Act::Rename:
    case Act::Tab:
    case Act::TabBack:
        m_widgets.Press(row, key);
        break;
    }
}

bool LKeyFilter::KeyUp(const QKeyEvent& key, const LKeyBindings::Row* pPressed)
{
    if (m_hotKeyHeld && m_hotKeyHeld())
        return false;
    const LKeyBindings::Row* pRow = pPressed ? pPressed : LKeyBindings::FindRelease(m_rows, key.key(), key.modifiers());
    if (!pRow || (pRow->where == LKeyBindings::Where::Pad && !m_bUseNumeric))
        return false;
    // The release half of a repeat is not the key going up.
    const bool bUp = !key.isAutoRepeat();
    switch (pRow->act) {
    case Act::Press:
        if (bUp)
            m_sink.CommandRelease(pRow->id);
        return true;
    case Act::Scan:
        if (!(pRow->id == Id::kRewind ? m_bRewindDown : m_bForwardDown))
            return false;
        if (bUp)
            Scan(pRow->id, false);
        return true;
    case Act::ListUp:
    case Act::ListDown:
    case Act::Rename:
    case Act::Tab:
    case Act::TabBack:
        return m_widgets.Release(*pRow, key);
    case Act::Trigger:
    case Act::Nothing:
    case Act::Menu:
        return false;
    }
    return false;
}

void LKeyFilter::Scan(LCommandId id, bool bDown)
{
    bool& bHeld = id == Id::kRewind ? m_bRewindDown : m_bForwardDown;
    if (bHeld == bDown)
        return;
    bHeld = bDown;
    if (bDown)
        m_router.Press(id);
    else
        m_router.Release(id);
}
