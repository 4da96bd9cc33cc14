// What a screen reader is told: every focusable element of the main window
// and of each dialog has a name as Qt's accessibility interface reports it,
// every list column is named and no two controls shown together share a
// mnemonic; and a whole dictation made by keys alone, the keys read from the
// buttons' tool tips.
#include "app/desktop/commands/LDockCommands.h"
#include "app/desktop/dialogs/DockDialog.h"
#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"
#include "app/desktop/dialogs/LKeyChangeCommandDialog.h"
#include "app/desktop/dialogs/LKeyChangeDlg.h"
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "app/desktop/dialogs/PromptDataValidationDialog.h"
#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/dialogs/RecoverDialog.h"
#include "app/desktop/dialogs/SendToDlg.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/window/LAnnouncer.h"
#include "app/desktop/window/LControlIds.h"
#include "send/LProcessListThread.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "ui/LDBEdit.h"
#include "ui/LProgressDialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <climits>
#include <filesystem>
#include <map>

namespace {

QString Step(QAccessibleInterface* p, int nIndex)
{
    QObject* pObject = p->object();
    QString step = pObject ? QString::fromLatin1(pObject->metaObject()->className()) : QStringLiteral("item");
    return step + QStringLiteral("[%1]").arg(nIndex);
}

// The paths of focusable elements without a name, and of unnamed columns.
void Unnamed(QAccessibleInterface* p, const QString& path, QStringList& out, int nDepth = 0)
{
    if (!p || nDepth > 40)
        return;
    const QAccessible::Role role = p->role();
    // A row's or cell's name is its data; the list itself and its columns are what must be named.
    if (role == QAccessible::Cell || role == QAccessible::Row || role == QAccessible::ListItem
        || role == QAccessible::TreeItem)
        return;
    const bool bNameless = p->text(QAccessible::Name).trimmed().isEmpty();
    if (bNameless && (p->state().focusable || role == QAccessible::ColumnHeader))
        out << path;
    // A combo box's editor and pop-up list read as the combo box.
    if (role == QAccessible::ComboBox)
        return;
    for (int i = 0; i < p->childCount(); ++i) {
        QAccessibleInterface* pChild = p->child(i);
        if (pChild)
            Unnamed(pChild, path + QLatin1Char('/') + Step(pChild, i), out, nDepth + 1);
    }
}

// "&x" letters used twice among the widgets now shown in the window.
QStringList SharedMnemonics(QWidget* pWindow)
{
    std::map<QChar, QStringList> users;
    const QRegularExpression mnemonic(QStringLiteral("(?<!&)&([^&])"));
    for (QWidget* p : pWindow->findChildren<QWidget*>()) {
        if (!p->isVisibleTo(pWindow))
            continue;
        QStringList texts;
        if (auto* pButton = qobject_cast<QAbstractButton*>(p))
            texts << pButton->text();
        else if (auto* pLabel = qobject_cast<QLabel*>(p); pLabel && pLabel->buddy())
            texts << pLabel->text();
        else if (auto* pBox = qobject_cast<QGroupBox*>(p); pBox && pBox->isCheckable())
            texts << pBox->title();
        else if (auto* pTabs = qobject_cast<QTabWidget*>(p))
            for (int i = 0; i < pTabs->count(); ++i)
                texts << pTabs->tabText(i);
        for (const QString& text : texts)
            if (auto match = mnemonic.match(text); match.hasMatch())
                users[match.captured(1).at(0).toLower()] << text;
    }
    QStringList out;
    for (const auto& [letter, texts] : users)
        if (texts.size() > 1)
            out << texts.join(QStringLiteral(" / "));
    return out;
}

// Tab steps that go back up the window: the next control lies wholly above
// the one before, other than the one step back round to the top.
QStringList UpwardTabs(QWidget* pWindow)
{
    std::vector<std::pair<QWidget*, QRect>> chain;
    QWidget* p = pWindow;
    for (int i = 0; i < 400 && (p = p->nextInFocusChain()) != pWindow; ++i)
        if (p->isVisibleTo(pWindow) && (p->focusPolicy() & Qt::TabFocus) && !p->focusProxy())
            chain.emplace_back(p, QRect(p->mapTo(pWindow, QPoint()), p->size()));
    int nTop = INT_MAX;
    for (const auto& entry : chain)
        nTop = std::min(nTop, entry.second.top());
    QStringList out;
    auto name
        = [](QWidget* pWidget) { return QAccessible::queryAccessibleInterface(pWidget)->text(QAccessible::Name); };
    for (size_t i = 1; i < chain.size(); ++i)
        if (chain[i].second.bottom() < chain[i - 1].second.top() && chain[i].second.top() != nTop)
            out << name(chain[i - 1].first) + QStringLiteral(" -> ") + name(chain[i].first);
    return out;
}

// Every tab of every tab widget in turn, each as the window then shows it.
void Check(QWidget* pWindow, const QString& name, QStringList& unnamed, QStringList& shared)
{
    pWindow->show();
    QList<QTabWidget*> tabs = pWindow->findChildren<QTabWidget*>();
    const int nPages = tabs.isEmpty() ? 1 : tabs.first()->count();
    for (int i = 0; i < nPages; ++i) {
        if (!tabs.isEmpty())
            tabs.first()->setCurrentIndex(i);
        const QString where = tabs.isEmpty() ? name : name + QLatin1Char(':') + tabs.first()->tabText(i);
        for (const QString& letters : SharedMnemonics(pWindow))
            shared << where + QStringLiteral(": ") + letters;
        for (const QString& step : UpwardTabs(pWindow))
            shared << where + QStringLiteral(": Tab goes up from ") + step;
    }
    Unnamed(QAccessible::queryAccessibleInterface(pWindow), name, unnamed);
    pWindow->hide();
}

// The key a tool tip names: "Play (F9)" gives F9.
QKeyCombination TipKey(const QString& tip)
{
    const qsizetype nOpen = tip.lastIndexOf(QLatin1Char('('));
    const QKeySequence key
        = QKeySequence::fromString(tip.mid(nOpen + 1, tip.size() - nOpen - 2), QKeySequence::NativeText);
    EXPECT_FALSE(key.isEmpty()) << tip.toStdString();
    return key.isEmpty() ? QKeyCombination() : key[0];
}

class KeysOnly : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        pQueue = &sendQueue;
    }
    void TearDown() override
    {
        if (app)
            Close();
    }
    // A tap of the key the tip names, at whatever has the focus.
    void Tap(const QString& tip)
    {
        const QKeyCombination key = TipKey(tip);
        QWidget* pFocus = QApplication::focusWidget();
        ASSERT_NE(pFocus, nullptr) << tip.toStdString();
        QTest::keyClick(pFocus, key.key(), key.keyboardModifiers());
    }
    QString Tip(int nId) { return dialog->Control(nId)->toolTip(); }
    QString Said() { return dialog->Announcer().LastAnnouncement(); }

    LSendQueue sendQueue;
};

} // namespace

