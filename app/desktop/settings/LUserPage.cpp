#include "app/desktop/settings/LUserPage.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "ui/LAccessible.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

using Engine = LDictationEngineSettings;
constexpr const char* kCaption = "Tavrine Dictate";
// The further details, by control.
const std::pair<int, const char*> kDetails[] = { { LUserPage::kIdCompany, "Company" }, { LUserPage::kIdPhone, "Phone" },
    { LUserPage::kIdCell, "Cell" }, { LUserPage::kIdFax, "Fax" }, { LUserPage::kIdAddress1, "Address1" },
    { LUserPage::kIdAddress1 + 1, "Address2" }, { LUserPage::kIdAddress1 + 2, "Address3" },
    { LUserPage::kIdAddress1 + 3, "Address4" } };

std::string ForStore(const QLineEdit* pEdit)
{
    const std::string utf8 = pEdit->text().trimmed().toStdString();
    return std::string(CutUtf8(utf8, kMaxSettingChars));
}

} // namespace

LUserPage::LUserPage(const LUserPrompts& prompts, QWidget* pParent)
    : LSheetPage(pParent)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("LUserPage"));
    chooseFolder = [](QWidget* pParent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(pParent, title, start);
    };
    auto edit = [this](int nId) {
        auto* pEdit = new QLineEdit(this);
        pEdit->setObjectName(QStringLiteral("c%1").arg(nId));
        pEdit->setMaxLength(static_cast<int>(kMaxSettingChars));
        m_controls[nId] = pEdit;
        return pEdit;
    };

    auto* pLayout = new QVBoxLayout(this);
    auto* pGrid = new QGridLayout;
    int nRow = 0;
    auto row = [&](const char* szLabel, int nId) {
        auto* pLabel = new QLabel(QString::fromUtf8(szLabel), this);
        pLabel->setBuddy(edit(nId));
        pGrid->addWidget(pLabel, nRow, 0);
        pGrid->addWidget(Edit(nId), nRow++, 1, 1, 2);
    };
    row("Name:", kIdName);
    row("Email:", kIdEmail);
    row("ID:", kIdUserId);
    row("Company:", kIdCompany);
    row("Phone:", kIdPhone);
    row("Cell/Page:", kIdCell);
    row("Fax:", kIdFax);
    row("Address:", kIdAddress1);
    for (int i = 1; i < 4; ++i)
        pGrid->addWidget(edit(kIdAddress1 + i), nRow++, 1, 1, 2);
    LAccessible::Describe({ { Edit(kIdAddress1 + 1), "Address line 2", nullptr },
        { Edit(kIdAddress1 + 2), "Address line 3", nullptr }, { Edit(kIdAddress1 + 3), "Address line 4", nullptr } });
    auto* pFolderLabel = new QLabel(QStringLiteral("Data Folder:"), this);
    pFolderLabel->setBuddy(edit(kIdDataFolder));
    pGrid->addWidget(pFolderLabel, nRow, 0);
    auto* pBrowse = new QPushButton(QStringLiteral("..."), this);
    pBrowse->setObjectName(QStringLiteral("c%1").arg(kIdBrowseFolder));
    m_controls[kIdBrowseFolder] = pBrowse;
    auto* pFolder = new QHBoxLayout;
    pFolder->addWidget(Edit(kIdDataFolder), 1);
    pFolder->addWidget(pBrowse);
    pGrid->addLayout(pFolder, nRow++, 1, 1, 2);
    pGrid->setColumnStretch(1, 1);
    pLayout->addLayout(pGrid);
    pLayout->addStretch(1);

    // The ID goes into every dictation's header as 32 bits.
    Edit(kIdUserId)->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), this));
    connect(pBrowse, &QAbstractButton::clicked, this, [this] {
        QString folder = chooseFolder(this, QStringLiteral("Locate transmit folder..."), Edit(kIdDataFolder)->text());
        if (!folder.isEmpty())
            Edit(kIdDataFolder)->setText(folder);
    });
    Load();
}

void LUserPage::Load()
{
    // A first use proposes the account's name; OK stores it like a typed one.
    const std::string name = Engine::IsUserNameStored() ? Engine::GetUserName() : AccountFullName();
    Edit(kIdName)->setText(QString::fromStdString(name));
    Edit(kIdEmail)->setText(QString::fromStdString(Engine::GetUserEmail()));
    Edit(kIdUserId)->setText(QString::number(Engine::GetUserID()));
    for (const auto& [nId, szName] : kDetails)
        Edit(nId)->setText(QString::fromStdString(Engine::GetUserDetail(szName)));
    Edit(kIdDataFolder)->setText(QString::fromStdString(Engine::GetWorkingFolderSetting()));
}

bool LUserPage::Store()
{
    bool bNumber = false;
    const qulonglong uId = Edit(kIdUserId)->text().toULongLong(&bNumber);
    if (!bNumber || uId > UINT32_MAX) {
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QStringLiteral("The user ID must be a whole number from 0 to 4294967295."));
        Edit(kIdUserId)->setFocus();
        return false;
    }
    const std::string folder = ForStore(Edit(kIdDataFolder));
    if (folder != Engine::GetWorkingFolderSetting())
        m_prompts.box(this, LUserPrompts::Box::Information, QString::fromUtf8(kCaption),
            QStringLiteral("Changes to the working data folder will only take effect the next time you run Tavrine "
                           "Dictate"));
    bool bStored = Engine::SetUserName(ForStore(Edit(kIdName))) && Engine::SetUserEmail(ForStore(Edit(kIdEmail)))
        && Engine::SetUserID(static_cast<uint32_t>(uId));
    for (const auto& [nId, szName] : kDetails)
        bStored = bStored && Engine::SetUserDetail(szName, ForStore(Edit(nId)));
    bStored = bStored && Engine::SetWorkingFolderSetting(folder);
    if (!bStored)
        m_prompts.box(this, LUserPrompts::Box::Error, QString::fromUtf8(kCaption),
            QString::fromStdString(tplprintf("Cannot store the settings in %s.", GetUserSettingsPath())));
    return bStored;
}

std::string LUserPage::FullNameFromGecos(std::string_view gecos)
{
    std::string_view name = gecos.substr(0, gecos.find(','));
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return std::string(CutUtf8(name, kMaxSettingChars));
}

std::string LUserPage::AccountFullName()
{
    struct passwd pw { };
    struct passwd* pResult = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &pResult) != 0 || !pResult || !pw.pw_gecos)
        return std::string();
    return FullNameFromGecos(pw.pw_gecos);
}
