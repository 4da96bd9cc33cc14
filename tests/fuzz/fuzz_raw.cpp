// Fuzz target of the raw readers: the first byte picks the coding (and the channel count), the rest
// becomes the file, read whole, in pieces and after seeks. The cut-file reader is the coding-3 reader.
#include "sound/files/LRawFile.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::string path = FuzzWrite(FuzzFolder("fuzz_raw") + "/input.raw", pData + 1, nSize - 1);
    // Coding 7 is no coding: the placeholder.
    const LRawSettings settings { 8000, static_cast<uint8_t>(1 + ((pData[0] >> 3) & 1)), pData[0] % 8u };
    FuzzReadSource(*LRawFile::OpenSource(path, settings), nSize - 1, 1 << 20);
    return 0;
}
