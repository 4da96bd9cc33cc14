#include "app/desktop/settings/LRecordSettingPage.h"

#include "app/desktop/settings/LDeviceControls.h"
#include "app/shared/transport/LTransportKeys.h"
#include "foundation/LSettings.h"
#include "sound/LNullSoundSink.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundRecordDevice.h"
#include "ui/LAccessible.h"
#include "ui/LDBDisplay.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

namespace Keys = TransportKeys;

LRecordSettingPage::LRecordSettingPage(LMainLoop& loop, QWidget* pParent)
    : LWizardStepPage("Step 1", "Microphone Connection and Record Volume", pParent)
    , m_recorder(loop)
{
    m_recorder.SetListener(this, 0);
    auto* pText = new QLabel(QStringLiteral("Connect your microphone and choose the device and input it is "
                                            "connected to. Speak as you would dictate and set the volume so that "
                                            "the level stays in the good range."),
        this);
    pText->setWordWrap(true);
    m_pDevices = new LDeviceControls(this, LDeviceControls::kRecord);
    Add(kIdDevice, m_pDevices->RecordDevice());
    Add(kIdChannel, m_pDevices->Channel());
    Add(kIdMixer, m_pDevices->MixerButton());
    Add(kIdVolume, m_pDevices->RecordVolume());
    m_pLevel = Add(kIdLevel, new LDBDisplay(this));
    m_pDevices->SetRecord(Keys::kRecordDevice.Get(), Keys::kRecordChannel.Get(), Keys::kRecordVolume.Get());
    SelectStoredChannel();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Sound Record Device"), m_pDevices->RecordDevice());
    pForm->addRow(QStringLiteral("Audio Input Channel"), m_pDevices->Channel());
    auto* pVolume = new QHBoxLayout;
    pVolume->addWidget(m_pDevices->RecordVolume(), 1);
    pVolume->addWidget(m_pDevices->MixerButton());
    pVolume->addWidget(m_pDevices->NoMixerNote(), 1);
    auto* pVolumeLabel = new QLabel(QStringLiteral("Record Volume Level"), this);
    pForm->addRow(pVolumeLabel, pVolume);
    LAccessible::Describe(
        { { m_pDevices->RecordVolume(), "Record volume", "Keypad plus and minus change it by 1 dB" } });
    pLayout->addLayout(pForm);
    auto* pMeter = new QGridLayout;
    pMeter->addWidget(m_pLevel, 0, 0, 1, 3);
    pMeter->addWidget(new QLabel(QStringLiteral("|- low"), this), 1, 0, Qt::AlignLeft);
    pMeter->addWidget(new QLabel(QStringLiteral("-|-   good   -|-"), this), 1, 1, Qt::AlignHCenter);
    pMeter->addWidget(new QLabel(QStringLiteral("high -|"), this), 1, 2, Qt::AlignRight);
    pLayout->addLayout(pMeter);
    pLayout->addStretch();

    // Without a desktop mixer the first channel shows neither control, nor their label.
    auto showLabel = [this, pVolumeLabel] {
        pVolumeLabel->setHidden(m_pDevices->RecordVolume()->isHidden() && m_pDevices->MixerButton()->isHidden()
            && m_pDevices->NoMixerNote()->isHidden());
    };
    showLabel();
    // A new device refills the channels, which reports the channel too.
    connect(m_pDevices, &LDeviceControls::ChannelChanged, this, [this, showLabel] {
        showLabel();
        if (m_bShown)
            StartMonitor();
    });
    connect(m_pDevices, &LDeviceControls::RecordVolumeChanged, this, [this](int nDb) {
        (void)LMixer::SetInputLineVolume(m_pDevices->GetRecordDevice(), m_pDevices->GetChannel(), nDb);
    });
}

LRecordSettingPage::~LRecordSettingPage()
{
    Leave();
    m_recorder.SetListener(nullptr, 0);
}

void LRecordSettingPage::SelectStoredChannel()
{
    // Never chosen: the first input named like a microphone.
    if (GetMachineInt(Keys::kRecordChannel.szSection, Keys::kRecordChannel.szName, -2) != -2)
        return;
    const std::vector<std::string> names = m_pDevices->ChannelNames();
    for (size_t i = 1; i < names.size(); ++i)
        if (QString::fromStdString(names[i]).toLower().contains(QStringLiteral("mic"))) {
            m_pDevices->Channel()->setCurrentIndex(static_cast<int>(i));
            return;
        }
    // A sound server's device has one capture volume and no inputs: this
    // step promises its slider.
    if (names.size() == 2)
        m_pDevices->Channel()->setCurrentIndex(1);
}

void LRecordSettingPage::Enter()
{
    m_bShown = true;
    StartMonitor();
}

void LRecordSettingPage::Leave()
{
    m_bShown = false;
    m_recorder.Stop();
    m_pLevel->ClearLevels();
}

void LRecordSettingPage::StartMonitor()
{
    m_recorder.Stop();
    m_pLevel->ClearLevels();
    const int nDevice = m_pDevices->GetRecordDevice();
    (void)LMixer::SetInputChannel(nDevice, m_pDevices->GetChannel(), m_pDevices->GetRecordVolume());
    m_recorder.SetRecordDevice(LSoundRecordDevice { static_cast<uint8_t>(std::max(nDevice, 0)), -1 });
    // At the lowest start level every block counts as voice, so it never waits.
    (void)m_recorder.Start(LNullSoundSink::Make(kMonitorRate, 1), LSoundRecorder::kFlagRecordAtOnce, kMonitorMaxMs,
        LChannelLevels::kSilence, 0);
}

void LRecordSettingPage::OnLevels(uint32_t, const LChannelLevels& levels)
{
    m_pLevel->SetLevels(levels);
}

void LRecordSettingPage::Store()
{
    Keys::kRecordDevice.Set(m_pDevices->GetRecordDevice());
    Keys::kRecordChannel.Set(m_pDevices->GetChannel());
    Keys::kRecordVolume.Set(m_pDevices->GetRecordVolume());
}
