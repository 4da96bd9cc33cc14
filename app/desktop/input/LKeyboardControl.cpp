#include "app/desktop/input/LKeyboardControl.h"

#include "app/desktop/window/LNotesFields.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSink.h"
#include "app/shared/input/LInputKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <string_view>

namespace {

using Id = LCommandId;
using Act = LKeyBindings::Act;

} // namespace

struct LKeyboardControl::Step {
    enum Kind {
        NotOurs, // not a key of the window's: everyone else's
        LetThrough, // the window's key, left to the focused widget here
        Run, // the row's act
    };
    Kind kind = NotOurs;
    const LKeyBindings::Row* pRow = nullptr;
};

LKeyboardControl::LKeyboardControl(
    LCommandSink& sink, LCommandRouter& router, const Targets& targets, std::function<bool()> hotKeyHeld)
    : m_sink(sink)
    , m_router(router)
    , m_pWindow(targets.pWindow)
    , m_pList(targets.pList)
    , m_pNotes(targets.pNotes)
    , m_hotKeyHeld(std::move(hotKeyHeld))
{
    ReadSettings();
    qApp->installEventFilter(this);
}

LKeyboardControl::~LKeyboardControl()
{
    qApp->removeEventFilter(this);
}

void LKeyboardControl::ReadSettings()
{
    m_bUseNumeric = InputKeys::kUseNumeric.Get();
}

LKeyboardControl::Focus LKeyboardControl::FocusNow() const
{
    QWidget* pFocus = QApplication::focusWidget();
    if (!pFocus)
        return Focus::Other;
    if (pFocus == m_pList)
        return Focus::List;
    // The label's edit box lives inside the list.
    if (m_pList && m_pList->isAncestorOf(pFocus))
        return Focus::Rename;
    if (pFocus == m_pNotes || (m_pNotes && m_pNotes->isAncestorOf(pFocus)))
        return Focus::Notes;
    return Focus::Other;
}

LKeyboardControl::Step LKeyboardControl::KeyDown(const QKeyEvent& key) const
{
    using W = LKeyBindings::Where;
    const LKeyBindings::Row* pRow = LKeyBindings::Find(key.key(), key.modifiers());
    if (!pRow || pRow->act == Act::Menu || (pRow->where == W::Pad && !m_bUseNumeric))
        return {};
    const Focus focus = FocusNow();
    bool bLeft = false;
    switch (pRow->where) {
    case W::Always:
    case W::Pad:
        break;
    case W::NotTyping:
        bLeft = focus == Focus::Notes || focus == Focus::Rename;
        break;
    case W::NotRenaming:
        bLeft = focus == Focus::Rename;
        break;
    case W::NotListOrNotes:
        bLeft = focus == Focus::List || focus == Focus::Notes;
        break;
    }
    return { bLeft ? Step::LetThrough : Step::Run, pRow };
}

bool LKeyboardControl::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    // Once per key: at the widget it is addressed to (an ignored key goes on
    // to the parents), and only in the main window, not in dialogs or menus.
    QWidget* pFocus = QApplication::focusWidget();
    if (m_bPassing || !m_pWindow || pWatched != (pFocus ? pFocus : m_pWindow.data())
        || static_cast<QWidget*>(pWatched)->window() != m_pWindow)
        return false;
    auto& key = static_cast<QKeyEvent&>(*pEvent);
    if (type == QEvent::KeyRelease)
        return KeyUp(key);
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
    const Act act = step.pRow->act;
    if (!key.isAutoRepeat() || act == Act::ListUp || act == Act::ListDown || act == Act::Tab || act == Act::TabBack)
        Run(step, key);
    return true;
}

void LKeyboardControl::Run(const Step& step, const QKeyEvent& key)
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
        PassToList(key, row.act == Act::ListUp ? Qt::Key_Up : Qt::Key_Down);
        break;
    case Act::Rename:
        if (m_pList)
            m_pList->setFocus(Qt::ShortcutFocusReason);
        m_router.Trigger(row.id);
        break;
    case Act::Tab:
    case Act::TabBack:
        Tab(row.act == Act::TabBack);
        break;
    }
}

bool LKeyboardControl::KeyUp(const QKeyEvent& key)
{
    if (m_hotKeyHeld && m_hotKeyHeld())
        return false;
    const LKeyBindings::Row* pRow = LKeyBindings::FindRelease(key.key(), key.modifiers());
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
    case Act::ListDown: {
        const Focus focus = FocusNow();
        if (pRow->where == LKeyBindings::Where::NotListOrNotes && (focus == Focus::List || focus == Focus::Notes))
            return false;
        if (bUp)
            PassToList(key, pRow->act == Act::ListUp ? Qt::Key_Up : Qt::Key_Down);
        return true;
    }
    default:
        return false;
    }
}

void LKeyboardControl::Scan(LCommandId id, bool bDown)
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

void LKeyboardControl::PassToList(const QKeyEvent& key, int nKey)
{
    if (!m_pList)
        return;
    QKeyEvent passed(key.type(), nKey, key.modifiers() & ~Qt::KeypadModifier, QString(), key.isAutoRepeat());
    m_bPassing = true;
    QCoreApplication::sendEvent(m_pList, &passed);
    m_bPassing = false;
}

void LKeyboardControl::Tab(bool bBackward)
{
    if (!m_pList || !m_pNotes)
        return;
    const Focus focus = FocusNow();
    if (focus == Focus::List) {
        // Shift+Tab from the list goes nowhere; nor does Tab to hidden notes.
        if (bBackward || !m_pNotes->isVisible() || !m_pNotes->isEnabled())
            return;
        m_pNotes->setFocus(Qt::TabFocusReason);
        QTextCursor cursor = m_pNotes->textCursor();
        cursor.setPosition(0);
        m_pNotes->setTextCursor(cursor);
    } else if (focus != Focus::Notes) {
        return;
    }
    const QString text = m_pNotes->toPlainText();
    const QTextCursor cursor = m_pNotes->textCursor();
    long nFrom = 0, nTo = 0;
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
    if (LNotesFields::Find(view, cursor.selectionStart(), cursor.selectionEnd(), bBackward, &nFrom, &nTo)) {
        QTextCursor field(m_pNotes->document());
        field.setPosition(static_cast<int>(nFrom));
        field.setPosition(static_cast<int>(nTo), QTextCursor::KeepAnchor);
        m_pNotes->setTextCursor(field);
    } else if (focus == Focus::Notes) {
        m_pList->setFocus(bBackward ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    }
}
