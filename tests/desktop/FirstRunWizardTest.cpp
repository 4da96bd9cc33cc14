// The first-run wizard over a scripted device with a mixer: channel, recorder and
// player per step, Finish and Cancel, the announcement, and its start once per user.
#include "app/desktop/settings/LDesktopSettings.h"
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/settings/LPlaybackSettingPage.h"
#include "app/desktop/settings/LQuickStartGuidePage.h"
#include "app/desktop/settings/LRecordSettingPage.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "ui/LDBDisplay.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>

#include <cmath>
#include <filesystem>

namespace {

namespace Keys = DesktopSettings;
using Rec = LRecordSettingPage;
using Play = LPlaybackSettingPage;

const QString kProgramFolder = QFileInfo(QStringLiteral(TAVRINE_DESKTOP)).absolutePath();

class FirstRunWizardTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        backend.SetCaptureSources(1, { "Line", "CD", "Microphone", "Mic Boost" });
        backend.SetDevices(LPcmBackend::Direction::Capture, { { "in0", "Desk" }, { "in1", "Card" } });
        backend.SetDevices(LPcmBackend::Direction::Playback, { { "out0", "Speakers" }, { "out1", "Phones" } });
        // A loud 440 Hz tone, block after block, for the level meter.
        std::vector<int16_t> tone(1103);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<int16_t>(12000 * std::sin(6.2831853 * 440.0 * double(i) / 11025.0));
        backend.SetCaptureScript({ std::vector<std::vector<int16_t>>(200, tone), 100 });
        backend.Install();
        Keys::kRecordDevice.Set(1); // the device with the mixer
    }
    std::unique_ptr<LFirstRunWizard> Make()
    {
        auto p = std::make_unique<LFirstRunWizard>(
            loop, [this] { ++nHelp; }, kProgramFolder);
        p->show();
        return p;
    }
    static QComboBox* Combo(LWizardStepPage& page, int nId) { return qobject_cast<QComboBox*>(page.Control(nId)); }

    test::ScriptedPcmBackend backend;
    int nHelp = 0;
};

} // namespace

TEST_F(FirstRunWizardTest, ChannelChosenFromTheStoredValueOrNamedLikeAMicrophone)
{
    // Stored -1 and 0 are entries 0 and 1; never stored, the first "mic" of the mixer.
    const std::pair<std::optional<int>, QString> cases[]
        = { { std::nullopt, "Microphone" }, { -1, "Windows Record Mixer" }, { 0, "Line" }, { 3, "Mic Boost" } };
    for (const auto& [stored, shown] : cases) {
        stored ? Keys::kRecordChannel.Set(*stored) : DeleteMachineSetting("Settings", "RecordChan");
        auto wizard = Make();
        LRecordSettingPage& page = wizard->RecordPage();
        EXPECT_EQ(Combo(page, Rec::kIdChannel)->currentText(), shown) << (stored ? *stored : -2);
        // The volume shows for a chosen input only.
        EXPECT_EQ(page.Control(Rec::kIdVolume)->isVisible(), stored != -1);
    }
}

TEST_F(FirstRunWizardTest, RecorderAndPlayerRunOnlyWhileTheirStepIsShown)
{
    auto wizard = Make();
    LRecordSettingPage& rec = wizard->RecordPage();
    ASSERT_TRUE(PumpUntil([&] { return backend.CaptureIsOpen(); }));
    ASSERT_TRUE(backend.LastCaptureParams());
    EXPECT_EQ(backend.LastCaptureParams()->uRate * 10 + backend.LastCaptureParams()->uChannels, 110251u);
    auto* pLevel = static_cast<LDBDisplay*>(rec.Control(Rec::kIdLevel));
    EXPECT_TRUE(PumpUntil([&] { return pLevel->GetLevel(0) > -20; })) << pLevel->GetLevel(0);
    // Another channel starts the recorder again.
    const int nOpens = backend.CaptureOpenCount();
    Combo(rec, Rec::kIdChannel)->setCurrentIndex(1);
    EXPECT_TRUE(PumpUntil([&] { return backend.CaptureOpenCount() > nOpens && backend.CaptureIsOpen(); }));

    wizard->next();
    EXPECT_FALSE(rec.IsMonitoring());
    EXPECT_TRUE(PumpUntil([&] { return !backend.CaptureIsOpen() && backend.PlaybackIsOpen(); }));
    ASSERT_TRUE(backend.LastPlaybackParams());
    EXPECT_EQ(backend.LastPlaybackParams()->uRate, 11025u);
    EXPECT_TRUE(PumpUntil([&] { return backend.PlaybackSamples().size() > 11025; }));
    wizard->next();
    EXPECT_FALSE(wizard->PlaybackPage().IsPlaying());
    EXPECT_TRUE(PumpUntil([&] { return !backend.PlaybackIsOpen(); }));
    wizard->back();
    EXPECT_TRUE(wizard->PlaybackPage().IsPlaying());
    wizard->reject();
    EXPECT_FALSE(wizard->PlaybackPage().IsPlaying() || rec.IsMonitoring());
}

