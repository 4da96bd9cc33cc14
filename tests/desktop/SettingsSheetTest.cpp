// The settings sheet and its Devices page over a scripted sound backend whose
// mixers list inputs: what the page shows and stores, and what the sheet does
// around it: its start page, Cancel leaving the files as they were, hot keys
// on a private X server and the controllers let go while it is open.
#include "app/desktop/settings/LDeviceControls.h"
#include "app/desktop/settings/LSettingsPage.h"
#include "app/desktop/settings/LSettingsSheet.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/transport/LTransportKeys.h"
#include "sound/device/LMixer.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/AlsaTestConfig.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <optional>

namespace {

// The keys the Devices page edits.
namespace DeviceKeys {
using namespace InputKeys;
using namespace TransportKeys;
} // namespace DeviceKeys

using P = LSettingsPage;
using Direction = LPcmBackend::Direction;

class SettingsTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        backend.SetDevices(Direction::Capture, { { "hw:1", "USB Headset" }, { "hw:2", "Dock" } });
        backend.SetDevices(Direction::Playback, { { "hw:1", "USB Headset" } });
        backend.SetCaptureSources(0, { "Mic", "Line" });
        backend.SetCaptureSources(2, { "Capture", "Microphone", "Aux" });
        backend.Install();
        prompts.box = [this](QWidget*, LUserPrompts::Box box, const QString& caption, const QString& text) {
            return boxes.push_back({ box, caption, text }), true;
        };
    }
    std::string SettingsFiles() const
    {
        return test::ReadFileText(GetUserSettingsPath()) + '\0' + test::ReadFileText(GetMachineSettingsPath());
    }

    test::ScriptedPcmBackend backend;
    LUserPrompts prompts;
};

QComboBox* Combo(const P& page, int nId)
{
    return static_cast<QComboBox*>(page.Control(nId));
}

} // namespace

TEST_F(SettingsTest, DevicesPageShowsWhatIsStoredAndStoresWhatWasChosen)
{
    namespace K = DeviceKeys;
    const std::pair<const LSettingKey<int>&, int> stored[] = { { K::kRecordDevice, 2 }, { K::kRecordChannel, 1 },
        { K::kRecordVolume, -5 }, { K::kVoiceActivateLevel, -127 }, { K::kPlayDevice, 1 }, { K::kPlayVolume, 3 },
        { K::kControlPort, 5 }, { K::kControlButtons[0], 9 }, { K::kControlButtons[3], 16 } };
    for (const auto& [key, nValue] : stored)
        ASSERT_TRUE(key.Set(nValue));
    SetMachineString("Control", "SerialDevice", "/dev/ttyUSB0");
    P page(prompts);
    EXPECT_EQ(page.Devices().ChannelNames(),
        (std::vector<std::string> { LMixer::kLeaveMixerName, "Capture", "Microphone", "Aux" }));
    EXPECT_EQ(Combo(page, P::kIdRecordDevice)->currentText(), "Dock");
    EXPECT_EQ(Combo(page, P::kIdChannel)->currentText(), "Microphone");
    EXPECT_EQ(static_cast<LDBEdit*>(page.Control(P::kIdRecordVolume))->GetValue(), -5);
    EXPECT_EQ(static_cast<LDBEdit*>(page.Control(P::kIdVoiceActivate))->GetValue(), -40);
    EXPECT_EQ(Combo(page, P::kIdPlayDevice)->currentText(), "USB Headset");
    EXPECT_EQ(Combo(page, P::kIdPort)->currentText(), "COM2");
    EXPECT_EQ(Combo(page, P::kIdButton1)->currentText(), "Create New Dictation");
    EXPECT_EQ(static_cast<QLineEdit*>(page.Control(P::kIdSerialDevice))->text(), "/dev/ttyUSB0");

    // The default device's mixer lists other inputs; the choice starts over.
    Combo(page, P::kIdRecordDevice)->setCurrentIndex(0);
    EXPECT_EQ(page.Devices().ChannelNames(), (std::vector<std::string> { LMixer::kLeaveMixerName, "Mic", "Line" }));
    Combo(page, P::kIdChannel)->setCurrentIndex(2);
    static_cast<LDBEdit*>(page.Control(P::kIdRecordVolume))->SetValue(-7);
    Combo(page, P::kIdPort)->setCurrentIndex(4);
    Combo(page, P::kIdButton3)->setCurrentIndex(12);
    // A node outside /dev is refused and nothing is stored.
    static_cast<QLineEdit*>(page.Control(P::kIdSerialDevice))->setText("/dev/../etc/passwd");
    const std::string before = SettingsFiles();
    EXPECT_FALSE(page.Store());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(SettingsFiles(), before);
    static_cast<QLineEdit*>(page.Control(P::kIdSerialDevice))->setText("/dev/ttyACM0");
    EXPECT_TRUE(page.Store());
    const std::pair<const LSettingKey<int>&, int> now[]
        = { { K::kRecordDevice, 0 }, { K::kRecordChannel, 1 }, { K::kControlPort, 4 }, { K::kControlButtons[0], 9 },
              { K::kControlButtons[2], 12 }, { K::kControlButtons[3], 16 }, { K::kPlayVolume, 3 },
              { K::kRecordVolume, -7 }, { K::kVoiceActivateLevel, -127 } };
    for (const auto& [key, nValue] : now)
        EXPECT_EQ(key.Get(), nValue) << key.szName;
    EXPECT_EQ(GetMachineString("Control", "SerialDevice", ""), "/dev/ttyACM0");
}

