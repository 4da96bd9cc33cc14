// Arbitrary bytes as an MP3 stream: header search, VBR frames, the index
// scan, decoding and seeking must stay in bounds and end, and the decoder's
// vector paths must give the portable path's samples bit for bit.
#include "sound/codecs/LMP3MemoryReader.h"
#include "sound/codecs/LMP3Stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const mp3::DspKernels& chosen = mp3::ChosenDspKernels();
    const mp3::DspKernels* pPortable = mp3::DspKernelsFor(mp3::DspPath::Portable);
    LMP3MemoryReader reader(pData, nSize), portableReader(pData, nSize);
    LMP3Stream stream(&reader, &chosen);
    LMP3Stream portable(&portableReader, pPortable);
    stream.Open();
    portable.Open();
    const bool bCompare = chosen.path != mp3::DspPath::Portable;
    const unsigned nCh = stream.Channels();
    std::vector<int32_t> buf(4096 * 2), ref(4096 * 2);
    auto read = [&](int64_t nFrames) {
        stream.Read(buf.data(), nFrames);
        for (size_t i = 0; i < static_cast<size_t>(nFrames) * nCh; ++i)
            if (std::abs(buf[i]) > LMP3Decoder::kMaxAmplitude)
                std::abort();
        if (bCompare) {
            portable.Read(ref.data(), nFrames);
            if (std::memcmp(buf.data(), ref.data(), static_cast<size_t>(nFrames) * nCh * sizeof(int32_t)) != 0)
                std::abort();
        }
    };
    // A claimed length may be huge; a bounded read still crosses every frame of a small input.
    const int64_t nLimit = std::min<int64_t>(stream.GetLength(), 64 * 1152);
    for (int64_t n = 0; n < nLimit + 4096; n += 4096)
        read(4096);
    // Seeks to places taken from the input itself.
    for (size_t i = 0; i + 2 <= std::min<size_t>(nSize, 8); i += 2) {
        int64_t t = (static_cast<int64_t>(pData[i]) << 8 | pData[i + 1]) * 37 - 1000;
        stream.Seek(t);
        portable.Seek(t);
        read(1500);
    }
    return 0;
}
