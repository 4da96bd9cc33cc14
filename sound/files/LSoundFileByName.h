// Opens a sound file as a source or a sink by the type its name's extension
// gives, so every command that takes a file name reads and writes the same
// kinds in the same way. Stateless, any thread.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LRawSettings.h"

#include <string>

enum class LSoundFileKind { Unknown, Wave, Raw, MuLaw, ALaw, Gsm, Au, Aiff, Mp3 };

class LSoundFileByName {
public:
    // By the extension, compared without case: ".wav"; ".ul" and ".al"
    // (G.711); ".gsm"; ".au"; ".aif" and ".aiff"; ".mp3" (read only); a raw kind (".raw", ".snd",
    // ".vox") whose coding the settings give.
    static LSoundFileKind KindOf(const std::string& path);
    // The extensions KindOf knows, for a message.
    static const char* KnownExtensions();
    // Headerless kinds, described by raw settings.
    static bool IsRawKind(LSoundFileKind kind);
    // How a headerless file is coded: G.711 files are 8000 Hz mono by
    // convention, in the coding their extension names; other raw kinds take
    // their settings section.
    static LRawSettings RawSettingsFor(const std::string& path, LSoundFileKind kind);
    // Never empty: an unknown kind gives a silent placeholder with error 1,
    // and the readers' own errors otherwise.
    static LSoundSourceRef OpenSource(const std::string& path);
    // The file in its plain form at that rate and channel count: 16-bit PCM
    // in a WAV or AIFF file, GSM 06.10 in a .gsm file, G.711 in .ul and .al
    // files, and for the other raw kinds their settings' coding. Empty for
    // an unknown or read-only kind (AU, MP3), a coding no writer here handles, and
    // a rate or channel count the kind cannot hold (8000 Hz mono only for
    // G.711 and GSM files).
    static LSoundSinkRef OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels);
};
