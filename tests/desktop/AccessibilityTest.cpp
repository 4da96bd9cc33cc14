// Every focusable element and column of each window named as Qt reports it, Tab down each window,
// and a whole dictation made by the keys the tool tips name.
#include "app/desktop/commands/LDockCommands.h"
#include "app/desktop/dialogs/DockDialog.h"
#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"
#include "app/desktop/dialogs/LKeyChangeCommandDialog.h"
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/dialogs/SendToDlg.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/window/LAnnouncer.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "ui/LDBEdit.h"
#include "ui/LProgressDialog.h"

#include <QAccessible>
#include <QTabWidget>
#include <QTest>

namespace {

QString Name(QWidget* p)
{
    return QAccessible::queryAccessibleInterface(p)->text(QAccessible::Name);
}

// Focusable elements and columns without a name; a row's or cell's name is its data.
void Unnamed(QAccessibleInterface* p, const QString& path, QStringList& out)
{
    const QAccessible::Role role = p->role();
    if (role == QAccessible::Cell || role == QAccessible::Row || role == QAccessible::TreeItem)
        return;
    if (p->text(QAccessible::Name).trimmed().isEmpty() && (p->state().focusable || role == QAccessible::ColumnHeader))
        out << path;
    // A combo box's editor and pop-up list read as the combo box.
    for (int i = 0; role != QAccessible::ComboBox && i < p->childCount(); ++i)
        if (QAccessibleInterface* pChild = p->child(i); pChild && pChild->object())
            Unnamed(pChild, path + '/' + pChild->object()->metaObject()->className() + QString::number(i), out);
}

// Each page in turn: a Tab step to a control wholly above the one before, but for the step round to the top.
void Check(QWidget* pWindow, QStringList& out)
{
    pWindow->show();
    auto* pTabs = pWindow->findChild<QTabWidget*>();
    for (int nPage = 0; nPage < (pTabs ? pTabs->count() : 1); ++nPage) {
        if (pTabs)
            pTabs->setCurrentIndex(nPage);
        std::vector<std::pair<QWidget*, QRect>> chain;
        int nTop = 1 << 30;
        for (QWidget* p = pWindow->nextInFocusChain(); p != pWindow && chain.size() < 400; p = p->nextInFocusChain())
            if (p->isVisibleTo(pWindow) && (p->focusPolicy() & Qt::TabFocus) && !p->focusProxy())
                chain.emplace_back(p, QRect(p->mapTo(pWindow, QPoint()), p->size())),
                    nTop = std::min(nTop, chain.back().second.top());
        for (size_t i = 1; i < chain.size(); ++i)
            if (chain[i].second.bottom() < chain[i - 1].second.top() && chain[i].second.top() != nTop)
                out << QStringLiteral("Tab up: ") + Name(chain[i - 1].first) + " -> " + Name(chain[i].first);
    }
    Unnamed(QAccessible::queryAccessibleInterface(pWindow), pWindow->metaObject()->className(), out);
    pWindow->hide();
}

class KeysOnly : public DesktopTest {
protected:
    void SetUp() override { DesktopTest::SetUp(), pQueue = &sendQueue; }
    void TearDown() override { app ? Close() : void(); }
    // A tap, at whatever has the focus, of the key a tip names: "Play (F9)" gives F9.
    void Tap(const QString& tip)
    {
        const qsizetype n = tip.lastIndexOf('(');
        const QKeySequence key = QKeySequence::fromString(tip.mid(n + 1, tip.size() - n - 2), QKeySequence::NativeText);
        ASSERT_TRUE(!key.isEmpty() && QApplication::focusWidget()) << tip.toStdString();
        QTest::keyClick(QApplication::focusWidget(), key[0].key(), key[0].keyboardModifiers());
    }
    QString Tip(int nId) { return dialog->Control(nId)->toolTip(); }
    QString Said() { return dialog->Announcer().LastAnnouncement(); }

    LSendQueue sendQueue;
};

} // namespace

