// The main window with the dictation commands' questions answered by the
// test: message boxes recorded and answered, files "chosen", dialogs run by
// a script, free space and the viewer program supplied.
#pragma once

#include "DesktopFixture.h"
#include "foundation/LSettings.h"

#include <QDialog>

#include <string>
#include <vector>

struct ShownBox {
    LUserPrompts::Box box;
    QString caption;
    QString text;
};

class DictationCommandsTest : public DesktopTest {
protected:
    MainDialog& OpenWired()
    {
        MainDialog& d = Open();
        LDictationCommands& commands = app->Commands();
        LUserPrompts& p = commands.Prompts();
        p.box = [this](QWidget*, LUserPrompts::Box box, const QString& caption, const QString& text) {
            boxes.push_back({ box, caption, text });
            return bAnswerOk;
        };
        p.chooseFiles = [this](QWidget*, const QString& title, const QString& folder) {
            chooserTitles.push_back(title);
            chooserFolders.push_back(folder);
            return chosen;
        };
        p.exec = [this](QDialog& dialog) {
            ++nDialogs;
            if (!runDialog)
                return int { QDialog::Rejected };
            runDialog(dialog);
            return dialog.result();
        };
        commands.SetFreeSpace([this](const std::string& folder) {
            freeSpaceFolders.push_back(folder);
            return uFreeKB;
        });
        commands.SetLauncher([this](const std::vector<std::string>& args) {
            launched.push_back(args);
            return true;
        });
        return d;
    }

    std::vector<ShownBox> boxes;
    bool bAnswerOk = true;
    QStringList chosen;
    std::vector<QString> chooserTitles;
    std::vector<QString> chooserFolders;
    std::function<void(QDialog&)> runDialog;
    int nDialogs = 0;
    uint32_t uFreeKB = 0x1000000;
    std::vector<std::string> freeSpaceFolders;
    std::vector<std::vector<std::string>> launched;
};
