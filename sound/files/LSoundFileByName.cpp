#include "sound/files/LSoundFileByName.h"

#include "foundation/LPath.h"
#include "sound/LNullSoundSource.h"
#include "sound/files/LAifFile.h"
#include "sound/files/LAuFile.h"
#include "sound/files/LGSMFileSink.h"
#include "sound/files/LGSMFileSource.h"
#include "sound/files/LMP3Source.h"
#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LWaveFile.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

using Kind = LSoundFileKind;

LSoundSourceRef WaveSource(const std::string& path, Kind)
{
    return LWaveFile::OpenSource(path);
}

LSoundSinkRef WaveSink(const std::string& path, Kind, int32_t nSampleRate, uint8_t nChannels)
{
    return LWaveFile::OpenSinkPCM(path, nSampleRate, 0, 16, nChannels);
}

LSoundSourceRef RawSource(const std::string& path, Kind kind)
{
    return LRawFile::OpenSource(path, LSoundFileByName::RawSettingsFor(path, kind));
}

LSoundSinkRef RawSink(const std::string& path, Kind kind, int32_t nSampleRate, uint8_t nChannels)
{
    // Only the coding comes from the settings: the audio keeps its own rate and channels.
    LRawSettings settings = LSoundFileByName::RawSettingsFor(path, kind);
    if (!LRawFile::IsCodecSupported(settings.nCodec) || (settings.nCodec == kRawDialogicAdpcm && nChannels != 1))
        return {};
    settings.nSampleRate = nSampleRate;
    settings.nChannels = nChannels;
    return LRawFile::OpenSink(path, settings);
}

// G.711 files hold only what their convention says: 8000 Hz mono.
LSoundSinkRef G711Sink(const std::string& path, Kind kind, int32_t nSampleRate, uint8_t nChannels)
{
    if (nSampleRate != 8000 || nChannels != 1)
        return {};
    return LRawFile::OpenSink(path, LSoundFileByName::RawSettingsFor(path, kind));
}

LSoundSourceRef GsmSource(const std::string& path, Kind)
{
    return MakeSoundRef<LGSMFileSource>(path);
}

LSoundSinkRef GsmSink(const std::string& path, Kind, int32_t nSampleRate, uint8_t nChannels)
{
    if (nSampleRate != 8000 || nChannels != 1)
        return {};
    return MakeSoundRef<LGSMFileSink>(path);
}

LSoundSourceRef AuSource(const std::string& path, Kind)
{
    return LAuFile::OpenSource(path);
}

LSoundSourceRef AiffSource(const std::string& path, Kind)
{
    return LAifFile::OpenSource(path);
}

LSoundSinkRef AiffSink(const std::string& path, Kind, int32_t nSampleRate, uint8_t nChannels)
{
    return LAifFile::OpenSink(path, nSampleRate, nChannels);
}

LSoundSourceRef Mp3Source(const std::string& path, Kind)
{
    return LMP3Source::Create(path);
}

// A new container is one row here and its reader (and writer) in this room.
// The names are what messages have always called them: G.711 files count as raw.
constexpr LSoundFileFormat kFormats[] = {
    { Kind::Wave, "WAV", { ".wav" }, WaveSource, WaveSink },
    { Kind::Raw, "raw", { ".raw", ".snd", ".vox" }, RawSource, RawSink },
    { Kind::Gsm, "GSM 06.10", { ".gsm" }, GsmSource, GsmSink },
    { Kind::MuLaw, "raw", { ".ul" }, RawSource, G711Sink },
    { Kind::ALaw, "raw", { ".al" }, RawSource, G711Sink },
    { Kind::Au, "AU", { ".au" }, AuSource, nullptr },
    { Kind::Aiff, "AIFF", { ".aif", ".aiff" }, AiffSource, AiffSink },
    { Kind::Mp3, "MP3", { ".mp3" }, Mp3Source, nullptr },
};

std::string JoinExtensions()
{
    std::vector<std::string> all;
    for (const LSoundFileFormat& format : kFormats)
        for (const char* szExt : format.extensions)
            if (szExt)
                all.emplace_back(szExt);
    std::string text;
    for (size_t i = 0; i < all.size(); ++i)
        text += (i == 0 ? "" : i + 1 == all.size() ? " or " : ", ") + all[i];
    return text;
}

} // namespace

std::span<const LSoundFileFormat> LSoundFileByName::Formats()
{
    return kFormats;
}

const LSoundFileFormat* LSoundFileByName::Find(LSoundFileKind kind)
{
    for (const LSoundFileFormat& format : kFormats)
        if (format.kind == kind)
            return &format;
    return nullptr;
}

LSoundFileKind LSoundFileByName::KindOf(const std::string& path)
{
    std::string ext = GetFileExtension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const LSoundFileFormat& format : kFormats)
        for (const char* szExt : format.extensions)
            if (szExt && ext == szExt)
                return format.kind;
    return LSoundFileKind::Unknown;
}

const char* LSoundFileByName::KnownExtensions()
{
    static const std::string text = JoinExtensions();
    return text.c_str();
}

const char* LSoundFileByName::Name(LSoundFileKind kind)
{
    const LSoundFileFormat* pFormat = Find(kind);
    return pFormat ? pFormat->szName : "unknown";
}

bool LSoundFileByName::IsWritable(LSoundFileKind kind)
{
    const LSoundFileFormat* pFormat = Find(kind);
    return pFormat && pFormat->pOpenSink;
}

bool LSoundFileByName::IsRawKind(LSoundFileKind kind)
{
    return kind == LSoundFileKind::Raw || kind == LSoundFileKind::MuLaw || kind == LSoundFileKind::ALaw;
}

LRawSettings LSoundFileByName::RawSettingsFor(const std::string& path, LSoundFileKind kind)
{
    if (kind == LSoundFileKind::MuLaw || kind == LSoundFileKind::ALaw)
        return LRawSettings { 8000, 1, kind == LSoundFileKind::MuLaw ? uint32_t { kRawMuLaw } : uint32_t { kRawALaw } };
    return LRawSettings::Load(LRawSettings::SectionForPath(path));
}

LSoundSourceRef LSoundFileByName::OpenSource(const std::string& path)
{
    const LSoundFileKind kind = KindOf(path);
    const LSoundFileFormat* pFormat = Find(kind);
    if (!pFormat)
        return LNullSoundSource::Make(kSoundErrPlaceholder);
    return pFormat->pOpenSource(path, kind);
}

LSoundSinkRef LSoundFileByName::OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    const LSoundFileKind kind = KindOf(path);
    const LSoundFileFormat* pFormat = Find(kind);
    if (!pFormat || !pFormat->pOpenSink)
        return {};
    return pFormat->pOpenSink(path, kind, nSampleRate, nChannels);
}
