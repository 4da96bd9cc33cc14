// The dock from the window: Ctrl+D and its menu, the audio-file method's
// dialog, and the audio-cable window recording through the real ALSA code
// from a sox-made input (file PCM over null), judged by pitch and length. The
// window's clock is the test's, so "15 seconds after the sound" takes none.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/DockDialog.h"
#include "app/desktop/dialogs/DockTransferDlg.h"
#include "app/desktop/session/LSendQueue.h"
#include "dictation/LDictationAudioSource.h"
#include "tests/support/AlsaTestConfig.h"
#include "tests/support/Audio.h"

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

TEST_F(DockTest, HighSpeedAt200RecordsADoubleSpeedPlaybackAtNormalPitchAndTwiceItsLength)
{
    TEST_REQUIRE_TOOL("sox");
    // The recorder plays 4 s of 440 Hz in 2 s, an octave up; the high-speed
    // capture runs at 44100 Hz.
    Input(44100, "synth 4 sine 440 vol 0.5 speed 2");
    SetMachineBool("Dock", "HighSpeed", true);
    SetMachineInt("Dock", "HighSpeedPercent", 200);
    DockDialog* pDock = OpenDock();
    ASSERT_NE(pDock, nullptr);
    ASSERT_TRUE(SoundPassed(pDock, 4));
    ASSERT_TRUE(EndsAt(now + 15));
    LDictation* pTape = Listed("Tape 001");
    ASSERT_NE(pTape, nullptr);
    const std::vector<double> s = Samples(*pTape);
    EXPECT_NEAR(Seconds(s, kRate), 4.0, 0.2);
    EXPECT_NEAR(test::StrongestTone(test::Analyse(s, kRate, kRate / 4), 100, 2000).fHz, 440, 3);
}

TEST_F(DockTest, ASilentTransferNeverEndsItselfAndClosingDeletesTheTape)
{
    TEST_REQUIRE_TOOL("sox");
    Input(kRate, "trim 0 2");
    DockDialog* pDock = OpenDock();
    ASSERT_NE(pDock, nullptr);
    const std::string header = pDock->Tape()->GetPath();
    EXPECT_TRUE(fs::exists(header));
    PumpFor(300);
    now += 100;
    PumpFor(300);
    ASSERT_EQ(app->Dock().Window(), pDock);
    EXPECT_EQ(pDock->LastLoudTime(), 0);
    pDock->close();
    EXPECT_TRUE(Gone());
    EXPECT_FALSE(fs::exists(header));
    for (const auto& entry : fs::directory_iterator(engine->GetCurrentFolder()))
        ADD_FAILURE() << "left behind: " << entry.path();
}

TEST_F(DockTest, RestartDiscardsWhatWasRecordedAndStartsAgainAt0)
{
    TEST_REQUIRE_TOOL("sox");
    Input(kRate, "synth 3 sine 440 vol 0.5");
    DockDialog* pDock = OpenDock();
    ASSERT_NE(pDock, nullptr);
    ASSERT_TRUE(SoundPassed(pDock, 3));
    // The recorder is played again, a shorter piece at another pitch.
    Input(kRate, "synth 1 sine 1000 vol 0.5");
    pDock->CmRestart();
    // What the restart records may be in already (the test device has no clock), the 3 s before never.
    EXPECT_LT(pDock->Tape()->GetTotalSamples(), 2u * kRate);
    ASSERT_TRUE(SoundPassed(pDock, 1));
    ASSERT_TRUE(EndsAt(now + 15));
    LDictation* pTape = Listed("Tape 001");
    ASSERT_NE(pTape, nullptr);
    const std::vector<double> s = Samples(*pTape);
    EXPECT_NEAR(Seconds(s, kRate), 1.0, 0.2);
    EXPECT_NEAR(test::StrongestTone(test::Analyse(s, kRate, kRate / 8), 100, 2000).fHz, 1000, 5);
}

TEST_F(DockTest, DoneWithAutoSendSendsTheTapeToTheDefaultRecipient)
{
    TEST_REQUIRE_TOOL("sox");
    Input(kRate, "synth 1 sine 440 vol 0.5");
    const std::string inbox = env.Dir().File("inbox");
    fs::create_directories(inbox);
    uint8_t n = 0;
    ASSERT_EQ(LDictationEngineSettings::AddSendTo("Typist", { { "SendMethod", "2" }, { "Folder", inbox } }, &n),
        LDictationEngineSettings::AddSendToResult::Added);
    SetSettingInt("Send", "Default", n);
    SetMachineBool("Dock", "AutoSend", true);
    DockDialog* pDock = OpenDock();
    ASSERT_NE(pDock, nullptr);
    ASSERT_TRUE(SoundPassed(pDock, 1));
    pDock->CmOk();
    EXPECT_TRUE(Gone());
    EXPECT_EQ(Listed("Tape 001"), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !fs::is_empty(inbox); }, 20000));
    EXPECT_NE(fs::directory_iterator(inbox)->path().string().find("Tape 001"), std::string::npos);
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

} // namespace
