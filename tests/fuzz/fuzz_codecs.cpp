// Arbitrary bytes as a WAV format followed by compressed blocks: the decoder the
// table makes for the format decodes them. Input layout: one byte n, then n
// bytes of "fmt " chunk body, then the blocks. Each block and each output sits
// in a buffer of exactly its size, so a read or write past it is caught.
#include "sound/codecs/LCodecTable.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const size_t nFormat = std::min<size_t>(pData[0], nSize - 1);
    LWaveFormat format;
    if (!LWaveFormat::FromBytes(pData + 1, nFormat, &format))
        return 0;
    if (format.extra.size() > nFormat)
        std::abort(); // the extra bytes must come from the chunk
    const std::span<const LCodecEntry> entries = LCodecTable::Entries();
    const LCodecEntry* pEntry = LCodecTable::Find(format.wFormatTag);
    if (pEntry == nullptr) {
        // Unknown tags would end here every time; let them choose a codec.
        pEntry = &entries[format.wFormatTag % entries.size()];
        format.wFormatTag = pEntry->wFormatTag;
    }
    LCodecStatus status = LCodecStatus::UnknownFormat;
    std::unique_ptr<LAudioDecoder> decoder = pEntry->pCreateDecoder(format, &status);
    if (!decoder) {
        if (status != LCodecStatus::BadParameters)
            std::abort();
        return 0;
    }
    if (status != LCodecStatus::Ok || format.nChannels == 0 || decoder->BlockBytes() == 0)
        std::abort();
    const size_t nOut = decoder->FramesPerBlock() * format.nChannels;
    if (nOut > (size_t { 1 } << 22))
        return 0; // a legal but huge block: memory, not safety
    const uint8_t* p = pData + 1 + nFormat;
    size_t nLeft = nSize - 1 - nFormat;
    do {
        const size_t n = std::min(nLeft, decoder->BlockBytes());
        std::vector<uint8_t> block(p, p + n);
        std::vector<int16_t> out(nOut);
        const size_t nFrames = decoder->DecodeBlock(block.data(), block.size(), out.data());
        if (nFrames > decoder->FramesPerBlock())
            std::abort();
        p += n;
        nLeft -= n;
    } while (nLeft > 0);
    return 0;
}
