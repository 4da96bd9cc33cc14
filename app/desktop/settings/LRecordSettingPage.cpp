#include "app/desktop/settings/LRecordSettingPage.h"

#include "app/desktop/settings/LDesktopSettings.h"
#include "platform/LPcmBackend.h"
#include "sound/LMixer.h"
#include "sound/LNullSoundSink.h"
#include "sound/LSoundRecordDevice.h"
#include "ui/LDBDisplay.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Keys = DesktopSettings;

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
    m_pDevice = Add(kIdDevice, new QComboBox(this));
    m_pChannel = Add(kIdChannel, new QComboBox(this));
    m_pMixer = Add(kIdMixer, new QPushButton(QStringLiteral("Open Windows Record Mixer"), this));
    m_pVolume = Add(kIdVolume, new LDBEdit(this));
    m_pVolume->SetRange(127, LDBEdit::kSilent);
    m_pLevel = Add(kIdLevel, new LDBDisplay(this));

    const size_t nInputs = LPcmBackend::Current().ListDevices(LPcmBackend::Direction::Capture).size();
    for (size_t n = 0; n <= nInputs && n <= 255; ++n)
        m_pDevice->addItem(QString::fromStdString(LSoundRecordDevice { static_cast<uint8_t>(n), -1 }.GetText()));
    m_pDevice->setCurrentIndex(std::clamp(Keys::kRecordDevice.Get(), 0, m_pDevice->count() - 1));
    FillChannels();
    SelectStoredChannel();
    m_pVolume->SetValue(LChannelLevels::Clamp(Keys::kRecordVolume.Get()));
    ShowVolumeOrMixer();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Sound Record Device"), m_pDevice);
    pForm->addRow(QStringLiteral("Audio Input Channel"), m_pChannel);
    auto* pVolume = new QHBoxLayout;
    pVolume->addWidget(m_pVolume, 1);
    pVolume->addWidget(m_pMixer);
    pForm->addRow(QStringLiteral("Record Volume Level"), pVolume);
    pLayout->addLayout(pForm);
    auto* pMeter = new QGridLayout;
    pMeter->addWidget(m_pLevel, 0, 0, 1, 3);
    pMeter->addWidget(new QLabel(QStringLiteral("|- low"), this), 1, 0, Qt::AlignLeft);
    pMeter->addWidget(new QLabel(QStringLiteral("-|-   good   -|-"), this), 1, 1, Qt::AlignHCenter);
    pMeter->addWidget(new QLabel(QStringLiteral("high -|"), this), 1, 2, Qt::AlignRight);
    pLayout->addLayout(pMeter);
    pLayout->addStretch();

    connect(m_pDevice, &QComboBox::currentIndexChanged, this, [this] {
        FillChannels();
        ShowVolumeOrMixer();
        if (m_bShown)
            StartMonitor();
    });
    connect(m_pChannel, &QComboBox::currentIndexChanged, this, [this] {
        ShowVolumeOrMixer();
        if (m_bShown)
            StartMonitor();
    });
    connect(m_pVolume, &LDBEdit::Changed, this, [this](int nDb) {
        (void)LMixer::SetInputLineVolume(m_pDevice->currentIndex(), m_pChannel->currentIndex() - 1, nDb);
    });
}

LRecordSettingPage::~LRecordSettingPage()
{
    Leave();
    m_recorder.SetListener(nullptr, 0);
}

void LRecordSettingPage::FillChannels()
{
    const QSignalBlocker block(m_pChannel);
    m_pChannel->clear();
    const int nDevice = m_pDevice->currentIndex();
    for (int n = -1; n < LMixer::GetInputChannelCount(nDevice); ++n)
        m_pChannel->addItem(QString::fromStdString(LMixer::GetInputChannelName(nDevice, n)));
}

void LRecordSettingPage::SelectStoredChannel()
{
    const QSignalBlocker block(m_pChannel);
    const int nStored = GetMachineInt(Keys::kRecordChannel.szSection, Keys::kRecordChannel.szName, -2);
    int nEntry = nStored + 1;
    if (nStored == -2) {
        // Never chosen: the first input named like a microphone, else the mixer's choice.
        nEntry = 0;
        for (int i = 1; i < m_pChannel->count(); ++i)
            if (m_pChannel->itemText(i).toLower().contains(QStringLiteral("mic"))) {
                nEntry = i;
                break;
            }
    }
    m_pChannel->setCurrentIndex(std::clamp(nEntry, 0, m_pChannel->count() - 1));
}

void LRecordSettingPage::ShowVolumeOrMixer()
{
    const bool bMixer = m_pChannel->currentIndex() <= 0;
    m_pVolume->setVisible(!bMixer);
    m_pMixer->setVisible(bMixer);
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
    const int nDevice = m_pDevice->currentIndex();
    (void)LMixer::SetInputChannel(nDevice, m_pChannel->currentIndex() - 1, m_pVolume->GetValue());
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
    Keys::kRecordDevice.Set(m_pDevice->currentIndex());
    Keys::kRecordChannel.Set(m_pChannel->currentIndex() - 1);
    Keys::kRecordVolume.Set(m_pVolume->GetValue());
}
