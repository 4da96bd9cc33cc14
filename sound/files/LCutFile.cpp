#include "sound/files/LCutFile.h"

#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LRawFileDataSoundSink.h"

#include "foundation/LFile.h"

LSoundSourceRef LCutFile::OpenSource(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    return LRawFile::OpenSource(path, LRawSettings { nSampleRate, nChannels, kRawPCM16LE });
}

LSoundSinkRef LCutFile::OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    return LRawFile::OpenSink(path, LRawSettings { nSampleRate, nChannels, kRawPCM16LE });
}

LSoundSinkRef LCutFile::CreateNewSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
{
    return MakeSoundRef<LRawFileDataSoundSink<LCodingPCM16LE>>(path, nSampleRate, nChannels,
        LRawFileDataSoundSinkBase::HeaderWriter {}, LRawFileDataSoundSinkBase::kNewFileOnly);
}

int64_t LCutFile::FrameCount(const std::string& path, uint8_t nChannels)
{
    const uint64_t nBytes = GetFileSizeBytes(path);
    return static_cast<int64_t>(nBytes / 2 / (nChannels >= 2 ? nChannels : 1));
}
