// Fuzz target of the raw readers: the first byte picks the coding (and the
// channel count), the rest becomes the file, read whole and in pieces, seeked
// in and removed. The cut-file reader is the coding-3 reader.
#include "sound/LRawFile.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::string path = FuzzWrite(FuzzFolder("fuzz_raw") + "/input.raw", pData + 1, nSize - 1);
    {
        LRawSettings settings;
        settings.nCodec = pData[0] % 8; // 7 is no coding: the placeholder
        settings.nChannels = static_cast<uint8_t>(1 + ((pData[0] >> 3) & 1));
        settings.nSampleRate = 8000;
        LSoundSourceRef source = LRawFile::OpenSource(path, settings);
        const int64_t nLength = source->GetLength();
        std::vector<int32_t> whole(static_cast<size_t>(nLength + 7) * source->NumChannels());
        source->Read(whole.data(), static_cast<int32_t>(nLength + 7));
        source->Seek(-3);
        std::vector<int32_t> piece(size_t { 64 } * source->NumChannels());
        for (int64_t n = -3; n < nLength; n += 5)
            source->Read(piece.data(), 5);
        source->Seek(nLength / 2);
        source->Read(piece.data(), 64);
    }
    ::unlink(path.c_str());
    return 0;
}
