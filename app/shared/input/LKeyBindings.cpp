#include "app/shared/input/LKeyBindings.h"

namespace {

using Id = LCommandId;
using A = LKeyBindings::Act;
using W = LKeyBindings::Where;
constexpr int kCtrl = Qt::ControlModifier, kShift = Qt::ShiftModifier, kAlt = Qt::AltModifier,
              kPad = Qt::KeypadModifier;
constexpr Id kNone = Id::kSetNoAction;

// Where two rows share a key, the first whose modifiers are held wins.
constexpr LKeyBindings::Row kRows[] = {
    // With Control held only these, and nothing else, are the window's.
    { Qt::Key_F5, kCtrl, A::Press, Id::kRecordOverwrite, W::Always, true },
    { Qt::Key_N, kCtrl, A::Trigger, Id::kNew, W::Always, true },
    { Qt::Key_S, kCtrl, A::Trigger, Id::kSend, W::Always, true },
    { Qt::Key_R, kCtrl, A::Trigger, Id::kSendTo, W::Always, true },
    { Qt::Key_H, kCtrl, A::Trigger, Id::kAttachFiles, W::Always, true },
    { Qt::Key_Delete, kCtrl, A::Trigger, Id::kDelete, W::Always, true },
    { Qt::Key_D, kCtrl, A::Trigger, Id::kToolDock, W::Always, true },
    { Qt::Key_O, kCtrl, A::Trigger, Id::kRecoverSent, W::Always, true },
    { Qt::Key_W, kCtrl, A::Trigger, Id::kViewSentWork, W::Always, true },
    // Redo as Linux programs take it; the shifted row comes first, so that
    // Ctrl+Shift+Z never undoes.
    { Qt::Key_Z, kCtrl | kShift, A::Trigger, Id::kRedo, W::Always, true },
    { Qt::Key_Y, kCtrl, A::Trigger, Id::kRedo, W::Always, false },
    { Qt::Key_Z, kCtrl, A::Trigger, Id::kUndo, W::Always, true },
    // Quit as every Linux program does; Alt+F4 stays the window manager's.
    { Qt::Key_Q, kCtrl, A::Menu, Id::kExit, W::Always, true },

    // The keypad as a transport pad; 3 and 9 belong to it too, so that no
    // digit of the pad reaches the notes.
    { Qt::Key_0, kPad, A::Press, Id::kRecord, W::Pad, false },
    { Qt::Key_1, kPad, A::Trigger, Id::kGoEnd, W::Pad, false },
    { Qt::Key_2, kPad, A::ListDown, kNone, W::Pad, false },
    { Qt::Key_3, kPad, A::Nothing, kNone, W::Pad, false },
    { Qt::Key_4, kPad, A::Scan, Id::kRewind, W::Pad, false },
    { Qt::Key_5, kPad, A::Trigger, Id::kStop, W::Pad, false },
    { Qt::Key_6, kPad, A::Scan, Id::kFastForward, W::Pad, false },
    { Qt::Key_7, kPad, A::Trigger, Id::kGoStart, W::Pad, false },
    { Qt::Key_8, kPad, A::ListUp, kNone, W::Pad, false },
    { Qt::Key_9, kPad, A::Nothing, kNone, W::Pad, false },
    // The decimal point is a comma in some layouts.
    { Qt::Key_Period, kPad, A::Press, Id::kPlay, W::Pad, false },
    { Qt::Key_Comma, kPad, A::Press, Id::kPlay, W::Pad, false },

    { Qt::Key_F1, 0, A::Trigger, Id::kHelpContents, W::Always, true },
    { Qt::Key_F2, 0, A::Rename, Id::kRename, W::Always, true },
    { Qt::Key_F5, kShift, A::Press, Id::kRecordAtEnd, W::Always, true },
    { Qt::Key_F5, 0, A::Press, Id::kRecord, W::Always, true },
    { Qt::Key_Insert, 0, A::Press, Id::kRecordInsert, W::Always, true },
    { Qt::Key_F9, 0, A::Press, Id::kPlay, W::Always, true },
    { Qt::Key_F10, 0, A::Trigger, Id::kPlayNormal, W::Always, true },
    { Qt::Key_F11, 0, A::Trigger, Id::kPlaySlow, W::Always, true },
    { Qt::Key_F12, 0, A::Trigger, Id::kPlayFast, W::Always, true },
    // Escape in the label's edit box cancels the rename, not playback.
    { Qt::Key_Escape, 0, A::Trigger, Id::kStop, W::NotRenaming, true },
    { Qt::Key_Home, 0, A::Trigger, Id::kGoStart, W::NotTyping, true },
    { Qt::Key_End, 0, A::Trigger, Id::kGoEnd, W::NotTyping, true },
    { Qt::Key_F7, 0, A::Scan, Id::kRewind, W::Always, true },
    { Qt::Key_Left, 0, A::Scan, Id::kRewind, W::NotTyping, false },
    { Qt::Key_F8, 0, A::Scan, Id::kFastForward, W::Always, true },
    { Qt::Key_Right, 0, A::Scan, Id::kFastForward, W::NotTyping, false },
    { Qt::Key_Up, 0, A::ListUp, kNone, W::NotListOrNotes, false },
    { Qt::Key_Down, 0, A::ListDown, kNone, W::NotListOrNotes, false },
    { Qt::Key_Tab, kShift, A::TabBack, kNone, W::Always, false },
    { Qt::Key_Tab, 0, A::Tab, kNone, W::Always, false },
    { Qt::Key_Backtab, 0, A::TabBack, kNone, W::Always, false },
};

bool IsPadKey(int nKey, Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::KeypadModifier)
        && ((nKey >= Qt::Key_0 && nKey <= Qt::Key_9) || nKey == Qt::Key_Period || nKey == Qt::Key_Comma);
}

} // namespace

