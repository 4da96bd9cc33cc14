#include "app/desktop/settings/LSettingsPage.h"

#include "app/desktop/dialogs/ControlTestDlg.h"
#include "app/desktop/settings/LDeviceControls.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/HardwareControl.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/prompts/LUserPrompts.h"
#include "app/shared/transport/LTransportKeys.h"
#include "foundation/LSettings.h"
#include "sound/device/LChannelLevels.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

using namespace InputKeys;
using namespace TransportKeys;

constexpr int kVoiceActivateMin = -40;
constexpr int kVoiceActivateMax = -6;

bool IsSerialPort(int nPort)
{
    return nPort >= HardwareControl::kCom1 && nPort <= HardwareControl::kCom4;
}

} // namespace

LSettingsPage::LSettingsPage(const LUserPrompts& prompts, QWidget* pParent)
    : LSheetPage(pParent)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("LSettingsPage"));
    testController = [](int nPort, QWidget* pParent) { ControlTestDlg::Test(nPort, pParent); };
    auto add = [this](int nId, QWidget* pWidget) {
        m_controls[nId] = pWidget;
        pWidget->setObjectName(QStringLiteral("c%1").arg(nId));
        return pWidget;
    };
    auto label = [&](const char* szText, int nId = 0) {
        auto* pLabel = new QLabel(QString::fromUtf8(szText), this);
        return nId ? add(nId, pLabel) : pLabel;
    };

    m_pDevices = new LDeviceControls(this);
    add(kIdRecordDevice, m_pDevices->RecordDevice());
    add(kIdChannel, m_pDevices->Channel());
    add(kIdRecordVolume, m_pDevices->RecordVolume());
    add(kIdMixer, m_pDevices->MixerButton());
    add(kIdPlayDevice, m_pDevices->PlayDevice());
    add(kIdPlayVolume, m_pDevices->PlayVolume());
    m_pVoiceActivate = static_cast<LDBEdit*>(add(kIdVoiceActivate, new LDBEdit(this)));
    m_pVoiceActivate->SetRange(kVoiceActivateMax, kVoiceActivateMin);

    auto* pSound = new QGroupBox(QStringLiteral("Sound"), this);
    auto* pSoundGrid = new QGridLayout(pSound);
    QWidget* pVolumeLabel = label("Record Volume Level");
    pSoundGrid->addWidget(label("Sound Record Device"), 0, 0);
    pSoundGrid->addWidget(m_pDevices->RecordDevice(), 0, 1);
    pSoundGrid->addWidget(label("Audio Input Channel"), 1, 0);
    pSoundGrid->addWidget(m_pDevices->Channel(), 1, 1);
    // The volume and the mixer button take turns in one row.
    pSoundGrid->addWidget(pVolumeLabel, 2, 0);
    auto* pVolumeRow = new QHBoxLayout;
    pVolumeRow->addWidget(m_pDevices->RecordVolume(), 1);
    pVolumeRow->addWidget(m_pDevices->MixerButton());
    pVolumeRow->addWidget(m_pDevices->NoMixerNote(), 1);
    pSoundGrid->addLayout(pVolumeRow, 2, 1);
    pSoundGrid->addWidget(label("Voice Activate Level"), 3, 0);
    pSoundGrid->addWidget(m_pVoiceActivate, 3, 1);
    pSoundGrid->addWidget(label("Sound Play Device"), 4, 0);
    pSoundGrid->addWidget(m_pDevices->PlayDevice(), 4, 1);
    pSoundGrid->addWidget(label("Play Volume Level"), 5, 0);
    pSoundGrid->addWidget(m_pDevices->PlayVolume(), 5, 1);
    pSoundGrid->setColumnStretch(1, 1);
    auto showLabel = [this, pVolumeLabel] {
        pVolumeLabel->setVisible(!m_pDevices->RecordVolume()->isHidden() || !m_pDevices->NoMixerNote()->isHidden());
    };
    showLabel();
    connect(m_pDevices, &LDeviceControls::ChannelChanged, pVolumeLabel, showLabel);

    auto* pControl = new QGroupBox(QStringLiteral("Controller"), this);
    auto* pControlGrid = new QGridLayout(pControl);
    m_pPort = static_cast<QComboBox*>(add(kIdPort, new QComboBox(this)));
    for (int n = 0; n < HardwareControl::kPortCount; ++n)
        m_pPort->addItem(HardwareControl::PortName(n));
    pControlGrid->addWidget(label("Use Control Port"), 0, 0);
    pControlGrid->addWidget(m_pPort, 0, 1);
    auto* pTest = static_cast<QPushButton*>(
        add(kIdTestController, new QPushButton(QStringLiteral("Test Controller..."), this)));
    pControlGrid->addWidget(pTest, 0, 2);
    pControlGrid->addWidget(label("Serial device:", kIdSerialDeviceLabel), 1, 0);
    m_pSerialDevice = static_cast<QLineEdit*>(add(kIdSerialDevice, new QLineEdit(this)));
    m_pSerialDevice->setPlaceholderText(QStringLiteral("/dev/ttyS0"));
    pControlGrid->addWidget(m_pSerialDevice, 1, 1, 1, 2);
    const std::pair<int, const char*> buttons[4] = { { kIdButton1, "Button/Pedal 1" }, { kIdButton2, "Button/Pedal 2" },
        { kIdButton3, "Button/Pedal 3" }, { kIdEol, "Button/Pedal EOL" } };
    for (int i = 0; i < 4; ++i) {
        pControlGrid->addWidget(label(buttons[i].second, buttons[i].first - 1), 2 + i, 0);
        m_pButtons[i] = static_cast<QComboBox*>(add(buttons[i].first, new QComboBox(this)));
        for (int nCommand = 0; nCommand < LCommandSetTable::kCount; ++nCommand) {
            const std::string_view name = LCommandSetTable::Name(LCommandSetTable::Id(nCommand));
            m_pButtons[i]->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        }
        pControlGrid->addWidget(m_pButtons[i], 2 + i, 1, 1, 2);
    }
    pControlGrid->setColumnStretch(1, 1);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pSound);
    pLayout->addWidget(pControl);
    pLayout->addStretch(1);
    // The device controls were made first; Tab goes down the page as it is laid out.
    QWidget* chain[] = { m_pDevices->RecordDevice(), m_pDevices->Channel(), m_pDevices->RecordVolume(),
        m_pDevices->MixerButton(), m_pVoiceActivate, m_pDevices->PlayDevice(), m_pDevices->PlayVolume(), m_pPort, pTest,
        m_pSerialDevice, m_pButtons[0], m_pButtons[1], m_pButtons[2], m_pButtons[3] };
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    // What is stored.
    m_pDevices->SetRecord(kRecordDevice.Get(), kRecordChannel.Get(), kRecordVolume.Get());
    m_pDevices->SetPlay(kPlayDevice.Get(), kPlayVolume.Get());
    m_pVoiceActivate->SetValue(kVoiceActivateLevel.Get());
    m_shownLevels = { m_pDevices->GetRecordVolume(), m_pVoiceActivate->GetValue(), m_pDevices->GetPlayVolume() };
    const int nPort = kControlPort.Get();
    m_pPort->setCurrentIndex(nPort >= 0 && nPort < m_pPort->count() ? nPort : 0);
    for (int i = 0; i < 4; ++i) {
        const int nCommand = kControlButtons[i].Get();
        m_pButtons[i]->setCurrentIndex(nCommand >= 0 && nCommand < m_pButtons[i]->count() ? nCommand : 0);
    }
    m_pSerialDevice->setText(QString::fromStdString(InputKeys::kSerialDevice.Get()));

    connect(m_pPort, &QComboBox::currentIndexChanged, this, &LSettingsPage::UpdateEnabling);
    // The port chosen, before it is stored: that is the one to try.
    connect(pTest, &QPushButton::clicked, this, [this] { testController(m_pPort->currentIndex(), this); });
    UpdateEnabling();
}

