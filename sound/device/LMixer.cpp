#include "sound/device/LMixer.h"

#include "platform/LPcmBackend.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using Direction = LPcmBackend::Direction;

std::unique_ptr<LMixerDevice> OpenMixer(Direction direction, int nDevice)
{
    if (nDevice < 0)
        return nullptr;
    return LPcmBackend::Current().OpenMixer(direction, static_cast<uint32_t>(nDevice), nullptr);
}

// The inputs to offer: the mixer's own list, or, where it lists none but has a
// capture volume (a sound server's device), that volume as the one input, so
// that its slider can be shown.
std::vector<std::string> InputLines(LMixerDevice& mixer)
{
    std::vector<std::string> names = mixer.ListCaptureSources();
    if (names.empty())
        if (std::string volume = mixer.CaptureVolumeName(); !volume.empty())
            names.push_back(std::move(volume));
    return names;
}

double Fraction(int nDb)
{
    return double(LMixer::VolumeUnits(nDb)) / double(LMixer::kFullVolume);
}

} // namespace

uint32_t LMixer::VolumeUnits(int nDb)
{
    if (nDb <= -36)
        return 0;
    return static_cast<uint32_t>(std::min<int64_t>((int64_t(nDb) + 36) * 1424, kFullVolume));
}

std::string LMixer::LevelText(int nDb)
{
    if (nDb <= -127)
        return "--dB";
    return std::to_string(std::min(nDb, 127)) + "dB";
}

int LMixer::ParseDB(std::string_view text)
{
    int64_t nValue = 0;
    int nDashes = 0;
    for (char ch : text) {
        if (ch >= '0' && ch <= '9') {
            nValue = std::min<int64_t>(nValue * 10 + (ch - '0'), 1000);
        } else if (ch == '-') {
            if (++nDashes == 2)
                nValue = 127;
        }
    }
    if (nDashes > 0)
        nValue = -nValue;
    return static_cast<int>(std::clamp<int64_t>(nValue, -127, 127));
}

int LMixer::GetInputChannelCount(int nDevice)
{
    std::unique_ptr<LMixerDevice> mixer = OpenMixer(Direction::Capture, nDevice);
    if (!mixer)
        return 0;
    return static_cast<int>(std::min<size_t>(InputLines(*mixer).size(), kMaxInputLines));
}

std::string LMixer::GetInputChannelName(int nDevice, int nLine)
{
    if (nLine == -1)
        return kLeaveMixerName;
    if (nLine < 0 || nLine >= kMaxInputLines)
        return {};
    std::unique_ptr<LMixerDevice> mixer = OpenMixer(Direction::Capture, nDevice);
    if (!mixer)
        return {};
    std::vector<std::string> names = InputLines(*mixer);
    if (static_cast<size_t>(nLine) >= names.size())
        return {};
    std::string name = names[static_cast<size_t>(nLine)];
    // Cut at a character boundary, as every bounded text here is.
    if (name.size() > kMaxLineName) {
        size_t cut = kMaxLineName;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name;
}

LMixer::Result LMixer::SetInputChannel(int nDevice, int nLine, int nDb)
{
    if (nDevice < 0 || nLine < 0)
        return Result::Ok;
    std::unique_ptr<LMixerDevice> mixer = OpenMixer(Direction::Capture, nDevice);
    if (!mixer)
        return Result::NoControl;
    const Result selected = mixer->SelectCaptureSource(static_cast<size_t>(nLine));
    if (selected == Result::Failed)
        return selected;
    const Result volume = mixer->SetCaptureVolume(Fraction(nDb));
    if (volume == Result::Failed)
        return volume;
    return selected == Result::NoControl && volume == Result::NoControl ? Result::NoControl : Result::Ok;
}

LMixer::Result LMixer::SetInputLineVolume(int nDevice, int nLine, int nDb)
{
    if (nDevice < 0 || nLine < 0)
        return Result::Ok;
    std::unique_ptr<LMixerDevice> mixer = OpenMixer(Direction::Capture, nDevice);
    if (!mixer)
        return Result::NoControl;
    // Without a list of inputs the one capture volume serves line 0 only.
    const size_t nLines = mixer->ListCaptureSources().size();
    if (static_cast<size_t>(nLine) >= std::max<size_t>(nLines, 1))
        return Result::NoControl;
    return mixer->SetCaptureVolume(Fraction(nDb));
}

LMixer::Result LMixer::SetPlayVolume(int nDevice, int nExtraDb, int nDb)
{
    std::unique_ptr<LMixerDevice> mixer = OpenMixer(Direction::Playback, std::max(nDevice, 0));
    if (!mixer)
        return Result::NoControl;
    return mixer->SetPlaybackVolume(Fraction(std::clamp(nDb + nExtraDb, -127, 127)));
}
