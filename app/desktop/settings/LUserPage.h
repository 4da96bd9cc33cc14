// The "User" page of the settings sheet: the user's identity towards typists
// (name, e-mail address, user ID), the further sender details and the working
// data folder. GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "app/shared/sheet/LSheetPage.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

class QLineEdit;
class QAbstractButton;

class LUserPage : public LSheetPage, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdName = 101,
        kIdCompany = 102,
        kIdEmail = 103,
        kIdPhone = 104,
        kIdCell = 105,
        kIdFax = 106,
        kIdAddress1 = 107, // to kIdAddress1 + 3
        kIdUserId = 112,
        kIdDataFolder = 113,
        kIdBrowseFolder = 114,
    };

    explicit LUserPage(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QString Title() const override { return QStringLiteral("User"); }
    bool Store() override;

    // The folder chooser; empty when cancelled. Replaceable for tests.
    std::function<QString(QWidget* pParent, const QString& title, const QString& start)> chooseFolder;

    // The account's full name: its GECOS field up to the first comma.
    static std::string AccountFullName();
    static std::string FullNameFromGecos(std::string_view gecos);

private:
    void Load();

    LUserPrompts m_prompts;
};
