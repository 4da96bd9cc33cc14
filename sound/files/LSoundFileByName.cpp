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

LSoundFileKind LSoundFileByName::KindOf(const std::string& path)
{
    std::string ext = GetFileExtension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".wav")
        return LSoundFileKind::Wave;
    if (ext == ".ul")
        return LSoundFileKind::MuLaw;
    if (ext == ".al")
        return LSoundFileKind::ALaw;
    if (ext == ".gsm")
        return LSoundFileKind::Gsm;
    if (ext == ".au")
        return LSoundFileKind::Au;
    if (ext == ".aif" || ext == ".aiff")
        return LSoundFileKind::Aiff;
    if (ext == ".mp3")
        return LSoundFileKind::Mp3;
    if (!LRawSettings::SectionForPath(path).empty())
        return LSoundFileKind::Raw;
    return LSoundFileKind::Unknown;
}

const char* LSoundFileByName::KnownExtensions()
{
    return ".wav, .raw, .snd, .vox, .gsm, .ul, .al, .au, .aif, .aiff or .mp3";
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
    switch (kind) {
    case LSoundFileKind::Unknown:
        return LNullSoundSource::Make(kSoundErrPlaceholder);
    case LSoundFileKind::Wave:
        return LWaveFile::OpenSource(path);
    case LSoundFileKind::Gsm:
        return MakeSoundRef<LGSMFileSource>(path);
    case LSoundFileKind::Au:
        return LAuFile::OpenSource(path);
    case LSoundFileKind::Aiff:
        return LAifFile::OpenSource(path);
    case LSoundFileKind::Mp3:
        return LMP3Source::Create(path);
    default:
        return LRawFile::OpenSource(path, RawSettingsFor(path, kind));
    }
}

LSoundSinkRef LSoundFileByName::OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    const LSoundFileKind kind = KindOf(path);
    const bool bTelephony
        = kind == LSoundFileKind::MuLaw || kind == LSoundFileKind::ALaw || kind == LSoundFileKind::Gsm;
    if (bTelephony && (nSampleRate != 8000 || nChannels != 1))
        return {};
    switch (kind) {
    case LSoundFileKind::Wave:
        return LWaveFile::OpenSinkPCM(path, nSampleRate, 0, 16, nChannels);
    case LSoundFileKind::Gsm:
        return MakeSoundRef<LGSMFileSink>(path);
    case LSoundFileKind::Aiff:
        return LAifFile::OpenSink(path, nSampleRate, nChannels);
    case LSoundFileKind::MuLaw:
    case LSoundFileKind::ALaw:
        return LRawFile::OpenSink(path, RawSettingsFor(path, kind));
    case LSoundFileKind::Raw: {
        // Only the coding comes from the settings: the audio keeps its own rate and channels.
        LRawSettings settings = RawSettingsFor(path, kind);
        if (!LRawFile::IsCodecSupported(settings.nCodec) || (settings.nCodec == kRawDialogicAdpcm && nChannels != 1))
            return {};
        settings.nSampleRate = nSampleRate;
        settings.nChannels = nChannels;
        return LRawFile::OpenSink(path, settings);
    }
    default:
        return {};
    }
}