void LSettingsPage::UpdateEnabling()
{
    const int nPort = m_pPort->currentIndex();
    const bool bButtons = nPort >= HardwareControl::kJoystick1 && nPort <= HardwareControl::kCom4;
    for (int nId = kIdButton1Label; nId <= kIdButton3; ++nId)
        Control(nId)->setEnabled(bButtons);
    // The end-of-letter button's label goes with its list: the station and the
    // microphone have that button too.
    for (int nId : { kIdEolLabel, kIdEol, kIdTestController })
        Control(nId)->setEnabled(nPort != HardwareControl::kNone);
    for (int nId : { kIdSerialDeviceLabel, kIdSerialDevice })
        Control(nId)->setEnabled(IsSerialPort(nPort));
}

bool LSettingsPage::Store()
{
    // The serial node is checked first, so a refusal stores nothing.
    const std::string serial = m_pSerialDevice->text().trimmed().toStdString();
    const bool bSerial = m_pSerialDevice->isEnabled();
    if (bSerial && !serial.empty() && !HardwareControl::IsSerialDeviceName(serial)) {
        if (m_prompts.box)
            m_prompts.box(this, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
                QStringLiteral("The serial device must be a device under /dev/, for example /dev/ttyUSB0."));
        m_pSerialDevice->setFocus();
        return false;
    }
    kRecordDevice.Set(m_pDevices->GetRecordDevice());
    kRecordChannel.Set(m_pDevices->GetChannel());
    // A level stored outside the slider's range (voice activation off at
    // -127) stays as it is unless the user moved the slider.
    const std::pair<const LSettingKey<int>&, int> levels[] = { { kRecordVolume, m_pDevices->GetRecordVolume() },
        { kVoiceActivateLevel, m_pVoiceActivate->GetValue() }, { kPlayVolume, m_pDevices->GetPlayVolume() } };
    for (size_t i = 0; i < 3; ++i)
        if (levels[i].second != m_shownLevels[i])
            levels[i].first.Set(levels[i].second);
    kPlayDevice.Set(m_pDevices->GetPlayDevice());
    kControlPort.Set(m_pPort->currentIndex());
    for (int i = 0; i < 4; ++i)
        kControlButtons[i].Set(m_pButtons[i]->currentIndex());
    // A value left disabled is left as stored.
    if (bSerial)
        InputKeys::kSerialDevice.Set(serial);
    return true;
}
