// Fuzz target of the codec-file reader: the bytes become a recipient's
// "Codec 1.wff"; what it accepts must be a format a dictation can be written
// in, and writing a short signal in it must end without harm.
#include "sound/LCodecRecord.h"
#include "sound/LWaveFile.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& TempFolder()
{
    static const std::string folder = [] {
        static const FuzzTempDir tmp("fuzz-codecfile");
        return tmp.Path();
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = LCodecRecord::PathFor(TempFolder(), 0);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(pData, 1, nSize, f);
    std::fclose(f);
    LWaveFormat format;
    const bool bFromFile = LCodecRecord::Load(path, &format);
    if (format.nChannels < 1 || format.nChannels > 2 || format.nSamplesPerSec < 1000
        || format.nSamplesPerSec > kMaxWaveSampleRate)
        std::abort();
    if (!bFromFile)
        return 0;
    const std::string wav = TempFolder() + "/out.wav";
    {
        LSoundSinkRef sink = LWaveFile::OpenSink(wav, format);
        if (sink && sink->IsUsable()) {
            std::vector<int32_t> signal(size_t { 1000 } * sink->NumChannels());
            for (size_t i = 0; i < signal.size(); ++i)
                signal[i] = static_cast<int32_t>((i * 7919) % 0xFFFE0) - 0x7FFF0;
            sink->Write(signal.data(), 1000);
        }
    }
    // What a usable sink wrote must read back as a WAV file.
    LWaveFileInfo info;
    (void)LWaveFile::ReadInfo(wav, &info);
    std::remove(wav.c_str());
    // Saving what was read keeps it.
    if (!LCodecRecord::Save(path, format))
        return 0;
    LWaveFormat again;
    if (!LCodecRecord::Load(path, &again) || again.ToBytes() != format.ToBytes())
        std::abort();
    return 0;
}
