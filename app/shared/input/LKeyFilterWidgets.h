// What a key filter leaves to its window's own widgets: which keys the
// focused one keeps for itself, and the acts of the table that move among
// them (a list's arrows, renaming, Tab through notes). Each program's window
// gives its own. GUI thread.
#pragma once

#include "app/shared/input/LKeyBindings.h"

class QKeyEvent;
class QWidget;

class LKeyFilterWidgets {
public:
    virtual ~LKeyFilterWidgets() = default;

    // Whether the focused widget takes a key of this place itself.
    virtual bool Leaves(LKeyBindings::Where where) const = 0;
    // A row whose act is the widgets', as its key goes down.
    virtual void Press(const LKeyBindings::Row& row, const QKeyEvent& key) = 0;
    // Its key going up (or the release half of a repeat); false leaves the
    // key to the focused widget.
    virtual bool Release(const LKeyBindings::Row& row, const QKeyEvent& key) = 0;

    // While a key is passed on to a widget, the filter lets it through.
    bool IsPassing() const { return m_bPassing; }

protected:
    void Pass(QWidget* pTo, QKeyEvent& key);

private:
    bool m_bPassing = false;
};
