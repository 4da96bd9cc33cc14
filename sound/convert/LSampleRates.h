// The sample rates offered in rate pickers and for raw audio, and the range
// a typed rate must lie in. Constants, any thread.
#pragma once

#include <cstdint>
#include <span>

inline constexpr int32_t kMinUserSampleRate = 6000;
inline constexpr int32_t kMaxUserSampleRate = 196000;

// In the order the pickers list them; the last is 196000 to match the range.
inline constexpr int32_t kSampleRateList[]
    = { 6000, 8000, 11025, 16000, 22050, 32000, 44100, 48000, 64000, 88200, 96000, 196000 };

inline std::span<const int32_t> GetSampleRateList()
{
    return kSampleRateList;
}

inline bool IsUserSampleRate(int32_t nRate)
{
    return nRate >= kMinUserSampleRate && nRate <= kMaxUserSampleRate;
}
