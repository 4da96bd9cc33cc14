#include "sound/codecs/LWaveFormat.h"

#include "sound/codecs/LCodecUtil.h"

#include <algorithm>

std::vector<uint8_t> LWaveFormat::ToBytes() const
{
    // cbSize is 16 bits wide; extra bytes beyond that cannot be described.
    const size_t nExtra = std::min<size_t>(extra.size(), UINT16_MAX);
    std::vector<uint8_t> bytes(18 + nExtra);
    PutLE16(&bytes[0], wFormatTag);
    PutLE16(&bytes[2], nChannels);
    PutLE32(&bytes[4], nSamplesPerSec);
    PutLE32(&bytes[8], nAvgBytesPerSec);
    PutLE16(&bytes[12], nBlockAlign);
    PutLE16(&bytes[14], wBitsPerSample);
    PutLE16(&bytes[16], static_cast<uint16_t>(nExtra));
    std::copy_n(extra.begin(), nExtra, bytes.begin() + 18);
    return bytes;
}

bool LWaveFormat::FromBytes(const uint8_t* pData, size_t nBytes, LWaveFormat* pOut)
{
    if (pData == nullptr || pOut == nullptr || nBytes < 16)
        return false;
    LWaveFormat format;
    format.wFormatTag = GetLE16(pData);
    format.nChannels = GetLE16(pData + 2);
    format.nSamplesPerSec = GetLE32(pData + 4);
    format.nAvgBytesPerSec = GetLE32(pData + 8);
    format.nBlockAlign = GetLE16(pData + 12);
    format.wBitsPerSample = GetLE16(pData + 14);
    if (nBytes >= 18) {
        // The count is the file's claim; the chunk body is what we actually have.
        const size_t nExtra = std::min<size_t>(GetLE16(pData + 16), nBytes - 18);
        format.extra.assign(pData + 18, pData + 18 + nExtra);
    }
    *pOut = std::move(format);
    return true;
}
