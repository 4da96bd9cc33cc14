// The G.711 codings of raw, ".ul"/".al" and AU files, in the shape of the
// codings in LRawCoding.h so that the generic raw reader and writer carry
// them. Pure functions, any thread.
#pragma once

#include "sound/codecs/LG711.h"

#include <cstddef>
#include <cstdint>

struct LCodingMuLaw {
    static constexpr uint32_t kBytes = 1;
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = LG711::MuLawToS16(pIn[i]) * 16;
    }
    // The exact formula on the internal value: a converter's output between
    // two 16-bit steps is quantised where it lies.
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = LG711::MuLawEncode(pIn[i]);
    }
};

struct LCodingALaw {
    static constexpr uint32_t kBytes = 1;
    static void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = LG711::ALawToS16(pIn[i]) * 16;
    }
    static void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples)
    {
        for (size_t i = 0; i < nSamples; ++i)
            pOut[i] = LG711::ALawEncode(pIn[i]);
    }
};
