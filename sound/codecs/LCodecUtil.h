// Little-endian field access and shared choices of the block codecs. The
// callers check bounds before they read; pure functions, any thread.
#pragma once

#include "sound/codecs/LAudioCodec.h"

#include <cstdint>

inline uint16_t GetLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t GetLE16s(const uint8_t* p)
{
    return static_cast<int16_t>(GetLE16(p));
}
inline uint32_t GetLE32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

inline void PutLE16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v)
{
    PutLE16(p, static_cast<uint16_t>(v));
    PutLE16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Channel limit of the codecs: the WAV readers accept 1 to 255 channels.
inline constexpr unsigned kCodecMaxChannels = 255;

// Block size of the ADPCM encoders, as common tools choose it: longer blocks
// at higher rates keep the header overhead small while a block stays short.
inline uint16_t AdpcmBlockAlign(uint32_t rate, uint16_t channels)
{
    const unsigned nPerChannel = rate <= 11025 ? 256 : (rate <= 22050 ? 512 : 1024);
    return static_cast<uint16_t>(nPerChannel * channels);
}

// Average bytes per second of a block format, rounded.
inline uint32_t BlockAvgBytesPerSec(uint32_t rate, uint32_t blockAlign, uint32_t framesPerBlock)
{
    const uint64_t n
        = (static_cast<uint64_t>(rate) * blockAlign + framesPerBlock / 2) / (framesPerBlock ? framesPerBlock : 1);
    return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}

// The factories take an optional status pointer.
inline void SetCodecStatus(LCodecStatus* pStatus, LCodecStatus status)
{
    if (pStatus != nullptr)
        *pStatus = status;
}
