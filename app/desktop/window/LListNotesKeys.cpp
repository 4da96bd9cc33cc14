#include "app/desktop/window/LListNotesKeys.h"

#include "app/desktop/window/LNotesFields.h"
#include "app/shared/input/LCommandRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <string_view>

namespace {

using Act = LKeyBindings::Act;

} // namespace

LListNotesKeys::LListNotesKeys(LCommandRouter& router, QWidget* pList, QPlainTextEdit* pNotes)
    : m_router(router)
    , m_pList(pList)
    , m_pNotes(pNotes)
{
}

LListNotesKeys::Focus LListNotesKeys::FocusNow() const
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

bool LListNotesKeys::Leaves(LKeyBindings::Where where) const
{
    using W = LKeyBindings::Where;
    const Focus focus = FocusNow();
    switch (where) {
    case W::Always:
    case W::Pad:
        return false;
    case W::NotTyping:
        return focus == Focus::Notes || focus == Focus::Rename;
    case W::NotRenaming:
        return focus == Focus::Rename;
    case W::NotListOrNotes:
        return focus == Focus::List || focus == Focus::Notes;
    }
    return false;
}

void LListNotesKeys::Press(const LKeyBindings::Row& row, const QKeyEvent& key)
{
    switch (row.act) {
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
    default:
        break;
    }
}

bool LListNotesKeys::Release(const LKeyBindings::Row& row, const QKeyEvent& key)
{
    if (row.act != Act::ListUp && row.act != Act::ListDown)
        return false;
    if (Leaves(row.where))
        return false;
    // The release half of a repeat is not the key going up.
    if (!key.isAutoRepeat())
        PassToList(key, row.act == Act::ListUp ? Qt::Key_Up : Qt::Key_Down);
    return true;
}

void LListNotesKeys::PassToList(const QKeyEvent& key, int nKey)
{
    if (!m_pList)
        return;
    QKeyEvent passed(key.type(), nKey, key.modifiers() & ~Qt::KeypadModifier, QString(), key.isAutoRepeat());
    Pass(m_pList, passed);
}

void LListNotesKeys::Tab(bool bBackward)
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
