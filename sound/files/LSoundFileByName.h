// Opens a sound file as a source or a sink by the type its name's extension
// gives, so every command that takes a file name reads and writes the same
// kinds in the same way. Each container is one row of the table in
// LSoundFileByName.cpp. Stateless, any thread.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LRawSettings.h"

#include <array>
#include <span>
#include <string>

enum class LSoundFileKind { Unknown, Wave, Raw, MuLaw, ALaw, Gsm, Au, Aiff, Mp3 };

// One container: the extensions that name it (lower case, with the dot,
// unused ones null), a name for messages, and its reader and writer.
struct LSoundFileFormat {
    LSoundFileKind kind;
    const char* szName;
    std::array<const char*, 3> extensions;
    LSoundSourceRef (*pOpenSource)(const std::string& path, LSoundFileKind kind);
    // Null for a read-only container.
    LSoundSinkRef (*pOpenSink)(const std::string& path, LSoundFileKind kind, int32_t nSampleRate, uint8_t nChannels);
};

class LSoundFileByName {
public:
    // Every container, in the order KnownExtensions names them.
    static std::span<const LSoundFileFormat> Formats();
    // Null for Unknown.
    static const LSoundFileFormat* Find(LSoundFileKind kind);
    // By the extension, compared without case: ".wav"; ".ul" and ".al"
    // (G.711); ".gsm"; ".au"; ".aif" and ".aiff"; ".mp3" (read only); a raw kind (".raw", ".snd",
    // ".vox") whose coding the settings give.
    static LSoundFileKind KindOf(const std::string& path);
    // The extensions KindOf knows, for a message.
    static const char* KnownExtensions();
    // The row's name for messages; "unknown" for Unknown.
    static const char* Name(LSoundFileKind kind);
    // Whether OpenSink can ever give a sink for this kind.
    static bool IsWritable(LSoundFileKind kind);
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
