// The window's keys, one row per binding: the keyboard filter acts on them,
// the menus show their shortcuts from them and the tool tips name them, so a
// binding is changed in one row. Qt key codes; GUI thread.
#pragma once

#include "app/shared/commands/LCommandId.h"

#include <QKeySequence>
#include <QString>

#include <span>

class LKeyBindings {
public:
    enum class Act {
        Press, // the command set's press and release, for its hold rule
        Trigger, // the router's command, as the key goes down
        Scan, // the router's press and release while the key is down
        ListUp, // the list's own arrow, passed to it
        ListDown,
        Rename, // the list takes the focus and renames
        Tab, // through the notes' fields
        TabBack,
        Nothing, // taken, and nothing done
        Menu, // the menu's own shortcut: the filter leaves it alone
    };
    enum class Where {
        Always,
        NotTyping, // left to the notes and the rename box, where it moves the caret
        NotRenaming, // left to the rename box
        NotListOrNotes, // left to the list and the notes, which move by it themselves
        Pad, // the keypad, while "UseNumeric" is on
    };
    struct Row {
        int nKey; // Qt::Key
        // Held with it: Control, Shift, Alt; Qt::KeypadModifier marks the pad.
        int nModifiers;
        Act act;
        LCommandId id;
        Where where;
        // The key that menus and tool tips name for id.
        bool bNamed;
    };

    static std::span<const Row> Rows();
    // The row a key going down with these modifiers runs; null for none.
    // With Control held only Control rows count; otherwise a row's Shift and
    // Alt must be held and further modifiers are ignored.
    // Another program's window passes its own rows.
    static const Row* Find(int nKey, Qt::KeyboardModifiers modifiers) { return Find(Rows(), nKey, modifiers); }
    static const Row* Find(std::span<const Row> rows, int nKey, Qt::KeyboardModifiers modifiers);
    // The row whose key goes up, whatever is held now (the modifiers may
    // have changed while it was down); null for none.
    static const Row* FindRelease(int nKey, Qt::KeyboardModifiers modifiers)
    {
        return FindRelease(Rows(), nKey, modifiers);
    }
    static const Row* FindRelease(std::span<const Row> rows, int nKey, Qt::KeyboardModifiers modifiers);
    // The key named for a command (empty when none); the tool bar's New and
    // Send name the keys of their menu entries.
    static QKeySequence KeyOf(LCommandId id);
    // KeyOf as a tool tip writes it: the toolkit's own names, but Escape in
    // full, as the window's tips have always said "Stop (Escape)".
    static QString KeyTextOf(LCommandId id);
};
