#include "sound/files/LAifFile.h"

#include "foundation/LFile.h"
#include "sound/LNullSoundSource.h"
#include "sound/files/LRawFileDataSoundSink.h"
#include "sound/files/LRawFileDataSoundSource.h"
#include "sound/files/LWaveFile.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kStreaming = 0xFFFFFFFF;
constexpr uint32_t kCommBytes = 18;
constexpr int kExponentBias = 16383;
// The largest exponent whose mantissa's top 32 bits still hold the whole rate.
constexpr int kExponentTop = kExponentBias + 31;

uint32_t Get32BE(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

uint16_t Get16BE(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void Put32BE(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

void Put16BE(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

struct AifInfo {
    uint16_t nChannels = 0;
    int16_t nBits = 0;
    uint32_t nRate = 0;
    uint64_t nDataStart = 0;
    uint32_t nDataBytes = 0;
    bool bStreaming = false;
};

// Walks the chunks of the FORM for "COMM" and "SSND", in whichever order they
// come; each other chunk is skipped by its size rounded up to even.
uint8_t ParseHeader(LFile& file, AifInfo* pInfo)
{
    uint8_t form[12];
    if (file.Read(form, 12) != 12 || std::memcmp(form, "FORM", 4) != 0 || std::memcmp(form + 8, "AIFF", 4) != 0)
        return kSoundErrFormat;
    const uint64_t nFileSize = file.GetFileSizeBytes();
    AifInfo info;
    bool bComm = false, bSsnd = false;
    uint64_t nAt = 12;
    while (!(bComm && bSsnd)) {
        uint8_t chunk[8];
        if (!file.Seek(nAt) || file.Read(chunk, 8) != 8)
            return kSoundErrFormat;
        const uint32_t nSize = Get32BE(chunk + 4);
        nAt += 8;
        if (std::memcmp(chunk, "COMM", 4) == 0 && !bComm) {
            uint8_t comm[kCommBytes];
            if (nSize < kCommBytes || file.Read(comm, kCommBytes) != kCommBytes)
                return kSoundErrFormat;
            info.nChannels = Get16BE(comm);
            info.nBits = static_cast<int16_t>(Get16BE(comm + 6));
            info.nRate = LAifFile::DecodeRate(comm + 8);
            bComm = true;
        } else if (std::memcmp(chunk, "SSND", 4) == 0 && !bSsnd) {
            uint8_t ssnd[8];
            if (file.Read(ssnd, 8) != 8)
                return kSoundErrFormat;
            // The offset says where the first sample lies after these 8 bytes.
            const uint32_t nOffset = Get32BE(ssnd);
            info.nDataStart = nAt + 8 + nOffset;
            if (nSize == kStreaming) {
                info.bStreaming = true;
            } else {
                const uint64_t nBody = nSize >= 8 ? nSize - 8u : 0;
                info.nDataBytes = static_cast<uint32_t>(nBody > nOffset ? nBody - nOffset : 0);
            }
            bSsnd = true;
            if (info.bStreaming)
                break; // no size to skip by: the samples run to the end
        }
        if (static_cast<int32_t>(nSize) < 0)
            return kSoundErrFormat;
        nAt += nSize + (nSize & 1u);
        if (nAt > nFileSize && !(bComm && bSsnd))
            return kSoundErrFormat;
    }
    if (!bComm || !bSsnd)
        return kSoundErrFormat;
    if (info.nChannels < 1 || info.nChannels > 255 || info.nBits < 1 || info.nRate < 1
        || info.nRate > kMaxWaveSampleRate)
        return kSoundErrFormat;
    if (info.nBits > 16)
        return kSoundErrCodec;
    if (info.nDataStart > nFileSize)
        return kSoundErrFormat;
    *pInfo = info;
    return kSoundOk;
}

} // namespace

void LAifFile::EncodeRate(uint32_t nRate, uint8_t* pTen)
{
    const int nLog = nRate == 0 ? 0 : 31 - std::countl_zero(nRate);
    Put16BE(pTen, static_cast<uint16_t>(nRate == 0 ? 0 : kExponentBias + nLog));
    Put32BE(pTen + 2, nRate << (31 - nLog));
    Put32BE(pTen + 6, 0);
}

uint32_t LAifFile::DecodeRate(const uint8_t* pTen)
{
    const uint16_t wSignExponent = Get16BE(pTen);
    // Negative, or a shift outside the 32 bits the rate is taken from.
    if (wSignExponent < kExponentBias || wSignExponent > kExponentTop)
        return 0;
    return Get32BE(pTen + 2) >> (kExponentTop - wSignExponent);
}

LSoundSourceRef LAifFile::OpenSource(const std::string& path)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return LNullSoundSource::Make(kSoundErrOpen);
    AifInfo info;
    if (uint8_t uError = ParseHeader(file, &info))
        return LNullSoundSource::Make(uError);
    if (!file.Seek(info.nDataStart))
        return LNullSoundSource::Make(kSoundErrFormat);
    const int32_t nRate = static_cast<int32_t>(info.nRate);
    const uint8_t nChannels = static_cast<uint8_t>(info.nChannels);
    const uint32_t nBytes = info.nBits <= 8 ? 1 : 2;
    const int64_t nLength = info.bStreaming ? LRawFileDataSoundSourceBase::kLengthUnspecified
                                            : static_cast<int64_t>(info.nDataBytes / (nChannels * nBytes));
    if (nBytes == 1)
        return MakeSoundRef<LRawFileDataSoundSource<LCodingPCM8Signed>>(std::move(file), nRate, nChannels, nLength);
    return MakeSoundRef<LRawFileDataSoundSource<LCodingPCM16BE>>(std::move(file), nRate, nChannels, nLength);
}

LSoundSinkRef LAifFile::OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    auto headerWriter = [nSampleRate, nChannels](LFile& file, uint64_t nDataBytes, bool bFinal) -> uint32_t {
        uint8_t h[kHeaderBytes];
        const uint64_t nForm = nDataBytes + (kHeaderBytes - 8);
        const bool bFits = nForm <= UINT32_MAX;
        const uint32_t nFrameBytes = 2u * (nChannels ? nChannels : 1);
        std::memcpy(h, "FORM", 4);
        Put32BE(h + 4, bFits ? static_cast<uint32_t>(nForm) : kStreaming);
        std::memcpy(h + 8, "AIFFCOMM", 8);
        Put32BE(h + 16, kCommBytes);
        Put16BE(h + 20, nChannels);
        Put32BE(h + 22, static_cast<uint32_t>(nDataBytes / nFrameBytes));
        Put16BE(h + 26, 16);
        EncodeRate(static_cast<uint32_t>(nSampleRate), h + 28);
        std::memcpy(h + 38, "SSND", 4);
        Put32BE(h + 42, bFinal && bFits ? static_cast<uint32_t>(nDataBytes + 8) : kStreaming);
        Put32BE(h + 46, 0);
        Put32BE(h + 50, 0);
        return file.Write(h, kHeaderBytes) ? kHeaderBytes : 0;
    };
    if (nSampleRate < 1 || static_cast<uint32_t>(nSampleRate) > kMaxWaveSampleRate)
        return MakeSoundRef<LRawFileDataSoundSink<LCodingPCM16BE>>(std::string(), nSampleRate, nChannels);
    return MakeSoundRef<LRawFileDataSoundSink<LCodingPCM16BE>>(path, nSampleRate, nChannels, headerWriter);
}
