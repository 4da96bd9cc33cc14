#include "import/LFlacStreamInfo.h"

#include "foundation/LFile.h"
#include "sound/files/LWaveFile.h"

#include <cstring>

namespace {

constexpr size_t kTagHeaderBytes = 10;
constexpr size_t kStreamInfoBytes = 34;
// "fLaC", the block's header, the block.
constexpr size_t kNeededBytes = 4 + 4 + kStreamInfoBytes;

} // namespace

uint64_t LFlacStreamInfo::TagBytes(const uint8_t* p, size_t nBytes)
{
    if (nBytes < kTagHeaderBytes || std::memcmp(p, "ID3", 3) != 0)
        return 0;
    uint64_t nSize = 0;
    for (int i = 6; i < 10; ++i) {
        if (p[i] & 0x80)
            return 0; // not a tag's size: the decoder will say what it is
        nSize = nSize << 7 | p[i];
    }
    const bool bFooter = (p[5] & 0x10) != 0;
    return kTagHeaderBytes + nSize + (bFooter ? kTagHeaderBytes : 0);
}

bool LFlacStreamInfo::Parse(const uint8_t* p, size_t nBytes, LFlacStreamInfo* pInfo)
{
    // The stream information block always comes first, 34 bytes long.
    if (nBytes < kNeededBytes || std::memcmp(p, "fLaC", 4) != 0 || (p[4] & 0x7F) != 0 || p[5] != 0 || p[6] != 0
        || p[7] != kStreamInfoBytes)
        return false;
    const uint8_t* q = p + 8 + 10;
    uint64_t nBits = 0;
    for (int i = 0; i < 8; ++i)
        nBits = nBits << 8 | q[i];
    LFlacStreamInfo info;
    info.uSampleRate = static_cast<uint32_t>(nBits >> 44);
    info.uChannels = static_cast<uint8_t>((nBits >> 41 & 0x7) + 1);
    info.uBitsPerSample = static_cast<uint8_t>((nBits >> 36 & 0x1F) + 1);
    info.nTotalFrames = nBits & 0xFFFFFFFFFull;
    if (info.uSampleRate < 1 || info.uSampleRate > kMaxWaveSampleRate || info.uBitsPerSample < 4
        || info.nTotalFrames == 0)
        return false;
    *pInfo = info;
    return true;
}

bool LFlacStreamInfo::Read(const std::string& path, LFlacStreamInfo* pInfo)
{
    LFile file;
    uint8_t bytes[kNeededBytes];
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting)
        || file.Read(bytes, sizeof bytes) != sizeof bytes)
        return false;
    const uint64_t nTag = TagBytes(bytes, sizeof bytes);
    if (nTag > 0
        && (nTag > file.GetFileSizeBytes() || !file.Seek(nTag) || file.Read(bytes, sizeof bytes) != sizeof bytes))
        return false;
    return Parse(bytes, sizeof bytes, pInfo);
}
