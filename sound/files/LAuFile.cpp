#include "sound/files/LAuFile.h"

#include "foundation/LFile.h"
#include "sound/LNullSoundSource.h"
#include "sound/files/LRawCodingG711.h"
#include "sound/files/LRawFileDataSoundSource.h"
#include "sound/files/LWaveFile.h"

#include <cstring>

namespace {

constexpr uint32_t kHeaderBytes = 24;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

uint32_t Get32BE(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

template <class Coding>
LSoundSourceRef Make(LFile&& file, int32_t nRate, uint8_t nChannels, uint32_t nDataBytes, int32_t nMaxAmplitude)
{
    const int64_t nLength = nDataBytes == kUnknownSize
        ? LRawFileDataSoundSourceBase::kLengthUnspecified
        : static_cast<int64_t>(nDataBytes / (nChannels * Coding::kBytes));
    return MakeSoundRef<LRawFileDataSoundSource<Coding>>(std::move(file), nRate, nChannels, nLength, nMaxAmplitude);
}

} // namespace

LSoundSourceRef LAuFile::OpenSource(const std::string& path)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return LNullSoundSource::Make(kSoundErrOpen);
    uint8_t header[kHeaderBytes];
    if (file.Read(header, kHeaderBytes) != kHeaderBytes || std::memcmp(header, ".snd", 4) != 0)
        return LNullSoundSource::Make(kSoundErrFormat);
    const uint32_t nOffset = Get32BE(header + 4);
    const uint32_t nDataBytes = Get32BE(header + 8);
    const uint32_t nEncoding = Get32BE(header + 12);
    const uint32_t nRate = Get32BE(header + 16);
    const uint32_t nChannels = Get32BE(header + 20);
    // The channel count is 32 bits here but 8 bits in the engine: it is
    // checked before anything is sized by it.
    if (nOffset < kHeaderBytes || nOffset > file.GetFileSizeBytes() || nChannels < 1 || nChannels > 255 || nRate < 1
        || nRate > kMaxWaveSampleRate)
        return LNullSoundSource::Make(kSoundErrFormat);
    if (!file.Seek(nOffset))
        return LNullSoundSource::Make(kSoundErrFormat);
    const int32_t nRate32 = static_cast<int32_t>(nRate);
    const uint8_t nChannels8 = static_cast<uint8_t>(nChannels);
    switch (nEncoding) {
    case kMuLaw8:
        return Make<LCodingMuLaw>(std::move(file), nRate32, nChannels8, nDataBytes, kMaxAmplitudeG711);
    case kLinear8:
        return Make<LCodingPCM8Signed>(std::move(file), nRate32, nChannels8, nDataBytes, kMaxAmplitudePCM);
    case kLinear16:
        return Make<LCodingPCM16BE>(std::move(file), nRate32, nChannels8, nDataBytes, kMaxAmplitudePCM);
    case kALaw8:
        return Make<LCodingALaw>(std::move(file), nRate32, nChannels8, nDataBytes, kMaxAmplitudeG711);
    default:
        return LNullSoundSource::Make(kSoundErrCodec);
    }
}
