#include "sound/files/LRawFile.h"

#include "sound/LNullSoundSource.h"
#include "sound/files/LRawCodingG711.h"
#include "sound/files/LRawFileDataSoundSink.h"
#include "sound/files/LRawFileDataSoundSource.h"
#include "sound/files/LSNKVOX.h"
#include "sound/files/LSRCVOX.h"

namespace {

LFile OpenForReading(const std::string& path)
{
    LFile file;
    // A failed open hands over the closed file: the reader then carries error 4.
    (void)file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting);
    return file;
}

template <class Coding>
LSoundSourceRef MakeSource(
    const std::string& path, const LRawSettings& settings, int32_t nMaxAmplitude = kMaxAmplitudePCM)
{
    return MakeSoundRef<LRawFileDataSoundSource<Coding>>(OpenForReading(path), settings.nSampleRate, settings.nChannels,
        LRawFileDataSoundSourceBase::kLengthUnspecified, nMaxAmplitude);
}

template <class Coding> LSoundSinkRef MakeSink(const std::string& path, const LRawSettings& settings)
{
    return MakeSoundRef<LRawFileDataSoundSink<Coding>>(path, settings.nSampleRate, settings.nChannels);
}

} // namespace

bool LRawFile::IsCodecSupported(uint32_t nCodec)
{
    return nCodec < kRawCodecCount;
}

LSoundSourceRef LRawFile::OpenSource(const std::string& path, const LRawSettings& settings)
{
    switch (settings.nCodec) {
    case kRawDialogicAdpcm:
        return MakeSoundRef<LSRCVOX>(OpenForReading(path), settings.nSampleRate);
    case kRawMuLaw:
        return MakeSource<LCodingMuLaw>(path, settings, kMaxAmplitudeG711);
    case kRawALaw:
        return MakeSource<LCodingALaw>(path, settings, kMaxAmplitudeG711);
    case kRawPCM16LE:
        return MakeSource<LCodingPCM16LE>(path, settings);
    case kRawPCM8Unsigned:
        return MakeSource<LCodingPCM8Unsigned>(path, settings);
    case kRawPCM8Signed:
        return MakeSource<LCodingPCM8Signed>(path, settings);
    case kRawPCM16BE:
        return MakeSource<LCodingPCM16BE>(path, settings);
    default:
        return LNullSoundSource::Make(kSoundErrPlaceholder);
    }
}

LSoundSinkRef LRawFile::OpenSink(const std::string& path, const LRawSettings& settings)
{
    switch (settings.nCodec) {
    case kRawDialogicAdpcm:
        return MakeSoundRef<LSNKVOX>(path, settings.nSampleRate);
    case kRawMuLaw:
        return MakeSink<LCodingMuLaw>(path, settings);
    case kRawALaw:
        return MakeSink<LCodingALaw>(path, settings);
    case kRawPCM16LE:
        return MakeSink<LCodingPCM16LE>(path, settings);
    case kRawPCM8Unsigned:
        return MakeSink<LCodingPCM8Unsigned>(path, settings);
    case kRawPCM8Signed:
        return MakeSink<LCodingPCM8Signed>(path, settings);
    case kRawPCM16BE:
        return MakeSink<LCodingPCM16BE>(path, settings);
    default:
        return {};
    }
}
