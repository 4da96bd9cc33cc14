// Opens a sound file as a source or a sink by the type its name's extension
// gives, so every command that takes a file name reads and writes the same
// kinds in the same way. Stateless, any thread.
#pragma once

#include "sound/LRawSettings.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <string>

enum class LSoundFileKind { Unknown, Wave, Raw };

class LSoundFileByName {
public:
    // By the extension, compared without case: ".wav", or a raw kind
    // (".raw", ".snd", ".vox") whose coding the settings give.
    static LSoundFileKind KindOf(const std::string& path);
    // The extensions KindOf knows, for a message.
    static const char* KnownExtensions();
    // How a raw kind is coded (its settings section); defaults for other names.
    static LRawSettings RawSettingsFor(const std::string& path);
    // Never empty: an unknown kind gives a silent placeholder with error 1,
    // and the readers' own errors otherwise.
    static LSoundSourceRef OpenSource(const std::string& path);
    // The file in its plain form at that rate and channel count: a 16-bit
    // PCM WAV file, or a raw file in its settings' coding. Empty for an
    // unknown kind or a coding no writer here handles.
    static LSoundSinkRef OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels);
};
