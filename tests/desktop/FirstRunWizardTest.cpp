// The first-run wizard over a scripted device with a mixer: what Finish stores
// from every step, and Cancel nothing.
#include "app/desktop/settings/LFirstRunWizard.h"
#include "app/desktop/settings/LPlaybackSettingPage.h"
#include "app/desktop/settings/LQuickStartGuidePage.h"
#include "app/desktop/settings/LRecordSettingPage.h"
#include "app/shared/transport/LTransportKeys.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "ui/LDBDisplay.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>

#include <cmath>

namespace {

namespace Keys = TransportKeys;
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

// The steps count 1, 2, 3; a sound server's device, whose mixer has its one
// capture volume and no inputs, gets that volume's slider on the first step.
TEST_F(FirstRunWizardTest, StepsCountInOrderAndALoneCaptureVolumeGetsItsSlider)
{
    backend.SetCaptureSources(1, {});
    DeleteMachineSetting("Settings", "RecordChan");
    auto wizard = Make();
    EXPECT_EQ((QStringList {
                  wizard->RecordPage().title(), wizard->PlaybackPage().title(), wizard->QuickStartPage().title() }),
        (QStringList { "Step 1", "Step 2", "Step 3" }));
    EXPECT_EQ(Combo(wizard->RecordPage(), Rec::kIdChannel)->currentText(), "Capture");
    EXPECT_TRUE(wizard->RecordPage().Control(Rec::kIdVolume)->isVisible());
    wizard->reject();
}