TEST_F(KeysOnly, NewRecordStopPlayAndSendByTheKeysTheTipsName)
{
    using namespace LControlIds;
    test::ScriptedPcmBackend backend;
    backend.Install();
    SetSettingInt("Settings", "SampleRate", 8000);
    SetMachineInt("Settings", "VoiceActivateLevel", -127);
    backend.SetCaptureScript({ std::vector<std::vector<int16_t>>(100, std::vector<int16_t>(800, 3000)), 100 });
    const std::string inbox = env.Dir().File("inbox");
    std::filesystem::create_directories(inbox);
    uint8_t n = 0;
    ASSERT_EQ(LDictationEngineSettings::AddSendTo("Typist", { { "SendMethod", "2" }, { "Folder", inbox } }, &n),
        LDictationEngineSettings::AddSendToResult::Added);
    Open();
    QApplication::setActiveWindow(dialog);
    dialog->List()->setFocus();
    Tap(dialog->MenuAction(LCommandId::kToolNew)->toolTip());
    ASSERT_EQ(dialog->List()->topLevelItemCount(), 1);

    Tap(Tip(kIdRecord));
    ASSERT_TRUE(PumpUntil([&] { return app->Transport().GetRecordState() == LSoundRecorder::kStateRecording; }));
    EXPECT_TRUE(PumpUntil([&] { return Said() == "Recording"; })) << Said().toStdString();
    PumpFor(1500);
    Tap(Tip(kIdStop));
    ASSERT_TRUE(PumpUntil([&] { return !app->Transport().GetRecordState() && Session().Length() >= 1000; }));
    EXPECT_TRUE(PumpUntil([&] { return Said().startsWith("Stopped at 0:00:0"); })) << Said().toStdString();
    PumpFor(300);
    EXPECT_TRUE(Said().startsWith("Stopped at 0:00:0")) << Said().toStdString();

    Tap(Tip(kIdGoStart));
    EXPECT_EQ(Session().Position(), 0);
    EXPECT_EQ(Said(), "0:00:00");
    Tap(Tip(kIdPlay));
    ASSERT_TRUE(PumpUntil([&] { return app->Transport().IsPlaying(); }));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Name), "Playing - Tavrine Dictate");
    ASSERT_TRUE(PumpUntil([&] { return !app->Transport().IsPlaying(); }, 10000));
    Run(LCommandId::kDefaultInsert);
    EXPECT_EQ(Said(), "Record mode Insert");

    Tap(dialog->MenuAction(LCommandId::kToolSend)->toolTip());
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(inbox, ".dct").size() == 1; }, 20000)) << boxes.size();
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 0);
}