std::span<const LKeyBindings::Row> LKeyBindings::Rows()
{
    return kRows;
}

const LKeyBindings::Row* LKeyBindings::Find(std::span<const Row> rows, int nKey, Qt::KeyboardModifiers modifiers)
{
    const bool bCtrl = modifiers & Qt::ControlModifier;
    const bool bPad = !bCtrl && IsPadKey(nKey, modifiers);
    for (const Row& row : rows) {
        if (row.nKey != nKey || ((row.nModifiers & kCtrl) != 0) != bCtrl || ((row.nModifiers & kPad) != 0) != bPad)
            continue;
        if ((row.nModifiers & (kShift | kAlt) & ~static_cast<int>(modifiers.toInt())) == 0)
            return &row;
    }
    return nullptr;
}

const LKeyBindings::Row* LKeyBindings::FindRelease(std::span<const Row> rows, int nKey, Qt::KeyboardModifiers modifiers)
{
    const bool bPad = IsPadKey(nKey, modifiers);
    for (const Row& row : rows)
        if (row.nKey == nKey && ((row.nModifiers & kPad) != 0) == bPad && row.act != Act::Menu)
            return &row;
    return nullptr;
}

QKeySequence LKeyBindings::KeyOf(LCommandId id)
{
    const Id menu = id == Id::kToolNew ? Id::kNew : id == Id::kToolSend ? Id::kSend : id;
    for (const Row& row : kRows)
        if (row.bNamed && row.id == menu)
            return QKeySequence(
                QKeyCombination(Qt::KeyboardModifiers::fromInt(row.nModifiers), static_cast<Qt::Key>(row.nKey)));
    return {};
}

QString LKeyBindings::KeyTextOf(LCommandId id)
{
    const QKeySequence key = KeyOf(id);
    return key == QKeySequence(Qt::Key_Escape) ? QStringLiteral("Escape") : key.toString(QKeySequence::NativeText);
}
