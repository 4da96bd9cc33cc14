// The format structure of a WAV "fmt " chunk as the codecs see it: the 18
// bytes every format has, plus the codec's extra bytes. Plain data, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct LWaveFormat {
    uint16_t wFormatTag = 1;
    uint16_t nChannels = 1;
    uint32_t nSamplesPerSec = 11025;
    uint32_t nAvgBytesPerSec = 22050;
    uint16_t nBlockAlign = 2;
    uint16_t wBitsPerSample = 16;
    std::vector<uint8_t> extra; // cbSize is extra.size()

    // The structure as stored in a "fmt " chunk: 18 bytes (with cbSize) + extra.
    std::vector<uint8_t> ToBytes() const;
    // Parses a "fmt " chunk body of at least 16 bytes; the extra-byte count is
    // clamped to what the body holds. False when the body is shorter than 16.
    static bool FromBytes(const uint8_t* pData, size_t nBytes, LWaveFormat* pOut);
};

inline constexpr uint16_t kWaveFormatPCM = 1;
inline constexpr uint16_t kWaveFormatMsAdpcm = 2;
inline constexpr uint16_t kWaveFormatALaw = 6;
inline constexpr uint16_t kWaveFormatMuLaw = 7;
inline constexpr uint16_t kWaveFormatImaAdpcm = 0x11;
inline constexpr uint16_t kWaveFormatGSM610 = 49;
