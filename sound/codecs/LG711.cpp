#include "sound/codecs/LG711.h"

#include <array>

namespace {

constexpr int32_t kMuDecodeBias[8] = { 0, 2112, 6336, 14784, 31680, 65472, 133056, 268224 };
// Segment 0 starts half a step below zero, so that its decision levels sit
// halfway between its output levels as in every other segment.
constexpr int32_t kMuEncodeBase[8] = { -64, 1984, 6080, 14272, 30656, 63424, 128960, 260032 };
constexpr int32_t kADecodeBase[8] = { 128, 4224, 8448, 16896, 33792, 67584, 135168, 270336 };
constexpr int32_t kAStep[8] = { 256, 256, 512, 1024, 2048, 4096, 8192, 16384 };
constexpr int32_t kAEncodeBase[8] = { 0, 4096, 8192, 16384, 32768, 65536, 131072, 262144 };

constexpr int32_t MuDecode(uint8_t byte)
{
    const int v = static_cast<uint8_t>(~byte);
    const int e = (v >> 4) & 7;
    const int32_t magnitude = ((v & 15) << (e + 7)) + kMuDecodeBias[e];
    return v >= 128 ? -magnitude : magnitude;
}

constexpr int32_t ADecode(uint8_t byte)
{
    const int v = byte ^ 0x55;
    const int e = (v >> 4) & 7;
    const int32_t magnitude = kADecodeBase[e] + kAStep[e] * (v & 15);
    return v < 128 ? -magnitude : magnitude;
}

// Magnitude in 64 bits: INT32_MIN has no 32-bit negation.
constexpr uint8_t MuEncode(int32_t sample)
{
    int sign = 0;
    int64_t magnitude = sample;
    if (magnitude < 0) {
        sign = 0x80;
        magnitude = -magnitude;
    }
    int e = 7;
    while (e > 0 && magnitude < kMuEncodeBase[e])
        --e;
    int64_t mantissa = (magnitude - kMuEncodeBase[e]) >> (e + 7);
    if (mantissa > 15)
        mantissa = 15;
    return static_cast<uint8_t>(~(sign | (e << 4) | static_cast<int>(mantissa)));
}

constexpr uint8_t AEncode(int32_t sample)
{
    int sign = 0x80;
    int64_t magnitude = sample;
    if (magnitude < 0) {
        sign = 0;
        magnitude = -magnitude;
    }
    int e = 7;
    while (e > 0 && magnitude < kAEncodeBase[e])
        --e;
    int64_t mantissa = (magnitude - kAEncodeBase[e]) / kAStep[e];
    if (mantissa > 15)
        mantissa = 15;
    return static_cast<uint8_t>((sign | (e << 4) | static_cast<int>(mantissa)) ^ 0x55);
}

template <int32_t (*Decode)(uint8_t)> constexpr std::array<int16_t, 256> MakeDecodeTable()
{
    std::array<int16_t, 256> table {};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<int16_t>(Decode(static_cast<uint8_t>(b)) / 16);
    return table;
}

constexpr std::array<int16_t, 256> kMuToS16 = MakeDecodeTable<MuDecode>();
constexpr std::array<int16_t, 256> kAToS16 = MakeDecodeTable<ADecode>();

// 64 KiB per law, built on first use; too many steps for a constant expression.
struct EncodeTables {
    uint8_t mu[65536];
    uint8_t a[65536];
    EncodeTables()
    {
        for (int s = INT16_MIN; s <= INT16_MAX; ++s) {
            mu[static_cast<uint16_t>(s)] = MuEncode(s * 16);
            a[static_cast<uint16_t>(s)] = AEncode(s * 16);
        }
    }
};

const EncodeTables& Tables()
{
    static const EncodeTables tables;
    return tables;
}

} // namespace

int32_t LG711::MuLawDecode(uint8_t byte)
{
    return MuDecode(byte);
}
uint8_t LG711::MuLawEncode(int32_t sample)
{
    return MuEncode(sample);
}
int32_t LG711::ALawDecode(uint8_t byte)
{
    return ADecode(byte);
}
uint8_t LG711::ALawEncode(int32_t sample)
{
    return AEncode(sample);
}

int16_t LG711::MuLawToS16(uint8_t byte)
{
    return kMuToS16[byte];
}
int16_t LG711::ALawToS16(uint8_t byte)
{
    return kAToS16[byte];
}
uint8_t LG711::S16ToMuLaw(int16_t sample)
{
    return Tables().mu[static_cast<uint16_t>(sample)];
}
uint8_t LG711::S16ToALaw(int16_t sample)
{
    return Tables().a[static_cast<uint16_t>(sample)];
}

void LG711::MuLawToS16(const uint8_t* pIn, int16_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = kMuToS16[pIn[i]];
}

void LG711::ALawToS16(const uint8_t* pIn, int16_t* pOut, size_t nSamples)
{
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = kAToS16[pIn[i]];
}

void LG711::S16ToMuLaw(const int16_t* pIn, uint8_t* pOut, size_t nSamples)
{
    const uint8_t* pTable = Tables().mu;
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = pTable[static_cast<uint16_t>(pIn[i])];
}

void LG711::S16ToALaw(const int16_t* pIn, uint8_t* pOut, size_t nSamples)
{
    const uint8_t* pTable = Tables().a;
    for (size_t i = 0; i < nSamples; ++i)
        pOut[i] = pTable[static_cast<uint16_t>(pIn[i])];
}
