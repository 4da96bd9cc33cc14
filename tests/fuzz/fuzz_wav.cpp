// Fuzz target of the WAV reader: the bytes become a file that is opened, read, seeked in and removed.
#include "sound/LWaveFile.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz_wav") + "/input.wav", pData, nSize);
    {
        LWaveFileInfo info;
        (void)LWaveFile::ReadInfo(path, &info);
        LSoundSourceRef source = LWaveFile::OpenSource(path);
        FuzzReadSource(*source, nSize, 200000);
    }
    ::unlink(path.c_str());
    return 0;
}
