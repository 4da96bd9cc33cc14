// The dock from the window: Ctrl+D and its menu, the audio-file method's
// dialog, and the audio-cable window recording through the real ALSA code
// from a sox-made input (file PCM over null), judged by pitch and length. The
// window's clock is the test's, so "15 seconds after the sound" takes none.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/DockDialog.h"
#include "app/desktop/dialogs/DockTransferDlg.h"
#include "app/desktop/dialogs/SendToDlg.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/transfer/LDockFiles.h"
#include "dictation/LDictationAudioSource.h"
#include "tests/support/AlsaTestConfig.h"
#include "tests/support/Audio.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using Id = LCommandId;
constexpr int kRate = 16000;

class DockTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        pQueue = &sendQueue;
        SetSettingInt("Settings", "SampleRate", kRate);
    }
    void TearDown() override
    {
        if (app)
            Close();
    }
    // The capture input: sox's effects at this rate, raw 16-bit mono.
    void Input(int nRate, const std::string& effects)
    {
        ASSERT_EQ(test::Sox("-n -r " + std::to_string(nRate) + " -c 1 -b 16 -e signed -t raw "
                      + test::ShellQuote(alsa.InputFile(0)) + " " + effects),
            0);
    }
    DockDialog* OpenDock()
    {
        Open();
        app->Dock().SetClock([this] { return now; });
        EXPECT_TRUE(Run(Id::kDockCable));
        return app->Dock().Window();
    }
    // Waits until this much sound was recorded and has passed (the recorder
    // waits for the voice again).
    bool SoundPassed(DockDialog* pDock, double fSeconds)
    {
        const bool b = PumpUntil([&] {
            return pDock->LastLoudTime() != 0 && pDock->Tape()->GetTotalSamples() >= fSeconds * 0.9 * kRate
                && pDock->Recorder().GetRecordState() == LSoundRecorder::kStateWaiting;
        });
        return b;
    }
    bool Gone(int nMs = 3000)
    {
        return PumpUntil(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return app->Dock().Window() == nullptr;
            },
            nMs);
    }
    // Lets the window's clock move on and waits for it to end by itself.
    bool EndsAt(int64_t t)
    {
        now = t;
        return Gone();
    }
    LDictation* Listed(const std::string& name)
    {
        for (int i = 0; i < 1000; ++i)
            if (LDictation* p = Session().Find(i); p && p->GetName() == name)
                return p;
        return nullptr;
    }
    static std::vector<double> Samples(LDictation& d)
    {
        return test::ToDouble(test::ReadAll(*LDictationAudioSource::Make(d)));
    }
    static double Seconds(const std::vector<double>& s, double fRate) { return static_cast<double>(s.size()) / fRate; }

    test::AlsaTestConfig alsa;
    LSendQueue sendQueue;
    int64_t now = 1000;
};

TEST_F(DockTest, TheTapeAfterDictation7IsTape008AndEndsItself15sOrMoreAfterTheSound)
{
    TEST_REQUIRE_TOOL("sox");
    Input(kRate, "synth 2 sine 440 vol 0.5");
    SetSettingInt("Settings", "DisplayFileNumber", 6);
    Open();
    ASSERT_TRUE(Run(Id::kNew));
    EXPECT_EQ(Names(), QStringList { "Dictation 7" });
    app->Dock().SetClock([this] { return now; });
    ASSERT_TRUE(Run(Id::kDockCable));
    DockDialog* pDock = app->Dock().Window();
    ASSERT_NE(pDock, nullptr);
    EXPECT_EQ(pDock->Tape()->GetName(), "Tape 008");
    PumpFor(50);
    EXPECT_EQ(app->Router().IsChecked(Id::kToolDock), true);
    ASSERT_TRUE(SoundPassed(pDock, 2));
    now = 1014;
    PumpFor(300);
    ASSERT_EQ(app->Dock().Window(), pDock);
    // A busy window that first looks again 20 s on still ends.
    ASSERT_TRUE(EndsAt(1020));
    PumpFor(50);
    EXPECT_EQ(app->Router().IsChecked(Id::kToolDock), false);
    LDictation* pTape = Listed("Tape 008");
    ASSERT_NE(pTape, nullptr);
    EXPECT_EQ(Session().Current(), pTape);
    EXPECT_NEAR(Seconds(Samples(*pTape), kRate), 2.0, 0.2);
}

