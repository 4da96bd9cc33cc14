#include "app/shared/prompts/LUserPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

QString LUserPrompts::QuestionButton(const QString& text)
{
    static const QString kLead = QStringLiteral("you want to ");
    const qsizetype nAt = text.indexOf(kLead);
    if (nAt < 0)
        return QStringLiteral("OK");
    QString verb = text.mid(nAt + kLead.size()).section(QChar(' '), 0, 0);
    if (verb.isEmpty() || !verb.front().isLetter())
        return QStringLiteral("OK");
    verb.front() = verb.front().toUpper();
    return verb;
}

LUserPrompts LUserPrompts::Desktop()
{
    LUserPrompts prompts;
    prompts.box = [](QWidget* pParent, Box box, const QString& caption, const QString& text) {
        switch (box) {
        case Box::Warning:
            QMessageBox::warning(pParent, caption, text);
            return true;
        case Box::Error:
            QMessageBox::critical(pParent, caption, text);
            return true;
        case Box::Information:
            QMessageBox::information(pParent, caption, text);
            return true;
        case Box::Question: {
            QMessageBox question(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel, pParent);
            question.button(QMessageBox::Ok)->setText(QuestionButton(text));
            return question.exec() == QMessageBox::Ok;
        }
        }
        return false;
    };
    prompts.chooseFiles = [](QWidget* pParent, const QString& title, const QString& folder) {
        return QFileDialog::getOpenFileNames(pParent, title, folder, QStringLiteral("All Files (*)"));
    };
    prompts.chooseFilesOf
        = [](QWidget* pParent, const QString& title, const QString& folder, const QStringList& filters) {
              return QFileDialog::getOpenFileNames(pParent, title, folder, filters.join(QStringLiteral(";;")));
          };
    prompts.chooseSaveFile = [](QWidget* pParent, const QString& title, const QString& folder,
                                 const QStringList& filters, const QString& defaultSuffix) {
        QFileDialog dialog(pParent, title, folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The command asks about replacing, with a No that chooses again.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    };
    prompts.askYesNoCancel = [](QWidget* pParent, const QString& caption, const QString& text) {
        switch (QMessageBox::question(
            pParent, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    };
    prompts.exec = [](QDialog& dialog) { return dialog.exec(); };
    return prompts;
}
