#include "sound/files/LWaveFile.h"

#include "sound/LNullSoundSource.h"
#include "sound/codecs/LCodecTable.h"
#include "sound/files/LGSMWaveSink.h"
#include "sound/files/LGSMWaveSource.h"
#include "sound/files/LRawFileDataSoundSink.h"
#include "sound/files/LRawFileDataSoundSource.h"
#include "sound/files/LSNKACMFile.h"
#include "sound/files/LSRCACMWave.h"
#include "sound/files/LWaveHeader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kMinFmtBytes = 16;
constexpr uint32_t kMaxFmtBytes = 8192;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

// The parser reads a file or the first bytes of a decoder's pipe alike.
class LFileCursor {
public:
    explicit LFileCursor(LFile& file)
        : m_file(file)
    {
    }
    bool Read(void* p, uint32_t n) { return m_file.Read(p, n) == n; }
    bool Skip(uint64_t n) { return m_file.Seek(m_file.Tell() + n) && m_file.Tell() <= Size(); }
    uint64_t Tell() const { return m_file.Tell(); }
    uint64_t Size() const { return m_file.GetFileSizeBytes(); }

private:
    LFile& m_file;
};

class LBytesCursor {
public:
    LBytesCursor(const uint8_t* p, size_t n)
        : m_p(p)
        , m_n(n)
    {
    }
    bool Read(void* p, uint32_t n)
    {
        if (n > m_n - m_at)
            return false;
        std::memcpy(p, m_p + m_at, n);
        m_at += n;
        return true;
    }
    bool Skip(uint64_t n)
    {
        if (n > m_n - m_at)
            return false;
        m_at += static_cast<size_t>(n);
        return true;
    }
    uint64_t Tell() const { return m_at; }
    uint64_t Size() const { return m_n; }

private:
    const uint8_t* m_p;
    size_t m_n;
    size_t m_at = 0;
};

// Finds the next chunk named szId from where the cursor stands, skipping the
// others (odd sizes padded to even). On success it stands at its body.
template <class Cursor> bool FindChunk(Cursor& in, const char* szId, uint32_t* pSize)
{
    uint8_t header[8];
    for (;;) {
        if (!in.Read(header, 8))
            return false;
        const uint32_t nSize = Get32(header + 4);
        if (std::memcmp(header, szId, 4) == 0) {
            *pSize = nSize;
            return true;
        }
        if (static_cast<int32_t>(nSize) < 0 || !in.Skip(nSize + (nSize & 1)))
            return false;
    }
}

// WAVE_FORMAT_EXTENSIBLE names its real format in the first two bytes of the
// sub-format GUID, the rest being the fixed suffix below.
bool UnwrapExtensible(LWaveFormat* pFormat)
{
    static const uint8_t kGuidTail[14]
        = { 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 };
    if (pFormat->extra.size() < 22 || std::memcmp(pFormat->extra.data() + 8, kGuidTail, 14) != 0)
        return false;
    pFormat->wFormatTag = static_cast<uint16_t>(pFormat->extra[6] | (pFormat->extra[7] << 8));
    if (pFormat->wFormatTag == kWaveFormatExtensible)
        return false;
    pFormat->extra.clear();
    return true;
}

LWaveFormat PcmFormat(int32_t nRate, uint8_t nChannels, int nBytes)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatPCM;
    format.nChannels = nChannels;
    format.nSamplesPerSec = static_cast<uint32_t>(nRate);
    format.nBlockAlign = static_cast<uint16_t>(nChannels * nBytes);
    format.nAvgBytesPerSec = static_cast<uint32_t>(nRate) * format.nBlockAlign;
    format.wBitsPerSample = static_cast<uint16_t>(8 * nBytes);
    return format;
}

} // namespace

namespace {

template <class Cursor> uint8_t Parse(Cursor& in, bool bOpenEnded, LWaveFileInfo* pInfo)
{
    LWaveFileInfo info;
    info.nFileSize = in.Size();
    // The RIFF form of type WAVE, skipping any other form before it.
    uint8_t form[12];
    for (;;) {
        if (!in.Read(form, 12))
            return kSoundErrFormat;
        if (std::memcmp(form, "RIFF", 4) == 0 && std::memcmp(form + 8, "WAVE", 4) == 0)
            break;
        uint64_t nSize = Get32(form + 4);
        nSize += nSize & 1;
        if (nSize < 5 || !in.Skip(nSize - 4))
            return kSoundErrFormat;
    }

    uint32_t nFmtBytes = 0;
    if (!FindChunk(in, "fmt ", &nFmtBytes) || nFmtBytes < kMinFmtBytes || nFmtBytes > kMaxFmtBytes)
        return kSoundErrFormat;
    std::vector<uint8_t> fmt(nFmtBytes);
    if (!in.Read(fmt.data(), nFmtBytes) || !LWaveFormat::FromBytes(fmt.data(), nFmtBytes, &info.format))
        return kSoundErrFormat;
    if ((nFmtBytes & 1) && !in.Skip(1))
        return kSoundErrFormat;
    info.wFileFormatTag = info.format.wFormatTag;
    if (info.format.wFormatTag == kWaveFormatExtensible && !UnwrapExtensible(&info.format))
        return kSoundErrFormat;

    if (!FindChunk(in, "data", &info.nDataBytes))
        return kSoundErrFormat;
    info.nDataStart = in.Tell();
    info.bStreaming = info.nDataBytes == kWaveStreamingLength;
    // A writer into a pipe cannot go back to fill in the size: 0 or the
    // streaming marker, and the data runs to the end of the stream.
    info.bOpenEnded = bOpenEnded && (info.nDataBytes == 0 || info.bStreaming);

    const LWaveFormat& f = info.format;
    if (f.nChannels < 1 || f.nChannels > 255 || f.nSamplesPerSec < 1 || f.nSamplesPerSec > kMaxWaveSampleRate
        || f.nBlockAlign == 0)
        return kSoundErrFormat;
    if (f.wFormatTag == kWaveFormatPCM && f.wBitsPerSample == 0)
        return kSoundErrFormat;
    *pInfo = std::move(info);
    return kSoundOk;
}

} // namespace

