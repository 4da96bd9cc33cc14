#include "app/desktop/settings/LPlaybackSettingPage.h"

#include "app/desktop/settings/LDesktopSettings.h"
#include "platform/LPcmBackend.h"
#include "sound/LMixer.h"
#include "sound/LSoundPlayDevice.h"
#include "sound/LWaveFile.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace Keys = DesktopSettings;

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
    m_pDevice = Add(kIdDevice, new QComboBox(this));
    m_pVolume = Add(kIdVolume, new LDBEdit(this));
    m_pVolume->SetRange(127, LDBEdit::kSilent);

    const size_t nOutputs = LPcmBackend::Current().ListDevices(LPcmBackend::Direction::Playback).size();
    for (size_t n = 0; n <= nOutputs && n <= 255; ++n)
        m_pDevice->addItem(QString::fromStdString(LSoundPlayDevice { static_cast<int32_t>(n) }.GetText()));
    m_pDevice->setCurrentIndex(std::clamp(Keys::kPlayDevice.Get(), 0, m_pDevice->count() - 1));
    m_pVolume->SetValue(LChannelLevels::Clamp(Keys::kPlayVolume.Get()));

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Sound Play Device"), m_pDevice);
    pForm->addRow(QStringLiteral("Play Volume Level"), m_pVolume);
    pLayout->addLayout(pForm);
    pLayout->addStretch();

    m_replay.setSingleShot(true);
    connect(&m_replay, &QTimer::timeout, this, [this] {
        if (m_bShown)
            StartPlaying();
    });
    connect(m_pDevice, &QComboBox::currentIndexChanged, this, [this] {
        if (m_bShown)
            StartPlaying();
    });
    connect(m_pVolume, &LDBEdit::Changed, this,
        [this](int nDb) { (void)LMixer::SetPlayVolume(m_pDevice->currentIndex(), 0, nDb); });
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
    const int nDevice = m_pDevice->currentIndex();
    (void)LMixer::SetPlayVolume(nDevice, 0, m_pVolume->GetValue());
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
    Keys::kPlayDevice.Set(m_pDevice->currentIndex());
    Keys::kPlayVolume.Set(m_pVolume->GetValue());
}
