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
    enum class Box { Warning, Error, Question, Information };
    // Warning, Error and Information show an OK box; Question asks OK or
    // Cancel. True for OK.
    std::function<bool(QWidget* pParent, Box box, const QString& caption, const QString& text)> box;
    // A multiple-selection "All Files" chooser; empty when cancelled.
    std::function<QStringList(QWidget* pParent, const QString& title, const QString& folder)> chooseFiles;
    // A multiple-selection chooser with these name filters ("Wave Files
    // (*.wav *.WAV)"), the first shown first; empty when cancelled.
    std::function<QStringList(
        QWidget* pParent, const QString& title, const QString& folder, const QStringList& filters)>
        chooseFilesOf;
    // A save chooser with these filters and the suffix added to a name that
    // has none; it does not ask about replacing. Empty when cancelled.
    std::function<QString(QWidget* pParent, const QString& title, const QString& folder, const QStringList& filters,
        const QString& defaultSuffix)>
        chooseSaveFile;
    enum class Answer { Yes, No, Cancel };
    // A question with Yes, No and Cancel.
    std::function<Answer(QWidget* pParent, const QString& caption, const QString& text)> askYesNoCancel;
    // Runs a dialog modally; its result code (QDialog::Accepted for OK).
    std::function<int(QDialog& dialog)> exec;
    // Opens the manual at a page ("sending.html"); unset where there is no
    // manual to open. False after a message saying why not.
    std::function<bool(const char* szPage)> openHelp;

    // Real boxes, the desktop's file dialog and QDialog::exec.
    static LUserPrompts Desktop();
    // The confirming button of a Question box, named by what it does: the
    // verb of "Are you sure you want to delete ...?" ("Delete"); "OK" for a
    // question worded otherwise.
    static QString QuestionButton(const QString& text);
};
