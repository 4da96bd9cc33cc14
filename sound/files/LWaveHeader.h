// The RIFF header this system writes in front of WAV data: "RIFF", "WAVE",
// one "fmt " chunk holding the format structure, "data". Pure functions.
#pragma once

#include "sound/codecs/LWaveFormat.h"

#include <cstdint>
#include <vector>

// While a file is being written both lengths hold this; readers then take
// the data to the end of the file.
inline constexpr uint32_t kWaveStreamingLength = 0xFFFFFFFF;

// The header for nDataBytes of data (bFinal false: the streaming marker).
// Lengths that do not fit 32 bits are written as the streaming marker too.
std::vector<uint8_t> MakeWaveHeader(const LWaveFormat& format, uint64_t nDataBytes, bool bFinal);
