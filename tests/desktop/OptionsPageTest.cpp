// The Options and User pages and the prompt validation dialog: enabling, what
// they show (the defaults in force), what Store() writes and that nothing else does.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/PromptDataValidationDialog.h"
#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/settings/LOptionsPage.h"
#include "app/desktop/settings/LUserPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <set>

namespace {

using O = LOptionsPage;
using V = PromptDataValidationDialog;

// Everything either scope holds, to show that nothing was written.
std::string AllSettings()
{
    return test::ReadFileText(GetUserSettingsPath()) + "|" + test::ReadFileText(GetMachineSettingsPath()) + "|"
        + test::ReadFileText(GetMachineOverlayPath());
}

class PagesTest : public DesktopTest {
protected:
    LUserPrompts Answering()
    {
        LUserPrompts p;
        p.box = [this](QWidget*, LUserPrompts::Box box, const QString& caption, const QString& text) {
            boxes.push_back({ box, caption, text });
            return true;
        };
        return p;
    }
};

} // namespace

TEST_F(PagesTest, OptionsEnablingFollowsTheBoxesChecked)
{
    // Always enabled: the boxes that govern the others, the tones and the limits.
    const std::set<int> always = { O::kIdPrompt, O::kIdRecordTone, O::kIdStoppedTone, O::kIdAutoDeleteDays,
        O::kIdWarnBelowMb, O::kIdDefaultNote };
    const std::set<int> first
        = { O::kIdPromptLabel, O::kIdPromptText, O::kIdTagChoice, O::kIdPrompt2, O::kIdAsName, O::kIdValidation };
    auto with = [](std::set<int> s, const std::set<int>& more) { return s.insert(more.begin(), more.end()), s; };
    const struct {
        std::vector<int> checked;
        std::set<int> enabled;
    } rows[] = {
        { {}, {} },
        { { O::kIdPrompt, O::kIdTagChoice }, with(first, { O::kIdTag }) },
        { { O::kIdPrompt, O::kIdAsName }, first },
        { { O::kIdPrompt, O::kIdPrompt2, O::kIdTagChoice },
            with(first,
                { O::kIdTag, O::kIdPrompt2Label, O::kIdPrompt2Text, O::kIdTag2Label, O::kIdTag2, O::kIdValidation2 }) },
        { { O::kIdPrompt2 }, { O::kIdValidation2 } }, // the second rules stay reachable to edit
        { { O::kIdStoppedTone }, { O::kIdStoppedToneRepeat } },
        { { O::kIdDefaultNote }, { O::kIdEditTemplate } },
    };
    O page(Answering());
    for (const auto& row : rows) {
        for (int nId : { O::kIdPrompt, O::kIdPrompt2, O::kIdStoppedTone, O::kIdDefaultNote })
            page.Button(nId)->setChecked(false);
        for (int nId : row.checked)
            page.Button(nId)->setChecked(true);
        std::set<int> enabled;
        for (int nId = O::kIdPrompt; nId <= O::kIdEditTemplate; ++nId)
            if (page.Control(nId)->isEnabled())
                enabled.insert(nId);
        EXPECT_EQ(enabled, with(row.enabled, always))
            << "first checked: " << (row.checked.empty() ? 0 : row.checked[0]);
    }
    V dialog("Prompt1", Answering());
    for (bool bOn : { false, true }) {
        dialog.Button(V::kIdRestrict)->setChecked(bOn);
        for (int nId : { V::kIdMinChars, V::kIdMaxChars, V::kIdMinLabel, V::kIdMaxLabel })
            EXPECT_EQ(dialog.Control(nId)->isEnabled(), bOn) << nId;
    }
}

