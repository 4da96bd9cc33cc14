// The codings of headerless sample files, by their index in the raw settings
// (the order of the raw dialog's list), and the sample mapping of the PCM
// ones. Pure functions, any thread.
#pragma once

#include "sound/codecs/LSampleConvert.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

enum LRawCodec : uint32_t {
    kRawDialogicAdpcm = 0,
    kRawMuLaw = 1,
    kRawALaw = 2,
    kRawPCM16LE = 3,
    kRawPCM8Unsigned = 4,
    kRawPCM8Signed = 5,
    kRawPCM16BE = 6,
    kRawCodecCount = 7,
};

// The texts of the raw dialog's codec list, by index.
inline constexpr const char* kRawCodecNames[kRawCodecCount] = { "Dialogic ADPCM", "G711 uLaw", "G711 aLaw",
    "16 bit PCM (LE)", "8 bit unsigned", "8 bit signed", "16 bit PCM (BE)" };

// Each coding: bytes per sample, and buffer loops between file bytes and the
// internal form (writers saturate through LSampleConvert).
struct LCodingPCM16LE {
    static constexpr uint32_t kBytes = 2;
    // On a little-endian machine the file's bytes are the machine's own
    // int16: whole-word copies, which the compiler turns into vector code
    // (imports and cut files move every sample through here).
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
    {
        if constexpr (std::endian::native == std::endian::little) {
            for (size_t i = 0; i < nSamples; ++i) {
                int16_t v;
                std::memcpy(&v, pIn + 2 * i, sizeof v);
                pOut[i] = S16ToInternal(v);
            }
        } else {
            for (size_t i = 0; i < nSamples; ++i)
                pOut[i] = S16ToInternal(static_cast<int16_t>(pIn[2 * i] | (pIn[2 * i + 1] << 8)));
        }
    }
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
    {
        if constexpr (std::endian::native == std::endian::little) {
            size_t i = 0;
#if defined(__SSE2__)
            // The rounding as (x >> 4) + bit 3 cannot overflow, and the
            // signed pack saturates: InternalToS16, eight at a time.
            const __m128i one = _mm_set1_epi32(1);
            for (; i + 8 <= nSamples; i += 8) {
                __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pIn + i));
                __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pIn + i + 4));
                a = _mm_add_epi32(_mm_srai_epi32(a, 4), _mm_and_si128(_mm_srai_epi32(a, 3), one));
                b = _mm_add_epi32(_mm_srai_epi32(b, 4), _mm_and_si128(_mm_srai_epi32(b, 3), one));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 2 * i), _mm_packs_epi32(a, b));
            }
#endif
            for (; i < nSamples; ++i) {
                const int16_t v = InternalToS16(pIn[i]);
                std::memcpy(pOut + 2 * i, &v, sizeof v);
            }
        } else {
            for (size_t i = 0; i < nSamples; ++i) {
                uint16_t v = static_cast<uint16_t>(InternalToS16(pIn[i]));
                pOut[2 * i] = static_cast<uint8_t>(v);
                pOut[2 * i + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
    }
};

struct LCodingPCM16BE {
    static constexpr uint32_t kBytes = 2;
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = S16ToInternal(static_cast<int16_t>((pIn[2 * i] << 8) | pIn[2 * i + 1]));
    }
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i) {
            uint16_t v = static_cast<uint16_t>(InternalToS16(pIn[i]));
            pOut[2 * i] = static_cast<uint8_t>(v >> 8);
            pOut[2 * i + 1] = static_cast<uint8_t>(v);
        }
    }
};

struct LCodingPCM8Unsigned {
    static constexpr uint32_t kBytes = 1;
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples) { U8ToInternal(pIn, pOut, nSamples); }
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples) { InternalToU8(pIn, pOut, nSamples); }
};

struct LCodingPCM8Signed {
    static constexpr uint32_t kBytes = 1;
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = S8ToInternal(static_cast<int8_t>(pIn[i]));
    }
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = static_cast<uint8_t>(InternalToS8(pIn[i]));
    }
};