uint8_t LWaveFile::ParseHeader(LFile& file, LWaveFileInfo* pInfo)
{
    LFileCursor in(file);
    return Parse(in, false, pInfo);
}

uint8_t LWaveFile::ParseStreamHeader(const uint8_t* pBytes, size_t nBytes, LWaveFileInfo* pInfo)
{
    LBytesCursor in(pBytes, nBytes);
    return Parse(in, true, pInfo);
}

uint8_t LWaveFile::ReadInfo(const std::string& path, LWaveFileInfo* pInfo)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return kSoundErrOpen;
    return ParseHeader(file, pInfo);
}

LSoundSourceRef LWaveFile::OpenSource(const std::string& path)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return LNullSoundSource::Make(kSoundErrOpen);
    LWaveFileInfo info;
    if (uint8_t uError = ParseHeader(file, &info))
        return LNullSoundSource::Make(uError);

    const LWaveFormat& f = info.format;
    const int32_t nRate = static_cast<int32_t>(f.nSamplesPerSec);
    const uint8_t nChannels = static_cast<uint8_t>(f.nChannels);
    if (f.wFormatTag == kWaveFormatPCM && f.wBitsPerSample <= 16) {
        const bool b8 = f.wBitsPerSample <= 8;
        const uint64_t nFrameBytes = static_cast<uint64_t>(nChannels) * (b8 ? 1 : 2);
        const int64_t nLength = info.bStreaming ? LRawFileDataSoundSourceBase::kLengthUnspecified
                                                : static_cast<int64_t>(info.nDataBytes / nFrameBytes);
        if (b8)
            return MakeSoundRef<LRawFileDataSoundSource<LCodingPCM8Unsigned>>(
                std::move(file), nRate, nChannels, nLength);
        return MakeSoundRef<LRawFileDataSoundSource<LCodingPCM16LE>>(std::move(file), nRate, nChannels, nLength);
    }
    if (f.wFormatTag == kWaveFormatGSM610) {
        if (nChannels != 1 || f.nBlockAlign != LGSMFrame::kWavBlockBytes)
            return LNullSoundSource::Make(kSoundErrCodec);
        return MakeSoundRef<LGSMWaveSource>(
            std::move(file), info.bStreaming ? LGSMSourceBase::kToEndOfFile : info.nDataBytes, nRate);
    }
    // Everything else, PCM wider than 16 bits included, goes through the codec table.
    LSoundSourceRef source
        = MakeSoundRef<LSRCACMWave>(std::move(file), f, info.bStreaming ? UINT64_MAX : info.nDataBytes);
    if (!source->IsUsable())
        return LNullSoundSource::Make(source->ErrorCode());
    return source;
}

LSoundSinkRef LWaveFile::OpenSink(const std::string& path, const LWaveFormat& format)
{
    if (format.wFormatTag == kWaveFormatPCM)
        return OpenSinkPCM(path, static_cast<int32_t>(format.nSamplesPerSec), 0, format.wBitsPerSample,
            static_cast<uint8_t>(format.nChannels > 255 ? 0 : format.nChannels));
    if (format.wFormatTag == kWaveFormatGSM610)
        return MakeSoundRef<LGSMWaveSink>(path,
            static_cast<int32_t>(std::min<uint32_t>(format.nSamplesPerSec, INT32_MAX)),
            static_cast<uint8_t>(format.nChannels > 255 ? 0 : format.nChannels));
    return MakeSoundRef<LSNKACMFile>(path, format);
}

LSoundSinkRef LWaveFile::OpenSinkPCM(
    const std::string& path, int32_t nSampleRate, int64_t nStartFrames, int nBitsPerSample, uint8_t nChannels)
{
    if (nBitsPerSample < 1 || nBitsPerSample > 16)
        return {};
    const int nBytes = nBitsPerSample <= 8 ? 1 : 2;
    const LWaveFormat format = PcmFormat(nSampleRate, nChannels, nBytes);
    auto headerWriter = [format](LFile& file, uint64_t nDataBytes, bool bFinal) -> uint32_t {
        const std::vector<uint8_t> header = MakeWaveHeader(format, nDataBytes, bFinal);
        return file.Write(header.data(), header.size()) ? static_cast<uint32_t>(header.size()) : 0;
    };
    const int64_t nStart = nStartFrames > 0 ? nStartFrames : 0;
    if (nBytes == 1)
        return MakeSoundRef<LRawFileDataSoundSink<LCodingPCM8Unsigned>>(
            path, nSampleRate, nChannels, headerWriter, nStart);
    return MakeSoundRef<LRawFileDataSoundSink<LCodingPCM16LE>>(path, nSampleRate, nChannels, headerWriter, nStart);
}
