// The dictation's cut files: headerless 16-bit little-endian PCM at the
// dictation's rate and channel count (raw coding 3). Stateless factories.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <string>

class LCutFile {
public:
    // The length follows the file, so a cut still being recorded reads to
    // its current end. Never empty; a missing file gives a reader with error 4.
    static LSoundSourceRef OpenSource(const std::string& path, int32_t nSampleRate, uint8_t nChannels);
    // Creates the file afresh.
    static LSoundSinkRef OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels);
    // Creates the file only when the name is free and never through a
    // symbolic link, readable by the owner alone; a taken name gives an
    // unusable sink whose SystemError is EEXIST. For a dictation's new cuts.
    static LSoundSinkRef CreateNewSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels);
    // Frames in a cut file of that many channels; 0 for a missing file.
    static int64_t FrameCount(const std::string& path, uint8_t nChannels);
};