TEST_F(DockTest, CtrlDWithNoMethodOffersBothAndTheFileMethodIsThenReopenedDirectly)
{
    TEST_REQUIRE_TOOL("sox");
    const std::string folder = env.Dir().File("recorder");
    fs::create_directories(folder + "/DSS");
    ASSERT_EQ(test::Sox("-n -r 8000 -c 1 " + test::ShellQuote(folder + "/DSS/memo.wav") + " synth 1 sine 440"), 0);
    Open();
    QAction* pDock = dialog->MenuAction(Id::kToolDock);
    ASSERT_NE(pDock, nullptr);
    pDock->trigger();
    ASSERT_EQ(popupItems.size(), 2u);
    EXPECT_EQ(popupItems[1].id, Id::kDockFile);
    EXPECT_EQ(nDialogs, 0);
    popupChoice = Id::kDockFile;
    runDialog = [&](QDialog& d) {
        auto& options = dynamic_cast<DockTransferDlg&>(d);
        EXPECT_FALSE(options.CmOk());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Please select the folder you want to dock files from.");
        options.Folder()->setText(QString::fromStdString(folder));
        options.Check(DockTransferDlg::kIdOnlyNew)->setChecked(false);
        EXPECT_TRUE(options.CmOk());
    };
    pDock->trigger();
    EXPECT_EQ(nDialogs, 1);
    EXPECT_EQ(Names(), QStringList { "memo" });
    EXPECT_EQ(GetMachineString("Dock", "Folder", ""), folder);
    // The method is remembered: the next press goes straight to it.
    popupItems.clear();
    runDialog = [](QDialog& d) { dynamic_cast<DockTransferDlg&>(d).CmOk(); };
    pDock->trigger();
    EXPECT_TRUE(popupItems.empty());
    EXPECT_EQ(nDialogs, 2);
    EXPECT_EQ(Names().size(), 2);
}

// With no recipient yet, the one made on the way gets the docked file, not the selected dictation.
TEST_F(DockTest, AutoSendWithNoRecipientMakesOneAndSendsTheDockedFileOnly)
{
    TEST_REQUIRE_TOOL("sox");
    const std::string recorder = env.Dir().File("recorder");
    fs::create_directories(recorder);
    ASSERT_EQ(test::Sox("-n -r 8000 -c 1 " + test::ShellQuote(recorder + "/memo.wav") + " synth 0.5 sine 440"), 0);
    Record(*Make("Selected", 0, 50, 1), 8000);
    ASSERT_TRUE((LDockFileOptions { recorder, false, true, true }).Store());
    Open();
    SelectOnly({ Listed("Selected") });
    runDialog = [&](QDialog& d) {
        if (auto* pOptions = dynamic_cast<DockTransferDlg*>(&d))
            return void(pOptions->CmOk());
        auto& recipient = dynamic_cast<SendToDlg&>(d);
        recipient.Edit(SendToDlg::kIdName)->setText("Typist");
        recipient.Button(SendToDlg::kIdLan)->setChecked(true);
        recipient.Edit(SendToDlg::kIdFolder)->setText(QString::fromStdString(env.Dir().Path()));
        EXPECT_TRUE(recipient.Accept());
    };
    ASSERT_TRUE(Run(Id::kDockFile));
    EXPECT_EQ(Names(), QStringList { "Selected" });
    const std::vector<std::string> sent = FilesIn(engine->GetSentFolder(), ".ddf");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(LDictation(sent[0]).GetName(), "memo");
}

} // namespace
