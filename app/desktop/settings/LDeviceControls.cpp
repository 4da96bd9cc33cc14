#include "app/desktop/settings/LDeviceControls.h"

#include "foundation/LProcessRunner.h"
#include "platform/LPcmBackend.h"
#include "sound/device/LChannelLevels.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundPlayDevice.h"
#include "sound/device/LSoundRecordDevice.h"
#include "ui/LDBEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

using Direction = LPcmBackend::Direction;

int DeviceCount(Direction direction)
{
    return static_cast<int>(LPcmBackend::Current().ListDevices(direction).size());
}

void Select(QComboBox* pCombo, int nIndex)
{
    pCombo->setCurrentIndex(nIndex >= 0 && nIndex < pCombo->count() ? nIndex : 0);
}

} // namespace

LDeviceControls::LDeviceControls(QWidget* pParent, unsigned uParts)
    : QObject(pParent)
{
    if (uParts & kRecord) {
        m_pRecordDevice = new QComboBox(pParent);
        // Devices beyond what the record device can name are not offered.
        const int nInputs = std::min(DeviceCount(Direction::Capture), 255);
        for (int n = 0; n <= nInputs; ++n)
            m_pRecordDevice->addItem(
                QString::fromStdString(LSoundRecordDevice { static_cast<uint8_t>(n), -1 }.GetText()));
        m_pChannel = new QComboBox(pParent);
        m_pRecordVolume = new LDBEdit(pParent);
        m_pMixer = new QPushButton(QStringLiteral("Open Sound Mixer"), pParent);
        m_pNoMixer = new QLabel(QStringLiteral("This device has no record volume control."), pParent);
        m_pNoMixer->setWordWrap(true);
        m_mixerCommand = MixerCommand();
        FillChannels();
        connect(m_pRecordDevice, &QComboBox::currentIndexChanged, this, [this](int nDevice) {
            FillChannels();
            emit RecordDeviceChanged(nDevice);
        });
        connect(m_pChannel, &QComboBox::currentIndexChanged, this, [this](int nEntry) {
            ShowVolumeOrMixer();
            emit ChannelChanged(nEntry - 1);
        });
        connect(m_pRecordVolume, &LDBEdit::Changed, this, &LDeviceControls::RecordVolumeChanged);
        connect(m_pMixer, &QPushButton::clicked, this, &LDeviceControls::OpenMixer);
    }
    if (uParts & kPlay) {
        m_pPlayDevice = new QComboBox(pParent);
        const int nOutputs = DeviceCount(Direction::Playback);
        for (int n = 0; n <= nOutputs; ++n)
            m_pPlayDevice->addItem(QString::fromStdString(LSoundPlayDevice { n }.GetText()));
        m_pPlayVolume = new LDBEdit(pParent);
        connect(m_pPlayDevice, &QComboBox::currentIndexChanged, this, &LDeviceControls::PlayDeviceChanged);
        connect(m_pPlayVolume, &LDBEdit::Changed, this, &LDeviceControls::PlayVolumeChanged);
    }
}

void LDeviceControls::SetRecord(int nDevice, int nChannel, int nVolume)
{
    Select(m_pRecordDevice, nDevice);
    Select(m_pChannel, nChannel + 1);
    m_pRecordVolume->SetValue(LChannelLevels::Clamp(nVolume));
}

void LDeviceControls::SetPlay(int nDevice, int nVolume)
{
    Select(m_pPlayDevice, nDevice);
    m_pPlayVolume->SetValue(LChannelLevels::Clamp(nVolume));
}

int LDeviceControls::GetRecordDevice() const
{
    return std::max(m_pRecordDevice->currentIndex(), 0);
}

int LDeviceControls::GetChannel() const
{
    return std::max(m_pChannel->currentIndex(), 0) - 1;
}

int LDeviceControls::GetRecordVolume() const
{
    return m_pRecordVolume->GetValue();
}

int LDeviceControls::GetPlayDevice() const
{
    return std::max(m_pPlayDevice->currentIndex(), 0);
}

int LDeviceControls::GetPlayVolume() const
{
    return m_pPlayVolume->GetValue();
}

std::vector<std::string> LDeviceControls::ChannelNames() const
{
    std::vector<std::string> out;
    for (int i = 0; i < m_pChannel->count(); ++i)
        out.push_back(m_pChannel->itemText(i).toStdString());
    return out;
}

void LDeviceControls::FillChannels()
{
    // The mixer is asked again each time: the device's inputs may differ.
    const int nDevice = GetRecordDevice();
    {
        const QSignalBlocker block(m_pChannel);
        m_pChannel->clear();
        const int nCount = LMixer::GetInputChannelCount(nDevice);
        for (int nLine = -1; nLine < nCount; ++nLine)
            m_pChannel->addItem(QString::fromStdString(LMixer::GetInputChannelName(nDevice, nLine)));
        m_pChannel->setCurrentIndex(0);
    }
    ShowVolumeOrMixer();
    emit ChannelChanged(-1);
}

void LDeviceControls::ShowVolumeOrMixer()
{
    const bool bMixerLeftAlone = m_pChannel->currentIndex() <= 0;
    m_pRecordVolume->setVisible(!bMixerLeftAlone);
    m_pMixer->setVisible(bMixerLeftAlone && !m_mixerCommand.empty());
    // Only the entry that leaves the mixer alone: the device has no inputs or
    // volume that this program could set.
    m_pNoMixer->setVisible(m_pChannel->count() <= 1);
}

void LDeviceControls::OpenMixer()
{
    if (!m_mixerCommand.empty())
        (void)LProcessRunner::StartDetached(m_mixerCommand);
}

std::vector<std::string> LDeviceControls::MixerCommand(const Finder& find)
{
    const Finder lookUp
        = find ? find : Finder([](const std::string& name) { return LProcessRunner::FindProgram(name); });
    // The sound server's own mixer knows every device, on its input tab.
    if (std::string program = lookUp("pavucontrol"); !program.empty())
        return { program, "--tab=4" };
    const std::string alsamixer = lookUp("alsamixer");
    if (alsamixer.empty())
        return {};
    // The desktop's chosen terminal takes -e, as do konsole and xterm;
    // gnome-terminal runs what follows "--".
    const std::pair<const char*, const char*> terminals[]
        = { { "x-terminal-emulator", "-e" }, { "gnome-terminal", "--" }, { "konsole", "-e" }, { "xterm", "-e" } };
    for (const auto& [szTerminal, szRun] : terminals)
        if (std::string terminal = lookUp(szTerminal); !terminal.empty())
            return { terminal, szRun, alsamixer, "-V", "capture" };
    return {};
}
