// The recording input and the record and play volumes, set through the
// mixer of a sound device, and the decibel forms that levels and volumes take
// throughout the program. Called on the main-loop thread; the mixer is
// opened per call, so a device plugged in meanwhile is seen.
#pragma once

#include "platform/LMixerDevice.h"

#include <cstdint>
#include <string>
#include <string_view>

class LMixer {
public:
    using Result = LMixerDevice::Result;

    static constexpr int kMaxInputLines = 127;
    static constexpr int kMaxLineName = 31;
    static constexpr uint32_t kFullVolume = 65535;
    // The name of line -1, which leaves the sound system's own setting alone.
    static constexpr const char* kLeaveMixerName = "As set in the sound system";

    // Mixer volume units of a dB value: 0 at -36 dB and below, 1424 per dB
    // above it, at most 65535 (0 dB is 51264).
    static uint32_t VolumeUnits(int nDb);
    // "%ddB", or "--dB" for -127 (silence).
    static std::string LevelText(int nDb);
    // The inverse of LevelText, lenient: only digits and '-' count.
    static int ParseDB(std::string_view text);

    // Inputs of recording device n (0: the default): how many, at most 127
    // (0 for a negative device or one without a mixer), and their names. A
    // mixer that lists no inputs but has a capture volume has that one.
    static int GetInputChannelCount(int nDevice);
    // Line -1 is the choice that leaves the mixer alone; its name is fixed.
    static std::string GetInputChannelName(int nDevice, int nLine);

    // Makes the line the only recording input and sets the record volume.
    // Nothing (Ok) for a negative device or line; NoControl when the device
    // has neither control, and what was already set stays.
    static Result SetInputChannel(int nDevice, int nLine, int nDb);
    // The record volume of the chosen line, unmuted.
    static Result SetInputLineVolume(int nDevice, int nLine, int nDb);
    // The output volume of output device n (0: the default), with extra dB
    // for the sound being played.
    static Result SetPlayVolume(int nDevice, int nExtraDb, int nDb);
};
