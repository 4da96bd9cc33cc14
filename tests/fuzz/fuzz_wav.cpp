// Fuzz target of the WAV reader: the bytes become a file in a private temporary
// folder, which is opened, read (stated lengths capped, since a hostile header
// may claim gigabytes of silence), seeked in and removed. A length beyond
// what the file can hold is a fault.
#include "sound/LWaveFile.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& TempFolder()
{
    static const std::string folder = [] {
        static const FuzzTempDir tmp("fuzz_wav");
        return tmp.Path();
    }();
    return folder;
}

void Exercise(LSoundSourceBase& source, size_t nFileBytes)
{
    // No codec here gives more than 5 frames a byte: a longer length came
    // from a header's size, which must be capped at what the file holds.
    if (source.GetLength() > static_cast<int64_t>(nFileBytes) * 8 + 4096)
        std::abort();
    const int64_t nLength = std::min<int64_t>(source.GetLength(), 200000);
    std::vector<int32_t> buffer(size_t { 4096 } * source.NumChannels());
    for (int64_t n = 0; n < nLength; n += 4096)
        source.Read(buffer.data(), 4096);
    for (int64_t nAt : { int64_t { -100 }, nLength / 2, nLength + 5, int64_t { 1 } }) {
        source.Seek(nAt);
        source.Read(buffer.data(), 333);
        source.Read(buffer.data(), 1);
    }
    (void)source.GetLength();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = TempFolder() + "/input.wav";
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (!pFile)
        return 0;
    std::fwrite(pData, 1, nSize, pFile);
    std::fclose(pFile);
    {
        LWaveFileInfo info;
        (void)LWaveFile::ReadInfo(path, &info);
        LSoundSourceRef source = LWaveFile::OpenSource(path);
        Exercise(*source, nSize);
    }
    ::unlink(path.c_str());
    return 0;
}
