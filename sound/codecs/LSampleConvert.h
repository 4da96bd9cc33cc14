// Conversions between the engine's internal sample form (16-bit PCM x 16, full
// scale +-0x7FFF0, signed 32-bit) and the 16-bit and 8-bit file forms. Shared by
// every writer and the player; pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kInternalFullScale = 0x7FFF0;

// Rounds to 16 bits. Values beyond full scale saturate rather than wrap: a
// wrapped sample is a full-scale click of the opposite sign. The clamp comes
// before the rounding, so 32-bit arithmetic cannot overflow and the buffer
// loops vectorise.
inline int16_t InternalToS16(int32_t x)
{
    constexpr int32_t kLowest = INT16_MIN * 16 - 8;
    constexpr int32_t kHighest = INT16_MAX * 16 + 7;
    x = x < kLowest ? kLowest : (x > kHighest ? kHighest : x);
    return static_cast<int16_t>((x + 8) >> 4);
}

inline int32_t S16ToInternal(int16_t s)
{
    return static_cast<int32_t>(s) * 16;
}

// 8-bit unsigned (the WAV 8-bit form): 128 is silence.
inline uint8_t InternalToU8(int32_t x)
{
    const int64_t v = ((static_cast<int64_t>(x) + 2048) >> 12) + 128;
    if (v > UINT8_MAX)
        return UINT8_MAX;
    if (v < 0)
        return 0;
    return static_cast<uint8_t>(v);
}

inline int32_t U8ToInternal(uint8_t b)
{
    return (static_cast<int32_t>(b) - 128) * 4096;
}

inline int8_t InternalToS8(int32_t x)
{
    const int64_t v = (static_cast<int64_t>(x) + 2048) >> 12;
    if (v > INT8_MAX)
        return INT8_MAX;
    if (v < INT8_MIN)
        return INT8_MIN;
    return static_cast<int8_t>(v);
}

inline int32_t S8ToInternal(int8_t c)
{
    return static_cast<int32_t>(c) * 4096;
}

// Buffer forms for writers and readers; the loops vectorise.
inline void InternalToS16(const int32_t* pIn, int16_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = InternalToS16(pIn[i]);
}

inline void S16ToInternal(const int16_t* pIn, int32_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = S16ToInternal(pIn[i]);
}

inline void InternalToU8(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = InternalToU8(pIn[i]);
}

inline void U8ToInternal(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = U8ToInternal(pIn[i]);
}
