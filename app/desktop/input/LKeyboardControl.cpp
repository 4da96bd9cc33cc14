#include "app/desktop/input/LKeyboardControl.h"

#include "app/desktop/commands/LCommandId.h"
#include "app/desktop/commands/LCommandRouter.h"
#include "app/desktop/input/LCommandSink.h"
#include "app/desktop/input/LNotesFields.h"
#include "app/desktop/settings/LDesktopSettings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <string_view>

namespace {

using Id = LCommandId;
constexpr int kRecord = 3, kPlay = 4, kRecordOverwrite = 12, kRecordInsert = 13, kRecordAtEnd = 14;

struct ControlKey {
    int nKey;
    Id id;
};
// With Control held only these, and nothing else, are the window's.
const ControlKey kControlKeys[] = {
    { Qt::Key_N, Id::kNew },
    { Qt::Key_S, Id::kSend },
    { Qt::Key_R, Id::kSendTo },
    { Qt::Key_H, Id::kAttachFiles },
    { Qt::Key_Delete, Id::kDelete },
    { Qt::Key_D, Id::kToolDock },
    { Qt::Key_O, Id::kRecoverSent },
    { Qt::Key_W, Id::kViewSentWork },
    { Qt::Key_Z, Id::kUndo },
};

// The plain keys of the transport, as KeyDown below reads them.
const ControlKey kTransportKeys[] = {
    { Qt::Key_F9, Id::kPlay },
    { Qt::Key_F5, Id::kRecord },
    { Qt::Key_Escape, Id::kStop },
    { Qt::Key_Home, Id::kGoStart },
    { Qt::Key_F7, Id::kRewind },
    { Qt::Key_F8, Id::kFastForward },
    { Qt::Key_End, Id::kGoEnd },
};

bool IsPadKey(const QKeyEvent& key)
{
    if (!(key.modifiers() & Qt::KeypadModifier))
        return false;
    const int k = key.key();
    // The decimal point is a comma in some layouts.
    return (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Period || k == Qt::Key_Comma;
}

} // namespace

struct LKeyboardControl::Step {
    enum Kind {
        NotOurs, // not a key of the window's: everyone else's
        LetThrough, // the window's key, left to the focused widget here
        Nothing, // taken, and nothing done
        Trigger, // n: a router command
        Press, // n: a command of the set
        Scan, // n: rewind or fast forward, held
        ToList, // n: the key the list gets
        Rename,
        Tab, // n: backward
    };
    Kind kind = NotOurs;
    int n = 0;
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

QKeySequence LKeyboardControl::KeyOf(LCommandId id)
{
    // The tool bar's buttons run the commands of their menu entries.
    const Id menu = id == Id::kToolNew ? Id::kNew : id == Id::kToolSend ? Id::kSend : id;
    for (const ControlKey& key : kControlKeys)
        if (key.id == menu)
            return QKeySequence(QKeyCombination(Qt::ControlModifier, static_cast<Qt::Key>(key.nKey)));
    for (const ControlKey& key : kTransportKeys)
        if (key.id == menu)
            return QKeySequence(key.nKey);
    return {};
}

QString LKeyboardControl::KeyTextOf(LCommandId id)
{
    const QKeySequence key = KeyOf(id);
    return key == QKeySequence(Qt::Key_Escape) ? QStringLiteral("Escape") : key.toString(QKeySequence::NativeText);
}

void LKeyboardControl::ReadSettings()
{
    m_bUseNumeric = DesktopSettings::kUseNumeric.Get();
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
    using S = Step;
    const int k = key.key();
    if (key.modifiers() & Qt::ControlModifier) {
        if (k == Qt::Key_F5)
            return { S::Press, kRecordOverwrite };
        for (const ControlKey& control : kControlKeys)
            if (control.nKey == k)
                return { S::Trigger, static_cast<int>(control.id) };
        return {};
    }
    if (IsPadKey(key)) {
        if (!m_bUseNumeric)
            return {};
        switch (k) {
        case Qt::Key_0:
            return { S::Press, kRecord };
        case Qt::Key_1:
            return { S::Trigger, static_cast<int>(Id::kGoEnd) };
        case Qt::Key_2:
            return { S::ToList, Qt::Key_Down };
        case Qt::Key_4:
            return { S::Scan, static_cast<int>(Id::kRewind) };
        case Qt::Key_5:
            return { S::Trigger, static_cast<int>(Id::kStop) };
        case Qt::Key_6:
            return { S::Scan, static_cast<int>(Id::kFastForward) };
        case Qt::Key_7:
            return { S::Trigger, static_cast<int>(Id::kGoStart) };
        case Qt::Key_8:
            return { S::ToList, Qt::Key_Up };
        case Qt::Key_3:
        case Qt::Key_9:
            // Part of the pad too: never a digit in the notes.
            return { S::Nothing };
        default:
            return { S::Press, kPlay };
        }
    }
    const Focus focus = FocusNow();
    // Home, End and the side arrows move the caret where one is typing.
    const bool bTyping = focus == Focus::Notes || focus == Focus::Rename;
    switch (k) {
    case Qt::Key_F1:
        return { S::Trigger, static_cast<int>(Id::kHelpContents) };
    case Qt::Key_F2:
        return { S::Rename };
    case Qt::Key_F5:
        return { S::Press, (key.modifiers() & Qt::ShiftModifier) ? kRecordAtEnd : kRecord };
    case Qt::Key_Insert:
        return { S::Press, kRecordInsert };
    case Qt::Key_F9:
        return { S::Press, kPlay };
    case Qt::Key_F10:
        return { S::Trigger, static_cast<int>(Id::kPlayNormal) };
    case Qt::Key_F11:
        return { S::Trigger, static_cast<int>(Id::kPlaySlow) };
    case Qt::Key_F12:
        return { S::Trigger, static_cast<int>(Id::kPlayFast) };
    case Qt::Key_Escape:
        // Escape in the label's edit box cancels the rename, not playback.
        return focus == Focus::Rename ? S { S::LetThrough } : S { S::Trigger, static_cast<int>(Id::kStop) };
    case Qt::Key_Home:
        return bTyping ? S { S::LetThrough } : S { S::Trigger, static_cast<int>(Id::kGoStart) };
    case Qt::Key_End:
        return bTyping ? S { S::LetThrough } : S { S::Trigger, static_cast<int>(Id::kGoEnd) };
    case Qt::Key_Left:
        return bTyping ? S { S::LetThrough } : S { S::Scan, static_cast<int>(Id::kRewind) };
    case Qt::Key_F7:
        return { S::Scan, static_cast<int>(Id::kRewind) };
    case Qt::Key_Right:
        return bTyping ? S { S::LetThrough } : S { S::Scan, static_cast<int>(Id::kFastForward) };
    case Qt::Key_F8:
        return { S::Scan, static_cast<int>(Id::kFastForward) };
    case Qt::Key_Up:
    case Qt::Key_Down:
        return focus == Focus::List || focus == Focus::Notes ? S { S::LetThrough } : S { S::ToList, k };
    case Qt::Key_Tab:
        return { S::Tab, (key.modifiers() & Qt::ShiftModifier) ? 1 : 0 };
    case Qt::Key_Backtab:
        return { S::Tab, 1 };
    default:
        return {};
    }
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
    if (!key.isAutoRepeat() || step.kind == Step::ToList || step.kind == Step::Tab)
        Run(step, key);
    return true;
}

void LKeyboardControl::Run(const Step& step, const QKeyEvent& key)
{
    switch (step.kind) {
    case Step::NotOurs:
    case Step::LetThrough:
    case Step::Nothing:
        break;
    case Step::Trigger:
        m_router.Trigger(static_cast<Id>(step.n));
        break;
    case Step::Press:
        m_sink.CommandPress(step.n);
        break;
    case Step::Scan:
        Scan(step.n, true);
        break;
    case Step::ToList:
        PassToList(key, step.n);
        break;
    case Step::Rename:
        if (m_pList)
            m_pList->setFocus(Qt::ShortcutFocusReason);
        m_router.Trigger(Id::kRename);
        break;
    case Step::Tab:
        Tab(step.n != 0);
        break;
    }
}

bool LKeyboardControl::KeyUp(const QKeyEvent& key)
{
    if (m_hotKeyHeld && m_hotKeyHeld())
        return false;
    int k = key.key();
    if (IsPadKey(key)) {
        if (!m_bUseNumeric)
            return false;
        switch (k) {
        case Qt::Key_0:
            k = Qt::Key_F5;
            break;
        case Qt::Key_4:
            k = Qt::Key_F7;
            break;
        case Qt::Key_6:
            k = Qt::Key_F8;
            break;
        case Qt::Key_2:
        case Qt::Key_8:
            if (!key.isAutoRepeat())
                PassToList(key, k == Qt::Key_2 ? Qt::Key_Down : Qt::Key_Up);
            return true;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            k = Qt::Key_F9;
            break;
        default:
            return false;
        }
    }
    // The release half of a repeat is not the key going up.
    const bool bUp = !key.isAutoRepeat();
    switch (k) {
    case Qt::Key_F5:
    case Qt::Key_Insert:
    case Qt::Key_F9:
        if (bUp)
            m_sink.CommandReleaseHeld(k == Qt::Key_F9 ? kPlay : kRecord, kHoldLimitMs);
        return true;
    case Qt::Key_Left:
    case Qt::Key_F7:
    case Qt::Key_Right:
    case Qt::Key_F8: {
        const bool bRewind = k == Qt::Key_Left || k == Qt::Key_F7;
        if (!(bRewind ? m_bRewindDown : m_bForwardDown))
            return false;
        if (bUp)
            Scan(static_cast<int>(bRewind ? Id::kRewind : Id::kFastForward), false);
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const Focus focus = FocusNow();
        if (focus == Focus::List || focus == Focus::Notes)
            return false;
        PassToList(key, k);
        return true;
    }
    default:
        return false;
    }
}

void LKeyboardControl::Scan(int nId, bool bDown)
{
    bool& bHeld = nId == static_cast<int>(Id::kRewind) ? m_bRewindDown : m_bForwardDown;
    if (bHeld == bDown)
        return;
    bHeld = bDown;
    if (bDown)
        m_router.Press(static_cast<Id>(nId));
    else
        m_router.Release(static_cast<Id>(nId));
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
