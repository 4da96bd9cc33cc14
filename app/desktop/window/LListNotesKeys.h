// The keys the main window's dictation list and notes handle among
// themselves: the arrows passed to the list while it lacks the focus, F2
// into the list's rename box, and Tab from the list through the data fields
// of the notes and back. Made by the window, given to the key filter. GUI
// thread.
#pragma once

#include "app/shared/input/LKeyFilterWidgets.h"

#include <QPointer>

class LCommandRouter;
class QPlainTextEdit;
class QWidget;

class LListNotesKeys : public LKeyFilterWidgets {
public:
    LListNotesKeys(LCommandRouter& router, QWidget* pList, QPlainTextEdit* pNotes);

    bool Leaves(LKeyBindings::Where where) const override;
    void Press(const LKeyBindings::Row& row, const QKeyEvent& key) override;
    bool Release(const LKeyBindings::Row& row, const QKeyEvent& key) override;

private:
    enum class Focus { List, Notes, Rename, Other };

    Focus FocusNow() const;
    void PassToList(const QKeyEvent& key, int nKey);
    void Tab(bool bBackward);

    LCommandRouter& m_router;
    QPointer<QWidget> m_pList;
    QPointer<QPlainTextEdit> m_pNotes;
};
