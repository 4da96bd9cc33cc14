// The recipient properties dialog over a stored FTP recipient: what it shows,
// and what each edit followed by OK or Cancel leaves in the recipient's section.
#include "app/desktop/dialogs/SendToDlg.h"
#include "tests/desktop/DesktopFixture.h"

#include <QAbstractButton>
#include <QLineEdit>

#include <map>

namespace {

using Engine = LDictationEngineSettings;
using D = SendToDlg;

std::map<std::string, std::string> Section(uint8_t n)
{
    std::map<std::string, std::string> out;
    for (const char* name : Engine::GetSendToValueNames())
        out[name] = GetSettingString(Engine::GetSendToUserSettingSection(n), name, "-");
    out["IsUsed"] = GetSettingString(Engine::GetSendToUserSettingSection(n), "IsUsed", "-");
    return out;
}

constexpr const char* kTypist = "age1al6dye0nf9vmhptgc6cvkygfurhquz7879usckdln5cedss6a35qzs5mcg";

struct Case {
    const char* what;
    std::function<void(D&)> edit;
    bool bOk; // OK pressed, else Cancel
    bool bRefused; // a box shown and the dialog kept open
    std::map<std::string, std::string> changed; // what differs afterwards
    std::vector<int> disabled = {};
};

} // namespace

TEST_F(DesktopTest, SendToDlgShowsChecksAndStores)
{
    const std::string folder = engine->GetWorkingFolder();
    const Case cases[] = {
        { "cancel", [](D& d) { d.Edit(D::kIdName)->setText("Other"); }, false, false, {} },
        { "wav clears the key", [](D& d) { d.Button(D::kIdWav)->setChecked(true); }, true, false,
            { { "SendFileFormat", "1" }, { "EncryptionKey", "" } }, { D::kIdEncrypt, D::kIdKey } },
        { "lan", [&](D& d) { d.Button(D::kIdLan)->setChecked(true), d.Edit(D::kIdFolder)->setText(folder.c_str()); },
            true, false, { { "SendMethod", "2" }, { "Folder", folder } }, { D::kIdFtpServer, D::kIdFtpAllowPlain } },
        { "sealed, Blowfish set aside",
            [](D& d) { d.Button(D::kIdSeal)->setChecked(true), d.Edit(D::kIdSealTo)->setText(kTypist); }, true, false,
            { { "SealTo", kTypist } }, { D::kIdEncrypt, D::kIdKey } },
        { "sealed for a key that is none",
            [](D& d) {
                d.Button(D::kIdSeal)->setChecked(true), d.Edit(D::kIdSealTo)->setText(QString(kTypist) + ", age1nokey");
            },
            true, true, {} },
        { "ftp without directory", [](D& d) { d.Edit(D::kIdFtpDirectory)->clear(); }, true, true, {} },
        { "pool",
            [](D& d) {
                d.Button(D::kIdPool)->setChecked(true), d.Edit(D::kIdPoolServer)->setText("imap.example:1993");
                d.Edit(D::kIdPoolUser)->setText("anna"), d.Edit(D::kIdPoolPassword)->setText(" pool pw");
                d.Edit(D::kIdPoolFolder)->setText("Shared/Typing"), d.Button(D::kIdPoolAllowPlain)->setChecked(true);
            },
            true, false,
            { { "SendMethod", "5" }, { "PoolServer", "imap.example:1993" }, { "PoolUserName", "anna" },
                { "PoolPassword", " pool pw" }, { "PoolFolder", "Shared/Typing" }, { "PoolAllowPlain", "1" } },
            { D::kIdFtpServer, D::kIdFtpAllowPlain } },
        { "pool without folder",
            [](D& d) {
                d.Button(D::kIdPool)->setChecked(true), d.Edit(D::kIdPoolServer)->setText("imap.example");
                d.Edit(D::kIdPoolUser)->setText("anna"), d.Edit(D::kIdPoolPassword)->setText("pw");
            },
            true, true, {} },
        { "shell given the path as code",
            [](D& d) {
                d.Button(D::kIdCommand)->setChecked(true), d.Edit(D::kIdRunCommand)->setText("sh -c 'lp %filepath%'");
            },
            true, true, {} },
        { "lan folder missing",
            [&](D& d) {
                d.Button(D::kIdLan)->setChecked(true), d.Edit(D::kIdFolder)->setText((folder + "/none").c_str());
            },
            true, true, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Engine::RemoveSendTo(0);
        uint8_t n = kNoRecipient;
        ASSERT_EQ(Engine::AddSendTo("Anna",
                      { { "SendMethod", "3" }, { "FtpServer", "ftp.example" }, { "FtpUserName", "anna" },
                          { "FtpPassword", " pw" }, { "FtpDirectory", "in" }, { "FtpAllowPlain", "1" },
                          { "EncryptionKey", "k1" }, { "EmailTo", "a@b.example" }, { "Folder", "" },
                          { "RunCommand", "run" }, { "SendFileFormat", "0" }, { "FileNameFormat", "%filenumber%" } },
                      &n),
            Engine::AddSendToResult::Added);
        std::vector<QString> shown;
        LUserPrompts prompts;
        prompts.box = [&](QWidget*, LUserPrompts::Box, const QString&, const QString& text) {
            shown.push_back(text);
            return true;
        };
        const auto before = Section(n);
        D dialog(n, prompts);
        EXPECT_EQ(dialog.Edit(D::kIdName)->text(), "Anna");
        EXPECT_TRUE(dialog.Button(D::kIdFtp)->isChecked() && dialog.Button(D::kIdDct)->isChecked());
        EXPECT_TRUE(dialog.Button(D::kIdEncrypt)->isChecked() && dialog.Button(D::kIdFtpAllowPlain)->isChecked());
        EXPECT_EQ(dialog.Edit(D::kIdFtpPassword)->text(), " pw");
        EXPECT_FALSE(dialog.Control(D::kIdFolder)->isEnabled() || dialog.Control(D::kIdRunCommand)->isEnabled()
            || dialog.Control(D::kIdPoolServer)->isEnabled());
        EXPECT_FALSE(dialog.Button(D::kIdSetDefault)->isEnabled()); // 0 is the default until one is set
        c.edit(dialog);
        for (int nId : c.disabled)
            EXPECT_FALSE(dialog.Control(nId)->isEnabled()) << nId;
        if (c.bOk)
            EXPECT_EQ(dialog.Accept(), !c.bRefused);
        else
            dialog.reject();
        EXPECT_EQ(shown.size(), c.bRefused ? 1u : 0u);
        auto expected = before;
        for (const auto& [key, value] : c.changed)
            expected[key] = value;
        EXPECT_EQ(Section(n), expected);
    }
}
