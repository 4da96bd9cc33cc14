// The "fmt " chunk structure and the codec table's contents.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LWaveFormat.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(WaveFormat, BytesRoundTripWithExtra)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatImaAdpcm;
    format.nChannels = 2;
    format.nSamplesPerSec = 0x12345678;
    format.nAvgBytesPerSec = 0x9ABCDEF0;
    format.nBlockAlign = 0xFEDC;
    format.wBitsPerSample = 4;
    format.extra = { 0xF9, 0x01, 0x7F };
    const std::vector<uint8_t> bytes = format.ToBytes();
    ASSERT_EQ(bytes.size(), 21u);
    // Little-endian throughout, cbSize from the extra bytes.
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[4], 0x78);
    EXPECT_EQ(bytes[7], 0x12);
    EXPECT_EQ(bytes[16], 3);
    EXPECT_EQ(bytes[17], 0);
    LWaveFormat back;
    ASSERT_TRUE(LWaveFormat::FromBytes(bytes.data(), bytes.size(), &back));
    EXPECT_EQ(back.ToBytes(), bytes);
}

TEST(WaveFormat, ChunkSizesFromShortToOversized)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatMsAdpcm;
    format.extra.assign(32, 0xAB);
    std::vector<uint8_t> bytes = format.ToBytes();
    LWaveFormat out;
    // Fewer than 16 bytes: not a format.
    EXPECT_FALSE(LWaveFormat::FromBytes(bytes.data(), 15, &out));
    EXPECT_FALSE(LWaveFormat::FromBytes(nullptr, 40, &out));
    // 16 bytes (no cbSize): accepted with no extra bytes.
    ASSERT_TRUE(LWaveFormat::FromBytes(bytes.data(), 16, &out));
    EXPECT_EQ(out.wFormatTag, kWaveFormatMsAdpcm);
    EXPECT_TRUE(out.extra.empty());
    // cbSize claims more than the chunk holds: the extra bytes stop at its end.
    ASSERT_TRUE(LWaveFormat::FromBytes(bytes.data(), 18 + 5, &out));
    EXPECT_EQ(out.extra.size(), 5u);
    bytes[16] = 0xFF;
    bytes[17] = 0xFF;
    ASSERT_TRUE(LWaveFormat::FromBytes(bytes.data(), bytes.size(), &out));
    EXPECT_EQ(out.extra.size(), 32u);
    // A 1024-byte codec record: cbSize says how much of it is the format.
    std::vector<uint8_t> record(1024, 0x5A);
    LWaveFormat gsm;
    gsm.wFormatTag = kWaveFormatGSM610;
    gsm.extra = { 0x40, 0x01 };
    const std::vector<uint8_t> head = gsm.ToBytes();
    std::copy(head.begin(), head.end(), record.begin());
    ASSERT_TRUE(LWaveFormat::FromBytes(record.data(), record.size(), &out));
    EXPECT_EQ(out.extra, gsm.extra);
}

// Every encoder's format is one its own decoder accepts, and encoders refuse
// what they cannot write.
TEST(CodecTable, EncoderFormatsOpenDecoders)
{
    for (const LCodecEntry& entry : LCodecTable::Entries()) {
        for (uint32_t rate : { 8000u, 11025u, 22050u, 44100u, 48000u }) {
            for (uint16_t channels : { 1, 2 }) {
                LCodecStatus status = LCodecStatus::UnknownFormat;
                auto encoder = entry.pCreateEncoder(rate, channels, &status);
                if (!encoder) {
                    EXPECT_EQ(status, LCodecStatus::BadParameters) << entry.szName;
                    continue;
                }
                EXPECT_EQ(status, LCodecStatus::Ok);
                const LWaveFormat& format = encoder->Format();
                SCOPED_TRACE(std::string(entry.szName) + " " + std::to_string(rate) + "/" + std::to_string(channels));
                EXPECT_EQ(format.wFormatTag, entry.wFormatTag);
                EXPECT_EQ(format.nSamplesPerSec, rate);
                EXPECT_EQ(format.nChannels, channels);
                EXPECT_GT(format.nAvgBytesPerSec, 0u);
                auto decoder = entry.pCreateDecoder(format, &status);
                ASSERT_NE(decoder, nullptr);
                EXPECT_EQ(decoder->BlockBytes(), encoder->BlockBytes());
                EXPECT_EQ(decoder->FramesPerBlock(), encoder->FramesPerBlock());
            }
        }
        EXPECT_EQ(entry.pCreateEncoder(8000, 0, nullptr), nullptr) << entry.szName;
        EXPECT_EQ(entry.pCreateEncoder(0, 1, nullptr), nullptr) << entry.szName;
    }
}
