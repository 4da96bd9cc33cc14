#include "sound/files/LWaveHeader.h"

#include <cstring>

namespace {

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

} // namespace

std::vector<uint8_t> MakeWaveHeader(const LWaveFormat& format, uint64_t nDataBytes, bool bFinal)
{
    const std::vector<uint8_t> fmt = format.ToBytes();
    std::vector<uint8_t> header(12 + 8 + fmt.size() + 8);
    uint8_t* p = header.data();
    const uint64_t nRiff = nDataBytes + header.size() - 8;
    const bool bFits = bFinal && nRiff <= UINT32_MAX;
    std::memcpy(p, "RIFF", 4);
    Put32(p + 4, bFits ? static_cast<uint32_t>(nRiff) : kWaveStreamingLength);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    Put32(p + 16, static_cast<uint32_t>(fmt.size()));
    std::memcpy(p + 20, fmt.data(), fmt.size());
    p += 20 + fmt.size();
    std::memcpy(p, "data", 4);
    Put32(p + 4, bFits ? static_cast<uint32_t>(nDataBytes) : kWaveStreamingLength);
    return header;
}
