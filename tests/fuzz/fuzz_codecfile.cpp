// Fuzz target of the codec-file reader: the bytes become a recipient's
// "Codec 1.wff"; what it accepts must be a format a dictation can be written
// in, a short signal is written in it, and saving it keeps it.
#include "sound/files/LCodecRecord.h"
#include "sound/files/LWaveFile.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string& folder = FuzzFolder("fuzz-codecfile");
    const std::string path = FuzzWrite(LCodecRecord::PathFor(folder, 0), pData, nSize);
    LWaveFormat format;
    const bool bFromFile = LCodecRecord::Load(path, &format);
    if (format.nChannels < 1 || format.nChannels > 2 || format.nSamplesPerSec < 1000
        || format.nSamplesPerSec > kMaxWaveSampleRate)
        std::abort();
    if (!bFromFile)
        return 0;
    if (LSoundSinkRef sink = LWaveFile::OpenSink(folder + "/out.wav", format); sink && sink->IsUsable()) {
        std::vector<int32_t> signal(size_t { 1000 } * sink->NumChannels());
        for (size_t i = 0; i < signal.size(); ++i)
            signal[i] = static_cast<int32_t>((i * 7919) % 0xFFFE0) - 0x7FFF0;
        sink->Write(signal.data(), 1000);
    }
    LWaveFormat again;
    if (LCodecRecord::Save(path, format) && (!LCodecRecord::Load(path, &again) || again.ToBytes() != format.ToBytes()))
        std::abort();
    return 0;
}