TEST_F(DesktopTest, EveryFocusableElementHasANameAndMnemonicsAreUnique)
{
    test::ScriptedPcmBackend backend;
    backend.Install();
    ::Record(*Make("One", 6, 50, 1000, "a note"), 6 * 8000);
    QStringList unnamed, shared;
    Check(&Open(), QStringLiteral("MainDialog"), unnamed, shared);
    // The dialogs the commands open, each as the program makes it.
    int nSliders = 0;
    runDialog = [&](QDialog& d) {
        Check(&d, QString::fromLatin1(d.metaObject()->className()), unnamed, shared);
        // A decibel slider moves by keys and reads as a slider with its value.
        for (LDBEdit* pEdit : d.findChildren<LDBEdit*>()) {
            const int nBefore = pEdit->GetValue();
            QTest::keyClick(pEdit, pEdit->GetValue() < pEdit->GetMaximum() ? Qt::Key_Right : Qt::Key_Left);
            QAccessibleInterface* p = QAccessible::queryAccessibleInterface(pEdit);
            EXPECT_EQ(std::abs(pEdit->GetValue() - nBefore), 1) << p->text(QAccessible::Name).toStdString();
            EXPECT_EQ(p->role(), QAccessible::Slider);
            ASSERT_NE(p->valueInterface(), nullptr);
            EXPECT_EQ(p->valueInterface()->currentValue().toInt(), pEdit->GetValue());
            ++nSliders;
        }
    };
    for (LCommandId id : { LCommandId::kHardwareSettings, LCommandId::kOpenAttachmentList })
        Run(id);
    EXPECT_EQ(nDialogs, 2);
    EXPECT_GE(nSliders, 3);
    ASSERT_TRUE(Run(LCommandId::kDockCable));
    Check(app->Dock().Window(), QStringLiteral("DockDialog"), unnamed, shared);
    const LUserPrompts prompts = app->Commands().Prompts();
    LEmailSendSettingsDlg mail(prompts);
    SendToDlg sendTo(0, prompts);
    LProcessListThread sendQueue;
    RecoverDialog recover(RecoverDialog::Mode::Recover, *engine, sendQueue, loop);
    LWaveFormatChooser chooser(LWaveFormat {}, 1, QStringLiteral("Format"));
    LKeyChangeDlg key;
    LKeyChangeCommandDialog keyCommand(0, prompts);
    PromptForDataDialog prompt(true, prompts);
    PromptDataValidationDialog validation("Prompt1", prompts);
    LFirstRunWizard wizard(
        loop, [] {}, QString());
    auto check = [&](QWidget& w) { Check(&w, QString::fromLatin1(w.metaObject()->className()), unnamed, shared); };
    check(mail), check(sendTo), check(recover), check(chooser), check(key), check(keyCommand), check(prompt),
        check(validation), check(wizard);
    RunInProgressDialog(dialog, QStringLiteral("Sending"),
        [&](LProgressReporter& r) { return check(*static_cast<LProgressDialog&>(r).GetDialog()), 0; });
    Close();
    EXPECT_TRUE(unnamed.isEmpty()) << "focusable without a name:\n" << unnamed.join('\n').toStdString();
    EXPECT_TRUE(shared.isEmpty()) << "mnemonic used twice or Tab out of order:\n" << shared.join('\n').toStdString();
}
