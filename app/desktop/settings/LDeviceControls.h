// The record and play device controls that the Devices page and the first-run
// wizard share: the record device, its input channels (refilled from the
// device's mixer whenever the device changes), the record volume or, on the
// channel that leaves the mixer alone, the button opening the desktop's own
// mixer, and a note where the device has no mixer of its own; the play device
// and its volume. Either half can be built alone (the
// wizard shows them on two pages). The widgets are the parent's children and
// the caller lays them out; values are as the settings store them. GUI thread.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class LDBEdit;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

class LDeviceControls : public QObject {
    Q_OBJECT
public:
    enum Part : unsigned { kRecord = 1, kPlay = 2, kBoth = 3 };

    LDeviceControls(QWidget* pParent, unsigned uParts = kBoth);

    // Null for a part not built.
    QComboBox* RecordDevice() const { return m_pRecordDevice; }
    QComboBox* Channel() const { return m_pChannel; }
    LDBEdit* RecordVolume() const { return m_pRecordVolume; }
    QPushButton* MixerButton() const { return m_pMixer; }
    // Shown in the volume's place when the device offers no record volume.
    QLabel* NoMixerNote() const { return m_pNoMixer; }
    QComboBox* PlayDevice() const { return m_pPlayDevice; }
    LDBEdit* PlayVolume() const { return m_pPlayVolume; }

    // A stored device outside the list shows the default; a channel outside
    // the mixer's the first entry.
    void SetRecord(int nDevice, int nChannel, int nVolume);
    void SetPlay(int nDevice, int nVolume);
    // The device index; the channel as entry - 1 (-1 leaves the mixer alone).
    int GetRecordDevice() const;
    int GetChannel() const;
    int GetRecordVolume() const;
    int GetPlayDevice() const;
    int GetPlayVolume() const;
    // The channel entries of the chosen device, from channel -1 up.
    std::vector<std::string> ChannelNames() const;

    // The desktop mixer opened on the input devices, as an argument list:
    // pavucontrol on its input tab when it is found, else alsamixer's capture
    // view in a terminal; empty when there is neither. find looks a program
    // up (LProcessRunner::FindProgram over PATH unless a test gives its own).
    using Finder = std::function<std::string(const std::string& name)>;
    static std::vector<std::string> MixerCommand(const Finder& find = {});

signals:
    void RecordDeviceChanged(int nDevice);
    void ChannelChanged(int nChannel);
    void RecordVolumeChanged(int nDb);
    void PlayDeviceChanged(int nDevice);
    void PlayVolumeChanged(int nDb);

private:
    void FillChannels();
    void ShowVolumeOrMixer();
    void OpenMixer();

    QComboBox* m_pRecordDevice = nullptr;
    QComboBox* m_pChannel = nullptr;
    LDBEdit* m_pRecordVolume = nullptr;
    QPushButton* m_pMixer = nullptr;
    QLabel* m_pNoMixer = nullptr;
    QComboBox* m_pPlayDevice = nullptr;
    LDBEdit* m_pPlayVolume = nullptr;
    std::vector<std::string> m_mixerCommand;
};
