#include "app/desktop/settings/LPlaybackSettingPage.h"

#include "app/desktop/settings/LDeviceControls.h"
#include "app/shared/transport/LTransportKeys.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundPlayDevice.h"
#include "sound/files/LWaveFile.h"
#include "ui/LDBEdit.h"

#include <QComboBox>

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Keys = TransportKeys;

LPlaybackSettingPage::LPlaybackSettingPage(LMainLoop& loop, std::string testSound, QWidget* pParent)
    : LWizardStepPage("Step 2", "Soundcard and Playback Volume", pParent)
    , m_player(loop)
    , m_testSound(std::move(testSound))
{
    m_player.SetListener(this, 0);
    auto* pText = new QLabel(QStringLiteral("While this page is shown, a test announcement plays on the sound "
                                            "device chosen below. Choose the device your speakers or headphones "
                                            "are connected to, and set the volume so that the voice is clear."),
        this);
    pText->setWordWrap(true);
    m_pDevices = new LDeviceControls(this, LDeviceControls::kPlay);
    Add(kIdDevice, m_pDevices->PlayDevice());
    Add(kIdVolume, m_pDevices->PlayVolume());
    m_pDevices->SetPlay(Keys::kPlayDevice.Get(), Keys::kPlayVolume.Get());

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Sound Play Device"), m_pDevices->PlayDevice());
    pForm->addRow(QStringLiteral("Play Volume Level"), m_pDevices->PlayVolume());
    pLayout->addLayout(pForm);
    pLayout->addStretch();

    m_replay.setSingleShot(true);
    connect(&m_replay, &QTimer::timeout, this, [this] {
        if (m_bShown)
            StartPlaying();
    });
    connect(m_pDevices, &LDeviceControls::PlayDeviceChanged, this, [this] {
        if (m_bShown)
            StartPlaying();
    });
    connect(m_pDevices, &LDeviceControls::PlayVolumeChanged, this,
        [this](int nDb) { (void)LMixer::SetPlayVolume(m_pDevices->GetPlayDevice(), 0, nDb); });
}

LPlaybackSettingPage::~LPlaybackSettingPage()
{
    Leave();
    m_player.SetListener(nullptr, 0);
}

void LPlaybackSettingPage::Enter()
{
    m_bShown = true;
    StartPlaying();
}

void LPlaybackSettingPage::Leave()
{
    m_bShown = false;
    m_replay.stop();
    m_player.Stop();
}

void LPlaybackSettingPage::StartPlaying()
{
    m_replay.stop();
    // Cleared first: the stop of the old playing must not schedule a replay.
    m_bShown = false;
    m_player.Stop();
    m_bShown = true;
    if (m_testSound.empty())
        return;
    LSoundSourceRef source = LWaveFile::OpenSource(m_testSound);
    if (!source || !source->IsUsable())
        return;
    const int nDevice = m_pDevices->GetPlayDevice();
    (void)LMixer::SetPlayVolume(nDevice, 0, m_pDevices->GetPlayVolume());
    m_player.SetPlayDevice(LSoundPlayDevice { nDevice });
    (void)m_player.Start(source);
}

void LPlaybackSettingPage::OnStopped(uint32_t)
{
    // The end was heard: play it again after a pause while the step is shown.
    if (m_bShown)
        m_replay.start(kReplayDelayMs);
}

void LPlaybackSettingPage::Store()
{
    Keys::kPlayDevice.Set(m_pDevices->GetPlayDevice());
    Keys::kPlayVolume.Set(m_pDevices->GetPlayVolume());
}
