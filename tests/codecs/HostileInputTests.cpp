// Decoders given nonsense: formats that must be refused and blocks cut at every
// length. Run under the sanitizer build, reads past a block or writes past the
// output show up there.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LImaAdpcmCodec.h"
#include "sound/codecs/LMsAdpcmCodec.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using test::SetLe16;

LWaveFormat EncoderFormat(uint16_t wTag, uint32_t rate, uint16_t channels)
{
    return LCodecTable::Find(wTag)->pCreateEncoder(rate, channels, nullptr)->Format();
}

} // namespace

TEST(HostileInput, NonsenseFormatsAreRefused)
{
    struct Bad {
        const char* szWhat;
        uint16_t wTag;
        std::function<void(LWaveFormat&)> mutate;
    };
    const Bad bad[] = {
        { "pcm 0 channels", kWaveFormatPCM, [](LWaveFormat& f) { f.nChannels = 0; } },
        { "pcm 300 channels", kWaveFormatPCM, [](LWaveFormat& f) { f.nChannels = 300, f.nBlockAlign = 600; } },
        { "pcm 0 bits", kWaveFormatPCM, [](LWaveFormat& f) { f.wBitsPerSample = 0; } },
        { "pcm 40 bits", kWaveFormatPCM, [](LWaveFormat& f) { f.wBitsPerSample = 40, f.nBlockAlign = 10; } },
        { "pcm block align", kWaveFormatPCM, [](LWaveFormat& f) { f.nBlockAlign = 3; } },
        { "alaw 0 channels", kWaveFormatALaw, [](LWaveFormat& f) { f.nChannels = 0; } },
        { "ulaw block align", kWaveFormatMuLaw, [](LWaveFormat& f) { f.nBlockAlign = 3; } },
        { "ulaw 16 bits", kWaveFormatMuLaw, [](LWaveFormat& f) { f.wBitsPerSample = 16; } },
        { "ima 0 channels", kWaveFormatImaAdpcm, [](LWaveFormat& f) { f.nChannels = 0; } },
        { "ima block align 0", kWaveFormatImaAdpcm, [](LWaveFormat& f) { f.nBlockAlign = 0; } },
        { "ima block below header", kWaveFormatImaAdpcm, [](LWaveFormat& f) { f.nBlockAlign = 7; } },
        { "ima 3 bits", kWaveFormatImaAdpcm, [](LWaveFormat& f) { f.wBitsPerSample = 3; } },
        { "ima 0 frames", kWaveFormatImaAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 0, 0); } },
        { "ima frames beyond block", kWaveFormatImaAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 0, 1018); } },
        { "ms 0 channels", kWaveFormatMsAdpcm, [](LWaveFormat& f) { f.nChannels = 0; } },
        { "ms block align 0", kWaveFormatMsAdpcm, [](LWaveFormat& f) { f.nBlockAlign = 0; } },
        { "ms block below header", kWaveFormatMsAdpcm, [](LWaveFormat& f) { f.nBlockAlign = 13; } },
        { "ms 8 bits", kWaveFormatMsAdpcm, [](LWaveFormat& f) { f.wBitsPerSample = 8; } },
        { "ms no extra", kWaveFormatMsAdpcm, [](LWaveFormat& f) { f.extra.resize(3); } },
        { "ms 1 frame", kWaveFormatMsAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 0, 1); } },
        { "ms frames beyond block", kWaveFormatMsAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 0, 501); } },
        { "ms 0 coefficients", kWaveFormatMsAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 2, 0); } },
        { "ms 257 coefficients", kWaveFormatMsAdpcm,
            [](LWaveFormat& f) {
                f.extra.resize(4 + 4 * 257);
                SetLe16(f.extra, 2, 257);
            } },
        { "ms coefficients beyond extra", kWaveFormatMsAdpcm, [](LWaveFormat& f) { SetLe16(f.extra, 2, 8); } },
    };
    for (const Bad& b : bad) {
        // Stereo at 8000 Hz: 512-byte ADPCM blocks.
        LWaveFormat format = EncoderFormat(b.wTag, 8000, 2);
        ASSERT_NE(LCodecTable::Find(b.wTag)->pCreateDecoder(format, nullptr), nullptr) << b.szWhat;
        b.mutate(format);
        LCodecStatus status = LCodecStatus::Ok;
        EXPECT_EQ(LCodecTable::Find(b.wTag)->pCreateDecoder(format, &status), nullptr) << b.szWhat;
        EXPECT_EQ(status, LCodecStatus::BadParameters) << b.szWhat;
    }
    // A "fmt " body is at least 16 bytes, and present.
    LWaveFormat format;
    EXPECT_FALSE(LWaveFormat::FromBytes(EncoderFormat(kWaveFormatPCM, 8000, 1).ToBytes().data(), 15, &format));
    EXPECT_FALSE(LWaveFormat::FromBytes(nullptr, 40, &format));
}