TEST_F(FirstRunWizardTest, FinishStoresEveryStepAndCancelNothing)
{
    DeleteMachineSetting("Settings", "RecordChan");
    const std::string before = test::ReadFileText(env.MachineConfig());
    for (const auto& [bFinish, bManual] : { std::pair { false, true }, { true, false }, { true, true } }) {
        SCOPED_TRACE(bFinish + bManual);
        auto wizard = Make();
        static_cast<LDBEdit*>(wizard->RecordPage().Control(Rec::kIdVolume))->SetValue(-5);
        Combo(wizard->PlaybackPage(), Play::kIdDevice)->setCurrentIndex(2);
        static_cast<LDBEdit*>(wizard->PlaybackPage().Control(Play::kIdVolume))->SetValue(4);
        static_cast<QRadioButton*>(wizard->QuickStartPage().Control(LQuickStartGuidePage::kIdNoManual))
            ->setChecked(!bManual);
        nHelp = 0;
        bFinish ? wizard->accept() : wizard->reject();
        EXPECT_EQ(nHelp, bFinish && bManual ? 1 : 0);
        if (!bFinish)
            EXPECT_EQ(test::ReadFileText(env.MachineConfig()), before);
        else
            EXPECT_EQ((std::vector { Keys::kRecordDevice.Get(), Keys::kRecordChannel.Get(), Keys::kRecordVolume.Get(),
                          Keys::kPlayDevice.Get(), Keys::kPlayVolume.Get() }),
                (std::vector { 1, 2, -5, 2, 4 })); // channel 2: "Microphone", entry 3
    }
}

TEST_F(FirstRunWizardTest, AnnouncementIsAShortWaveFoundBesideOrAboveTheProgram)
{
    TEST_REQUIRE_TOOL("soxi");
    const std::string built = LFirstRunWizard::FindTestSound(kProgramFolder);
    ASSERT_FALSE(built.empty());
    auto soxi = [&](const char* szOption) {
        std::string out;
        EXPECT_EQ(test::RunShell(std::string("soxi ") + szOption + " " + test::ShellQuote(built), &out), 0) << out;
        return std::atof(out.c_str());
    };
    const double fRate = soxi("-r"), fSeconds = soxi("-D");
    EXPECT_TRUE(fRate == 11025 || fRate == 16000) << fRate;
    EXPECT_EQ(soxi("-c") * 100 + soxi("-b"), 116); // mono, 16-bit
    EXPECT_TRUE(fSeconds > 1.5 && fSeconds < 10) << fSeconds;
    // Installed: bin/tavrine with share/tavrine/Test.wav.
    test::TempDir tree;
    std::filesystem::create_directories(tree.File("bin"));
    EXPECT_EQ(LFirstRunWizard::FindTestSound(QString::fromStdString(tree.File("bin"))), "");
    std::filesystem::create_directories(tree.File("share/tavrine"));
    std::filesystem::copy_file(built, tree.File("share/tavrine/Test.wav"));
    EXPECT_EQ(
        LFirstRunWizard::FindTestSound(QString::fromStdString(tree.File("bin"))), tree.File("share/tavrine/Test.wav"));
}

TEST_F(FirstRunWizardTest, ShownOnceHalfASecondAfterTheFirstStart)
{
    Open();
    // The wizard runs modally inside the timer: a timer of the test closes it.
    QElapsedTimer started;
    qint64 nShownAt = -1;
    bool bMarkedEarly = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (auto* pWizard = qobject_cast<LFirstRunWizard*>(pWidget); pWizard && pWizard->isVisible()) {
                nShownAt = started.elapsed();
                bMarkedEarly = Keys::kInstallWizRun.Get();
                pWizard->reject();
            }
    });
    closer.start(20);
    for (int nRun = 0; nRun < 2; ++nRun) {
        nShownAt = -1;
        started.start();
        app->StartFirstRunWizard();
        PumpFor(1500);
        if (nRun == 0) {
            EXPECT_GE(nShownAt, 450);
            EXPECT_FALSE(bMarkedEarly);
            EXPECT_TRUE(Keys::kInstallWizRun.Get());
        } else {
            EXPECT_EQ(nShownAt, -1);
        }
    }
    Close();
}
