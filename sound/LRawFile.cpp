#include "sound/LRawFile.h"

#include "sound/LNullSoundSource.h"
#include "sound/LRawFileDataSoundSink.h"
#include "sound/LRawFileDataSoundSource.h"

namespace {

template <class Coding> LSoundSourceRef MakeSource(const std::string& path, const LRawSettings& settings)
{
    LFile file;
    // A failed open hands over the closed file: the reader then carries error 4.
    (void)file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting);
    return MakeSoundRef<LRawFileDataSoundSource<Coding>>(std::move(file), settings.nSampleRate, settings.nChannels);
}

template <class Coding> LSoundSinkRef MakeSink(const std::string& path, const LRawSettings& settings)
{
    return MakeSoundRef<LRawFileDataSoundSink<Coding>>(path, settings.nSampleRate, settings.nChannels);
}

} // namespace

bool LRawFile::IsCodecSupported(uint32_t nCodec)
{
    return nCodec >= kRawPCM16LE && nCodec <= kRawPCM16BE;
}

LSoundSourceRef LRawFile::OpenSource(const std::string& path, const LRawSettings& settings)
{
    switch (settings.nCodec) {
    // Dialogic ADPCM and G.711 (codings 0 to 2) join with the telephony codecs.
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
