// ITU-T G.711 mu-law and A-law: the exact mapping in the internal sample scale
// (16-bit x 16) used by the raw, AU and WAV readers and writers, and table-driven
// 16-bit forms for the block codecs. Stateless; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

class LG711 {
public:
    // Largest magnitude a G.711 byte decodes to, in the internal scale.
    static constexpr int32_t kMaxAmplitude = 0x7E000;

    static int32_t MuLawDecode(uint8_t byte);
    static uint8_t MuLawEncode(int32_t sample);
    static int32_t ALawDecode(uint8_t byte);
    static uint8_t ALawEncode(int32_t sample);

    // 16-bit forms; every G.711 value is a multiple of 16 in the internal scale,
    // so these agree exactly with the formulas above.
    static int16_t MuLawToS16(uint8_t byte);
    static uint8_t S16ToMuLaw(int16_t sample);
    static int16_t ALawToS16(uint8_t byte);
    static uint8_t S16ToALaw(int16_t sample);

    static void MuLawToS16(const uint8_t* pIn, int16_t* pOut, size_t nSamples);
    static void S16ToMuLaw(const int16_t* pIn, uint8_t* pOut, size_t nSamples);
    static void ALawToS16(const uint8_t* pIn, int16_t* pOut, size_t nSamples);
    static void S16ToALaw(const int16_t* pIn, uint8_t* pOut, size_t nSamples);
};