TEST_F(DesktopTest, EveryFocusableElementIsNamedAndTabGoesDownEachWindow)
{
    test::ScriptedPcmBackend backend;
    backend.Install();
    ::Record(*Make("One", 6, 50, 1000, "a note"), 6 * 8000);
    QStringList out;
    Check(&Open(), out);
    int nSliders = 0;
    runDialog = [&](QDialog& d) {
        Check(&d, out);
        // A decibel slider moves by keys and reads as a slider with its value.
        for (LDBEdit* pEdit : d.findChildren<LDBEdit*>()) {
            const int nBefore = pEdit->GetValue();
            QTest::keyClick(pEdit, nBefore < pEdit->GetMaximum() ? Qt::Key_Right : Qt::Key_Left);
            QAccessibleValueInterface* pValue = QAccessible::queryAccessibleInterface(pEdit)->valueInterface();
            EXPECT_EQ(std::abs(pEdit->GetValue() - nBefore), 1) << Name(pEdit).toStdString();
            EXPECT_EQ(pValue ? pValue->currentValue().toInt() : 999, pEdit->GetValue());
            ++nSliders;
        }
    };
    Run(LCommandId::kHardwareSettings), Run(LCommandId::kOpenAttachmentList);
    EXPECT_EQ(nDialogs, 2);
    EXPECT_GE(nSliders, 3);
    ASSERT_TRUE(Run(LCommandId::kDockCable));
    Check(app->Dock().Window(), out);
    const LUserPrompts prompts = app->Commands().Prompts();
    LProcessListThread sendQueue;
    LEmailSendSettingsDlg mail(prompts);
    SendToDlg sendTo(0, prompts);
    RecoverDialog recover(RecoverDialog::Mode::Recover, *engine, sendQueue, loop);
    LWaveFormatChooser chooser(LWaveFormat {}, 1, QStringLiteral("Format"));
    LKeyChangeCommandDialog keyCommand(0, prompts);
    PromptForDataDialog prompt(true, prompts);
    LFirstRunWizard wizard(
        loop, [] {}, QString());
    for (QWidget* p : std::vector<QWidget*> { &mail, &sendTo, &recover, &chooser, &keyCommand, &prompt, &wizard })
        Check(p, out);
    RunInProgressDialog(dialog, QStringLiteral("Sending"),
        [&](LProgressReporter& r) { return Check(static_cast<LProgressDialog&>(r).GetDialog(), out), 0; });
    Close();
    EXPECT_TRUE(out.isEmpty()) << out.join('\n').toStdString();
}

TEST_F(KeysOnly, NewRecordStopPlayAndSendByTheKeysTheTipsName)
{
    test::ScriptedPcmBackend backend;
    backend.Install(), SetSettingInt("Settings", "SampleRate", 8000);
    SetMachineInt("Settings", "VoiceActivateLevel", -127);
    backend.SetCaptureScript({ std::vector<std::vector<int16_t>>(100, std::vector<int16_t>(800, 3000)), 100 });
    const std::string inbox = env.Dir().File("inbox");
    std::filesystem::create_directories(inbox);
    uint8_t n = 0;
    LDictationEngineSettings::AddSendTo("Typist", { { "SendMethod", "2" }, { "Folder", inbox } }, &n);
    QApplication::setActiveWindow(&Open());
    dialog->List()->setFocus();
    Tap(dialog->MenuAction(LCommandId::kToolNew)->toolTip());
    ASSERT_EQ(dialog->List()->topLevelItemCount(), 1);
    LSession& t = Session();
    Tap(Tip(LControlIds::kIdRecord));
    EXPECT_TRUE(PumpUntil([&] { return Said() == "Recording"; })) << Said().toStdString();
    PumpFor(1500);
    Tap(Tip(LControlIds::kIdStop));
    ASSERT_TRUE(PumpUntil([&] { return !t.IsRecorderBusy() && Session().Length() >= 1000; }));
    // Told once the position it left has arrived, and not talked over by it.
    EXPECT_TRUE(PumpUntil([&] { return Said().startsWith("Stopped at 0:00:0"); })) << Said().toStdString();
    PumpFor(300);
    EXPECT_TRUE(Said().startsWith("Stopped at 0:00:0")) << Said().toStdString();
    Tap(Tip(LControlIds::kIdGoStart));
    EXPECT_EQ(Said(), "0:00:00");
    Tap(Tip(LControlIds::kIdPlay));
    ASSERT_TRUE(PumpUntil([&] { return t.IsPlaying(); }));
    EXPECT_EQ(Name(dialog), "Playing - Tavrine Dictate");
    ASSERT_TRUE(PumpUntil([&] { return !t.IsPlaying(); }, 10000));
    Run(LCommandId::kDefaultInsert);
    EXPECT_EQ(Said(), "Record mode Insert");
    Tap(dialog->MenuAction(LCommandId::kToolSend)->toolTip());
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(inbox, ".dct").size() == 1; }, 20000)) << boxes.size();
}
