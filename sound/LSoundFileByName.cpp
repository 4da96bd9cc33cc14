#include "sound/LSoundFileByName.h"

#include "foundation/LPath.h"
#include "sound/LNullSoundSource.h"
#include "sound/LRawFile.h"
#include "sound/LWaveFile.h"

#include <algorithm>
#include <cctype>

LSoundFileKind LSoundFileByName::KindOf(const std::string& path)
{
    std::string ext = GetFileExtension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".wav")
        return LSoundFileKind::Wave;
    if (!LRawSettings::SectionForPath(path).empty())
        return LSoundFileKind::Raw;
    return LSoundFileKind::Unknown;
}

const char* LSoundFileByName::KnownExtensions()
{
    return ".wav, .raw, .snd or .vox";
}

LRawSettings LSoundFileByName::RawSettingsFor(const std::string& path)
{
    return LRawSettings::Load(LRawSettings::SectionForPath(path));
}

LSoundSourceRef LSoundFileByName::OpenSource(const std::string& path)
{
    switch (KindOf(path)) {
    case LSoundFileKind::Wave:
        return LWaveFile::OpenSource(path);
    case LSoundFileKind::Raw:
        return LRawFile::OpenSource(path, RawSettingsFor(path));
    default:
        return LNullSoundSource::Make(kSoundErrPlaceholder);
    }
}

LSoundSinkRef LSoundFileByName::OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    switch (KindOf(path)) {
    case LSoundFileKind::Wave:
        return LWaveFile::OpenSinkPCM(path, nSampleRate, 0, 16, nChannels);
    case LSoundFileKind::Raw: {
        // Only the coding comes from the settings: the audio keeps its own rate and channels.
        LRawSettings settings = RawSettingsFor(path);
        settings.nSampleRate = nSampleRate;
        settings.nChannels = nChannels;
        return LRawFile::OpenSink(path, settings);
    }
    default:
        return {};
    }
}
