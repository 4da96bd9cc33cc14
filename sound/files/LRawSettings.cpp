#include "sound/files/LRawSettings.h"

#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "sound/convert/LSampleRates.h"

#include <algorithm>
#include <cctype>

namespace {

// Machine-wide, one section for each kind of headerless file.
constexpr const char* kVoxSection = "VoxAudio";
constexpr const char* kRawSection = "RawAudio";
constexpr const char* kSampleRate = "SampleRate";
constexpr const char* kChannels = "Channels";
constexpr const char* kCodec = "Codec";

} // namespace

std::string LRawSettings::SectionForPath(std::string_view path)
{
    std::string ext = GetFileExtension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    if (ext == "vox")
        return kVoxSection;
    if (ext == "raw" || ext == "snd")
        return kRawSection;
    return {};
}

LRawSettings LRawSettings::Defaults(std::string_view section)
{
    LRawSettings settings;
    if (section == kVoxSection) {
        settings.nSampleRate = 8000;
        settings.nCodec = 0;
    }
    return settings;
}

LRawSettings LRawSettings::Load(std::string_view section)
{
    const LRawSettings def = Defaults(section);
    LRawSettings settings;
    settings.nSampleRate = GetMachineInt(section, kSampleRate, def.nSampleRate);
    if (!IsUserSampleRate(settings.nSampleRate))
        settings.nSampleRate = def.nSampleRate;
    const int nChannels = GetMachineInt(section, kChannels, def.nChannels);
    settings.nChannels = nChannels == 1 || nChannels == 2 ? static_cast<uint8_t>(nChannels) : def.nChannels;
    // An unknown coding is kept: opening the file then says it is unsupported.
    settings.nCodec = static_cast<uint32_t>(GetMachineInt(section, kCodec, static_cast<int>(def.nCodec)));
    return settings;
}

bool LRawSettings::Save(std::string_view section) const
{
    return SetMachineInt(section, kSampleRate, nSampleRate)
        && SetMachineInt(section, kChannels, nChannels == 0 ? 1 : nChannels)
        && SetMachineInt(section, kCodec, static_cast<int>(nCodec));
}