TEST_F(PagesTest, OptionsShowsStoredValuesAndStoresOnlyOnStore)
{
    SetSettingBool("Prompt1", "Prompt", true);
    SetSettingString("Prompt1", "Text", "Case?");
    SetSettingBool("Prompt1", "DictationName", true);
    SetSettingBool("Prompt2", "Prompt", true);
    SetSettingString("Prompt2", "XMLTag", "");
    SetSettingInt("Settings", "AutoDeleteDays", 7);
    SetSettingBool("Settings", "StoppedTone", true);
    SetMachineInt("Settings", "warnbelowmb", 500);
    const std::string before = AllSettings();
    {
        O page(Answering());
        EXPECT_TRUE(page.Button(O::kIdPrompt)->isChecked() && page.Button(O::kIdAsName)->isChecked());
        EXPECT_FALSE(page.Button(O::kIdTagChoice)->isChecked() || page.Button(O::kIdRecordTone)->isChecked());
        EXPECT_EQ(page.Edit(O::kIdPromptText)->text(), "Case?");
        EXPECT_EQ(page.Edit(O::kIdTag)->text(), "fileno");
        EXPECT_EQ(page.Edit(O::kIdPrompt2Text)->text(), "Enter client or patient name");
        EXPECT_EQ(page.Edit(O::kIdTag2)->text(), ""); // stored empty stays empty
        EXPECT_TRUE(page.Button(O::kIdStoppedTone)->isChecked());
        EXPECT_EQ(page.Spin(O::kIdAutoDeleteDays)->value(), 7);
        EXPECT_EQ(page.Spin(O::kIdWarnBelowMb)->value(), 500);
        page.Button(O::kIdTagChoice)->click();
        page.Edit(O::kIdTag)->setText("case");
    }
    EXPECT_EQ(AllSettings(), before);

    // The second prompt is stored on only together with the first.
    for (bool bFirst : { true, false }) {
        O page(Answering());
        page.Button(O::kIdPrompt)->setChecked(bFirst);
        page.Button(O::kIdTagChoice)->click();
        page.Edit(O::kIdTag)->setText("case");
        page.Button(O::kIdRecordTone)->setChecked(true);
        page.Spin(O::kIdWarnBelowMb)->setValue(64);
        ASSERT_TRUE(page.Store());
        EXPECT_EQ(GetSettingString("Prompt1", "Prompt", "-"), bFirst ? "1" : "0");
        EXPECT_EQ(GetSettingString("Prompt2", "Prompt", "-"), bFirst ? "1" : "0");
        EXPECT_EQ(GetSettingString("Prompt1", "DictationName", "-"), "0");
        EXPECT_EQ(GetSettingString("Prompt1", "XMLTag", "-"), "case");
        EXPECT_EQ(GetSettingString("Settings", "RecordTone", "-"), "1");
        EXPECT_EQ(GetSettingString("Settings", "AutoDeleteDays", "-"), "7");
        EXPECT_EQ(GetMachineString("Settings", "WarnBelowMB", "-"), "64");
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PagesTest, DefaultsShownAreTheLimitsInForce)
{
    // Nothing stored: the low-disk threshold shown is the one new dictations are checked against.
    const int nShownMb = O(Answering()).Spin(O::kIdWarnBelowMb)->value();
    Open();
    auto warned = [this](uint32_t uKB) {
        boxes.clear();
        uFreeKB = uKB;
        Run(LCommandId::kNew);
        return std::any_of(
            boxes.begin(), boxes.end(), [](const ShownBox& b) { return b.box == LUserPrompts::Box::Warning; });
    };
    EXPECT_TRUE(warned(nShownMb * 1024 - 1));
    EXPECT_FALSE(warned(nShownMb * 1024));

    // Nor the tags: the answers land under the tags the page shows.
    O page(Answering());
    const QString tags[2] = { page.Edit(O::kIdTag)->text(), page.Edit(O::kIdTag2)->text() };
    SetSettingBool("Prompt1", "Prompt", true);
    SetSettingBool("Prompt2", "Prompt", true);
    runDialog = [](QDialog& d) {
        auto& prompt = dynamic_cast<PromptForDataDialog&>(d);
        prompt.Answer(PromptForDataDialog::kIdAnswer1)->setEditText("12");
        prompt.Answer(PromptForDataDialog::kIdAnswer2)->setEditText("Lee");
        prompt.Accept();
    };
    LDictation* pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(StoredNotes(pNew), QStringLiteral("<%1>12</%1>\r\n<%2>Lee</%2>\r\n").arg(tags[0], tags[1]).toStdString());

    // Only the restriction stored: the lengths shown are the lengths the prompt accepts.
    SetSettingBool("Prompt2", "ValidateChars", true);
    V dialog("Prompt2", Answering());
    const int nMin = dialog.Spin(V::kIdMinChars)->value();
    const int nMax = dialog.Spin(V::kIdMaxChars)->value();
    for (int n : { nMin - 1, nMin, nMax, nMax + 1 })
        EXPECT_EQ(PromptForDataDialog::IsValidAnswer("Prompt2", QString(n, u'7')), n >= nMin && n <= nMax) << n;
    dialog.Button(V::kIdNumbersOnly)->setChecked(true);
    dialog.Spin(V::kIdMaxChars)->setValue(4);
    ASSERT_TRUE(dialog.Accept());
    for (const char* szAnswer : { "12345", "12a", "1234" })
        EXPECT_EQ(PromptForDataDialog::IsValidAnswer("Prompt2", szAnswer), std::string_view(szAnswer) == "1234")
            << szAnswer;
}

TEST_F(PagesTest, EditDefaultTemplateMakesItEmptyAndOpensIt)
{
    const std::string path = LDictationCommands::DefaultNotePath();
    O page(Answering());
    std::vector<std::vector<std::string>> launched;
    page.SetLauncher([&](const std::vector<std::string>& args) { return launched.push_back(args), true; });
    page.Button(O::kIdDefaultNote)->setChecked(true);
    page.Button(O::kIdEditTemplate)->click();
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    test::WriteFileText(path, "Dear typist\n");
    page.Button(O::kIdEditTemplate)->click(); // an existing one is kept
    EXPECT_EQ(test::ReadFileText(path), "Dear typist\n");
    EXPECT_EQ(launched, std::vector<std::vector<std::string>>(2, { "xdg-open", path }));
}

TEST_F(PagesTest, UserPageProposesTheAccountNameAndWarnsOfANewDataFolder)
{
    TEST_REQUIRE_TOOL("getent");
    std::string entry;
    ASSERT_EQ(test::RunShell(
                  "getent passwd $(id -u) | cut -d: -f5 | cut -d, -f1 | sed 's/^ *//;s/ *$//' | tr -d '\\n'", &entry),
        0);
    const std::string folder = engine->GetWorkingFolder();
    const std::string before = AllSettings();
    {
        LUserPage page(Answering());
        EXPECT_EQ(page.Edit(LUserPage::kIdName)->text().toStdString(), entry);
        EXPECT_EQ(page.Edit(LUserPage::kIdDataFolder)->text().toStdString(), folder);
    }
    EXPECT_EQ(AllSettings(), before);
    EXPECT_EQ(LUserPage::FullNameFromGecos("Anna Berg,Room 4,,"), "Anna Berg");

    SetSettingString("UserInfo", "Name", ""); // cleared on purpose: no proposal again
    SetSettingString("UserInfo", "Fax", "0301");
    LUserPage page(Answering());
    EXPECT_EQ(page.Edit(LUserPage::kIdName)->text(), "");
    EXPECT_EQ(page.Edit(LUserPage::kIdFax)->text(), "0301");
    ASSERT_TRUE(page.Store()); // the folder is unchanged: no message
    EXPECT_TRUE(boxes.empty());

    QString title;
    page.chooseFolder = [&](QWidget*, const QString& t, const QString&) { return title = t, QStringLiteral("/srv/d"); };
    page.Button(LUserPage::kIdBrowseFolder)->click();
    EXPECT_EQ(title, "Locate transmit folder...");
    page.Edit(LUserPage::kIdName)->setText("Bea");
    page.Edit(LUserPage::kIdUserId)->setText("4294967295");
    page.Edit(LUserPage::kIdAddress1 + 3)->setText("Town");
    ASSERT_TRUE(page.Store());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].box == LUserPrompts::Box::Information && boxes[0].caption == "Tavrine Dictate");
    EXPECT_EQ(boxes[0].text,
        "Changes to the working data folder will only take effect the next time you run Tavrine Dictate");
    EXPECT_EQ(LDictationEngineSettings::GetWorkingFolderSetting(), "/srv/d");
    EXPECT_EQ(LDictationEngineSettings::GetUserName(), "Bea");
    EXPECT_EQ(LDictationEngineSettings::GetUserID(), 4294967295u);
    EXPECT_EQ(LDictationEngineSettings::GetUserDetail("Address4"), "Town");
    EXPECT_EQ(LDictationEngineSettings::GetUserDetail("Fax"), "0301");
}
