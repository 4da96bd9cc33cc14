// The hot-key pages: real key events turned into stored values by the key
// dialog, and the Keys page's list kept in the "Keys" section.
#include "app/desktop/dialogs/LKeyChangeCommandDialog.h"
#include "app/desktop/dialogs/LKeyChangeDlg.h"
#include "app/desktop/settings/LKeysPage.h"
#include "foundation/LText.h"
#include "platform/LVirtualKey.h"
#include "tests/desktop/DesktopFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

namespace {

constexpr uint32_t kAlt = 1u << 16, kCtrl = 1u << 17, kShift = 1u << 18;

int Stored(const char* szFormat, int nIndex)
{
    return GetSettingInt("Keys", tplprintf(szFormat, nIndex), -1);
}

QStringList Row(QTreeWidget* pList, int nRow)
{
    QStringList out;
    for (int c = 0; c < pList->columnCount(); ++c)
        out << pList->topLevelItem(nRow)->text(c);
    return out;
}

} // namespace

TEST_F(DesktopTest, KeyChangeDlgTurnsKeyPressesIntoValues)
{
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::optional<uint32_t> value; // none: closed without a key
        bool bCloses;
    };
    const Case cases[] = {
        { Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier, 0x78 | kCtrl | kShift, true },
        { Qt::Key_5, Qt::KeypadModifier, 0x65, true },
        { Qt::Key_Exclam, Qt::ShiftModifier, 0x31 | kShift, true }, // as X reports Shift+1
        { Qt::Key_Shift, Qt::ShiftModifier, std::nullopt, false },
        { Qt::Key_Escape, Qt::NoModifier, std::nullopt, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        LKeyChangeDlg dialog;
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyPress(&dialog, c.key, c.modifiers);
        EXPECT_EQ(dialog.isVisible(), !c.bCloses);
        EXPECT_EQ(dialog.Value(), c.value);
    }
    // Every code the hot keys can grab is found again from its keysym.
    for (unsigned uCode = 1; uCode <= 0xFF; ++uCode) {
        LVirtualKey key;
        if (FindVirtualKey(static_cast<uint16_t>(uCode), &key)) {
            EXPECT_EQ(VirtualKeyOfKeysym(key.uKeysym), uCode) << key.name;
        }
    }
    // The value as the hot keys name it.
    LKeyChangeCommandDialog::StoreKey(0, 0x78 | kCtrl | kShift);
    EXPECT_EQ(LKeyChangeCommandDialog::StoredKeyText(0), "Ctrl+Shift+F9");
}

TEST_F(DesktopTest, KeysPageAddsChangesAndRemovesKeys)
{
    SetSettingInt("Keys", "Count", 3);
    for (int i = 0; i < 3; ++i)
        SetSettingInt("Keys", tplprintf("Key%d", i), 0x70 + i),
            SetSettingInt("Keys", tplprintf("Key%dCommand", i), 3 + i);
    SetSettingBool("Keys", "UseNumeric", false);
    // The dialogs: the key dialog gets real presses, the command dialog a choice.
    std::vector<Qt::Key> presses = { Qt::Key_Escape, Qt::Key_F12, Qt::Key_Insert };
    std::vector<int> choices = { -1, 9 }; // -1 Cancel
    LUserPrompts prompts;
    prompts.exec = [&](QDialog& dialog) {
        if (qobject_cast<LKeyChangeDlg*>(&dialog)) {
            dialog.show();
            QTest::keyClick(&dialog, presses.front()), presses.erase(presses.begin());
            return dialog.result();
        }
        auto& command = static_cast<LKeyChangeCommandDialog&>(dialog);
        const int nChoice = choices.front();
        choices.erase(choices.begin());
        if (nChoice < 0)
            return int(QDialog::Rejected);
        command.Command()->setCurrentIndex(command.Command()->findData(nChoice));
        return command.accept(), command.result();
    };
    {
        LKeysPage page(prompts, true);
        EXPECT_EQ(page.Unavailable(), nullptr);
        EXPECT_FALSE(page.UseNumeric()->isChecked());
        ASSERT_EQ(page.List()->topLevelItemCount(), 3);
        EXPECT_EQ(Row(page.List(), 2), QStringList({ "F3", "Go to start" }));
        EXPECT_FALSE(page.Button(LKeysPage::kIdRemove)->isEnabled() || page.Button(LKeysPage::kIdChange)->isEnabled());
        page.Add(); // Escape: nothing stored
        EXPECT_EQ(Stored("Key%d", 3), -1);
        page.Add(); // F12, then the command cancelled: stored beyond Count
        EXPECT_EQ(Stored("Key%d", 3), 0x7B);
        EXPECT_EQ(GetSettingInt("Keys", "Count", 0), 3);

        page.List()->setCurrentItem(page.List()->topLevelItem(1));
        EXPECT_TRUE(page.Button(LKeysPage::kIdRemove)->isEnabled() && page.Button(LKeysPage::kIdChange)->isEnabled());
        page.Button(LKeysPage::kIdRemove)->click();
        EXPECT_EQ(GetSettingInt("Keys", "Count", 0), 2);
        EXPECT_EQ(Stored("Key%d", 1), 0x72);
        EXPECT_EQ(Stored("Key%dCommand", 1), 5);
        ASSERT_EQ(page.List()->topLevelItemCount(), 2);
        EXPECT_EQ(Row(page.List(), 1), QStringList({ "F3", "Go to start" }));
        page.UseNumeric()->setChecked(true);
    }
    EXPECT_FALSE(GetSettingBool("Keys", "UseNumeric", true)) << "stored without OK";

    // Change on row 0: a new key at once, then command 9 on OK.
    LKeysPage page(prompts, false);
    ASSERT_NE(page.Unavailable(), nullptr);
    page.List()->setCurrentItem(page.List()->topLevelItem(0));
    prompts.exec = [&](QDialog& dialog) {
        auto& command = static_cast<LKeyChangeCommandDialog&>(dialog);
        EXPECT_EQ(command.KeyText()->text(), "F1");
        EXPECT_EQ(command.Command()->currentData().toInt(), 3);
        command.Command()->setCurrentIndex(command.Command()->findData(9));
        return command.accept(), command.result();
    };
    page.Change();
    EXPECT_EQ(Stored("Key%dCommand", 0), 9);
    EXPECT_EQ(Row(page.List(), 0), QStringList({ "F1", "Create New Dictation" }));
    page.UseNumeric()->setChecked(true);
    EXPECT_TRUE(page.Store());
    EXPECT_TRUE(GetSettingBool("Keys", "UseNumeric", false));
}
