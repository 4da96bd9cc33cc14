#include "app/desktop/dialogs/LUserPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

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
        case Box::Question:
            return QMessageBox::question(pParent, caption, text, QMessageBox::Ok | QMessageBox::Cancel)
                == QMessageBox::Ok;
        }
        return false;
    };
    prompts.chooseFiles = [](QWidget* pParent, const QString& title, const QString& folder) {
        return QFileDialog::getOpenFileNames(pParent, title, folder, QStringLiteral("All Files (*)"));
    };
    prompts.exec = [](QDialog& dialog) { return dialog.exec(); };
    return prompts;
}
