// The "Devices" page of the settings: the record and play devices with their
// channel and volumes, the voice-activation level, and the controller port
// with the commands of its buttons and the device node of a serial port.
// GUI thread.
#pragma once

#include "app/desktop/dialogs/LControlMap.h"
#include "app/shared/sheet/LSheetPage.h"

#include <array>
#include <functional>
#include <map>

class LDBEdit;
class LDeviceControls;
class QComboBox;
class QLineEdit;
struct LUserPrompts;

class LSettingsPage : public LSheetPage, public LControlMap {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdRecordDevice = 100,
        kIdChannel = 101,
        kIdRecordVolume = 102,
        kIdMixer = 103,
        kIdVoiceActivate = 104,
        kIdPlayDevice = 105,
        kIdPlayVolume = 106,
        kIdPort = 110,
        kIdButton1Label = 111,
        kIdButton1 = 112,
        kIdButton2Label = 113,
        kIdButton2 = 114,
        kIdButton3Label = 115,
        kIdButton3 = 116,
        kIdEolLabel = 117,
        kIdEol = 118,
        kIdTestController = 119,
        kIdSerialDevice = 120,
        kIdSerialDeviceLabel = 121,
    };

    explicit LSettingsPage(const LUserPrompts& prompts, QWidget* pParent = nullptr);

    QString Title() const override { return QStringLiteral("Devices"); }
    bool Store() override;

    LDeviceControls& Devices() const { return *m_pDevices; }

    // What "Test Controller..." runs on the port chosen (ControlTestDlg unless a test replaces it).
    std::function<void(int nPort, QWidget* pParent)> testController;

private:
    void UpdateEnabling();

    const LUserPrompts& m_prompts;
    LDeviceControls* m_pDevices = nullptr;
    LDBEdit* m_pVoiceActivate = nullptr;
    QComboBox* m_pPort = nullptr;
    QComboBox* m_pButtons[4] = {};
    QLineEdit* m_pSerialDevice = nullptr;
    // The record volume, voice-activation level and play volume as first shown.
    std::array<int, 3> m_shownLevels {};
};
