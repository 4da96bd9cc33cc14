// The Options page and the prompt validation dialog: what they show (the
// defaults in force), what Store() writes and that nothing else does.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/PromptDataValidationDialog.h"
#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/settings/LOptionsPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

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
