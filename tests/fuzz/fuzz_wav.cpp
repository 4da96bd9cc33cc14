// Fuzz target of the WAV reader: the bytes become a file that is described, opened, read and seeked in.
#include "sound/files/LWaveFile.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz_wav") + "/input.wav", pData, nSize);
    LWaveFileInfo info;
    (void)LWaveFile::ReadInfo(path, &info);
    // The same bytes as the start of a decoder's stream, open-ended sizes allowed.
    (void)LWaveFile::ParseStreamHeader(pData, nSize, &info);
    FuzzReadSource(*LWaveFile::OpenSource(path), nSize, 200000);
    return 0;
}