TEST(HostileInput, SmallestBlocksAreAccepted)
{
    // A header-only IMA block holds one frame; an MS block its two header frames.
    LWaveFormat ima = EncoderFormat(kWaveFormatImaAdpcm, 8000, 1);
    ima.nBlockAlign = 4;
    SetLe16(ima.extra, 0, 1);
    auto imaDecoder = LImaAdpcmCodec::CreateDecoder(ima, nullptr);
    ASSERT_NE(imaDecoder, nullptr);
    const uint8_t imaBlock[4] = { 0x34, 0x12, 88, 0 };
    int16_t out[2] = { 0, 0 };
    EXPECT_EQ(imaDecoder->DecodeBlock(imaBlock, 4, out), 1u);
    EXPECT_EQ(out[0], 0x1234);
    // Missing samples-per-block: as many as the block holds.
    ima = EncoderFormat(kWaveFormatImaAdpcm, 8000, 1);
    ima.extra.clear();
    imaDecoder = LImaAdpcmCodec::CreateDecoder(ima, nullptr);
    ASSERT_NE(imaDecoder, nullptr);
    EXPECT_EQ(imaDecoder->FramesPerBlock(), LImaAdpcmCodec::FramesInBlock(ima.nBlockAlign, 1));

    LWaveFormat ms = EncoderFormat(kWaveFormatMsAdpcm, 8000, 1);
    ms.nBlockAlign = 7;
    SetLe16(ms.extra, 0, 2);
    auto msDecoder = LMsAdpcmCodec::CreateDecoder(ms, nullptr);
    ASSERT_NE(msDecoder, nullptr);
    const uint8_t msBlock[7] = { 0, 16, 0, 0x22, 0x11, 0x44, 0x33 };
    EXPECT_EQ(msDecoder->DecodeBlock(msBlock, 7, out), 2u);
    EXPECT_EQ(out[0], 0x3344);
    EXPECT_EQ(out[1], 0x1122);
}

// Every prefix of a real block: nothing read past it (the copy is exactly that
// long), frames grow with the bytes, and they equal the whole block's frames.
TEST(HostileInput, BlocksCutAtEveryLength)
{
    for (const LCodecEntry& entry : LCodecTable::Entries()) {
        for (uint16_t channels : { 1, 2 }) {
            auto encoder = entry.pCreateEncoder(8000, channels, nullptr);
            if (!encoder)
                continue;
            SCOPED_TRACE(std::string(entry.szName) + " " + std::to_string(channels) + "ch");
            auto decoder = entry.pCreateDecoder(encoder->Format(), nullptr);
            ASSERT_NE(decoder, nullptr);
            const std::vector<int16_t> signal = test::Speechlike16(encoder->FramesPerBlock(), channels, 8000, 42);
            std::vector<uint8_t> block(encoder->BlockBytes());
            const size_t nBytes = encoder->EncodeBlock(signal.data(), encoder->FramesPerBlock(), block.data());
            ASSERT_EQ(nBytes, block.size());
            const size_t nOut = decoder->FramesPerBlock() * channels;
            std::vector<int16_t> whole(nOut);
            decoder->Reset();
            ASSERT_EQ(decoder->DecodeBlock(block.data(), nBytes, whole.data()), decoder->FramesPerBlock());
            size_t nPrevious = 0;
            for (size_t n = 0; n <= nBytes; ++n) {
                std::vector<uint8_t> prefix(block.begin(), block.begin() + n);
                std::vector<int16_t> out(nOut + 16, 0x5A5A);
                decoder->Reset();
                const size_t nFrames = decoder->DecodeBlock(prefix.data(), n, out.data());
                ASSERT_GE(nFrames, nPrevious) << n;
                ASSERT_LE(nFrames, decoder->FramesPerBlock()) << n;
                for (size_t i = 0; i < nFrames * channels; ++i)
                    ASSERT_EQ(out[i], whole[i]) << n << " sample " << i;
                for (size_t i = nOut; i < out.size(); ++i)
                    ASSERT_EQ(out[i], 0x5A5A) << "written past the output at " << n;
                nPrevious = nFrames;
            }
            EXPECT_EQ(nPrevious, decoder->FramesPerBlock());
            EXPECT_EQ(decoder->DecodeBlock(nullptr, 10, whole.data()), 0u);
        }
    }
}

// Corrupt block headers (an IMA step index or MS predictor beyond its table) and runaway MS steps
// are seeds of fuzz_codecs.
