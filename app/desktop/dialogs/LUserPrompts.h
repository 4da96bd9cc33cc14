// The modal questions the dictation commands put to the user: message boxes,
// the file chooser and running a dialog. Held as replaceable functions so
// that tests answer them instead of a person. GUI thread.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

struct LUserPrompts {
    enum class Box { Warning, Error, Question };
    // Warning and Error show an OK box; Question asks OK or Cancel. True for OK.
    std::function<bool(QWidget* pParent, Box box, const QString& caption, const QString& text)> box;
    // A multiple-selection "All Files" chooser; empty when cancelled.
    std::function<QStringList(QWidget* pParent, const QString& title, const QString& folder)> chooseFiles;
    // Runs a dialog modally; its result code (QDialog::Accepted for OK).
    std::function<int(QDialog& dialog)> exec;

    // Real boxes, the desktop's file dialog and QDialog::exec.
    static LUserPrompts Desktop();
};
