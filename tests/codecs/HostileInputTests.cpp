// Decoders given nonsense formats that must be refused. Blocks cut at every
// length are the fuzz target's.
#include "sound/codecs/LCodecTable.h"
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

// Corrupt block headers (an IMA step index or MS predictor beyond its table) and runaway MS steps
// are seeds of fuzz_codecs.
