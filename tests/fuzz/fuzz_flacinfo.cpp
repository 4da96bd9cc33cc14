// Fuzz target of the FLAC stream information reader: the bytes as the start of a stream, and as a file
// whose leading tag is passed over.
#include "import/LFlacStreamInfo.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    LFlacStreamInfo info;
    (void)LFlacStreamInfo::Parse(pData, nSize, &info);
    const uint64_t nTag = LFlacStreamInfo::TagBytes(pData, nSize);
    if (nTag > 0 && nTag < nSize)
        (void)LFlacStreamInfo::Parse(pData + nTag, nSize - nTag, &info);
    (void)LFlacStreamInfo::Read(FuzzWrite(FuzzFolder("fuzz_flacinfo") + "/input.flac", pData, nSize), &info);
    return 0;
}
