// The Options page: what it shows of the stored values, what Store() writes
// and that nothing else does.
#include "DesktopFixture.h"

#include "app/desktop/settings/LOptionsPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

namespace {

using O = LOptionsPage;

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
