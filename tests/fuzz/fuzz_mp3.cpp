// Arbitrary bytes as an MP3 stream: header search, VBR frames, the index
// scan, decoding and seeking must stay in bounds and end.
#include "sound/codecs/LMP3MemoryReader.h"
#include "sound/codecs/LMP3Stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    LMP3MemoryReader reader(pData, nSize);
    LMP3Stream stream(&reader);
    stream.Open();
    const unsigned nCh = stream.Channels();
    std::vector<int32_t> buf(4096 * 2);
    // A claimed length may be huge; a bounded read still crosses every frame of a small input.
    const int64_t nLimit = std::min<int64_t>(stream.GetLength(), 64 * 1152);
    for (int64_t n = 0; n < nLimit + 4096; n += 4096) {
        stream.Read(buf.data(), 4096);
        for (size_t i = 0; i < 4096 * nCh; ++i)
            if (std::abs(buf[i]) > LMP3Decoder::kMaxAmplitude)
                std::abort();
    }
    // Seeks to places taken from the input itself.
    for (size_t i = 0; i + 2 <= std::min<size_t>(nSize, 8); i += 2) {
        int64_t t = (static_cast<int64_t>(pData[i]) << 8 | pData[i + 1]) * 37 - 1000;
        stream.Seek(t);
        stream.Read(buf.data(), 1500);
    }
    return 0;
}
