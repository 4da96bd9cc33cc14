#include "sound/codecs/MP3Header.h"

namespace {

// kbit/s by bitrate index; index 0 (free format) and 15 are refused before lookup.
constexpr int16_t kBitratesV1[15] = { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 };
constexpr int16_t kBitratesV2[15] = { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 };
constexpr int32_t kRates[3] = { 44100, 48000, 32000 };

} // namespace

bool MP3Header::Parse(const uint8_t* p)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    unsigned nVersionBits = (p[1] >> 3) & 3;
    unsigned nLayerBits = (p[1] >> 1) & 3;
    unsigned nBitrateIndex = p[2] >> 4;
    unsigned nRateIndex = (p[2] >> 2) & 3;
    if (nVersionBits == 1 || nLayerBits != 1 || nBitrateIndex == 0 || nBitrateIndex == 15 || nRateIndex == 3)
        return false;
    nVersion = nVersionBits == 3 ? 0 : (nVersionBits == 2 ? 1 : 2);
    bNoCrc = (p[1] & 1) != 0;
    nBitrate = (nVersion == 0 ? kBitratesV1 : kBitratesV2)[nBitrateIndex] * 1000;
    nSampleIndex = static_cast<uint8_t>(nRateIndex);
    nPadding = (p[2] >> 1) & 1;
    nMode = p[3] >> 6;
    nModeExt = (p[3] >> 4) & 3;
    return true;
}

int32_t MP3Header::SampleRate() const
{
    return kRates[nSampleIndex % 3] >> nVersion;
}

size_t MP3Header::FrameBytes() const
{
    size_t nPerSample = nVersion == 0 ? 144 : 72;
    return nPerSample * static_cast<size_t>(nBitrate) / static_cast<size_t>(SampleRate()) + nPadding;
}

size_t MP3Header::SideInfoBytes() const
{
    if (nVersion == 0)
        return nMode == 3 ? 17 : 32;
    return nMode == 3 ? 9 : 17;
}