// What the record half offers per kind of device: a mixer with inputs, a
// sound server's lone capture volume, and none at all (ALSA's own answer for
// a device without a control device).
TEST_F(SettingsTest, RecordVolumeIsOfferedWhereTheDeviceHasOneAndItsAbsenceIsSaid)
{
    const std::string kLeave = LMixer::kLeaveMixerName;
    backend.SetDevices(Direction::Capture, { { "hw:1", "USB Headset" }, { "hw:2", "Dock" }, { "hw:3", "Spare" } });
    backend.SetCaptureSources(1, {});
    struct Row {
        const char* szWhat;
        int nDevice;
        bool bAlsa;
        std::vector<std::string> names;
    };
    const Row rows[]
        = { { "inputs", 0, false, { kLeave, "Mic", "Line" } }, { "lone volume", 1, false, { kLeave, "Capture" } },
              { "no mixer", 3, false, { kLeave } }, { "ALSA without a control device", 0, true, { kLeave } } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.szWhat);
        const bool bMixer = row.names.size() > 1;
        std::optional<test::AlsaTestConfig> alsa;
        if (row.bAlsa)
            alsa.emplace(), backend.Uninstall();
        QWidget parent;
        LDeviceControls controls(&parent, LDeviceControls::kRecord);
        controls.SetRecord(row.nDevice, -1, 0);
        parent.show();
        EXPECT_EQ(controls.ChannelNames(), row.names);
        EXPECT_EQ(controls.NoMixerNote()->isVisible(), !bMixer);
        EXPECT_FALSE(controls.RecordVolume()->isVisible());
        controls.Channel()->setCurrentIndex(1);
        EXPECT_EQ(controls.RecordVolume()->isVisible(), bMixer);
    }
    backend.Install();
}

TEST_F(SettingsTest, SheetOpensAtItsPageCancelKeepsTheFilesAndInputsRestAroundIt)
{
    test::PrivateXServer server;
    const bool bX = test::HaveTool("Xvfb") && test::HaveTool("xdotool") && test::HaveTool("xmessage") && server.Start();
    ASSERT_TRUE(bX || !test::InCI());
    ASSERT_TRUE(SetSettingInt("Keys", "Count", 1));
    ASSERT_TRUE(SetSettingInt("Keys", "Key0", (1 << 17) | 0x4B));
    ASSERT_TRUE(InputKeys::kControlPort.Set(1));
    std::filesystem::create_directories(env.Dir().File("dev/input"));
    Open();
    app->StartControllers(app->CommandSet(), { { env.Dir().File("sys"), env.Dir().File("dev") }, {}, {} });
    app->StartHotKeys(app->CommandSet());
    const size_t nKeys = bX ? 1 : 0;
    ASSERT_EQ(app->HotKeys()->Grabbed(), std::vector<bool>(nKeys, true));
    ASSERT_TRUE(app->Controllers()->IsPolling());

    struct Case {
        LCommandId id;
        int nPage;
        bool bOk;
    };
    const Case cases[] = { { LCommandId::kUserSettings, LSettingsSheet::kUser, false },
        { LCommandId::kHardwareSettings, LSettingsSheet::kDevices, true } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nPage);
        const std::string before = SettingsFiles();
        runDialog = [&](QDialog& dialog) {
            auto& sheet = static_cast<LSettingsSheet&>(dialog);
            LSheetPage* pExpected = sheet.Page(c.nPage) ? sheet.Page(c.nPage) : sheet.Page(LSettingsSheet::kDevices);
            EXPECT_EQ(sheet.CurrentPage(), pExpected);
            EXPECT_TRUE(app->HotKeys()->Grabbed().empty());
            EXPECT_FALSE(app->Controllers()->IsPolling());
            auto* pPage = static_cast<P*>(sheet.Page(LSettingsSheet::kDevices));
            QDialogButtonBox* pButtons = sheet.findChild<QDialogButtonBox*>();
            // A page refusing keeps the sheet open.
            Combo(*pPage, P::kIdPort)->setCurrentIndex(4);
            static_cast<QLineEdit*>(pPage->Control(P::kIdSerialDevice))->setText("/etc/passwd");
            pButtons->button(QDialogButtonBox::Ok)->click();
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
            Combo(*pPage, P::kIdPort)->setCurrentIndex(2);
            pButtons->button(c.bOk ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        };
        EXPECT_TRUE(Run(c.id));
        if (!c.bOk) {
            EXPECT_EQ(SettingsFiles(), before);
        }
        EXPECT_EQ(boxes.size(), size_t(&c - cases + 1));
        EXPECT_EQ(InputKeys::kControlPort.Get(), c.bOk ? 2 : 1);
        EXPECT_EQ(app->HotKeys()->Grabbed(), std::vector<bool>(nKeys, true));
        EXPECT_TRUE(app->Controllers()->IsPolling());
    }
    EXPECT_EQ(nDialogs, 2);
    Close();
}
