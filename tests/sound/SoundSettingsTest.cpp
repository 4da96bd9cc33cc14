// The per-recipient codec record.
#include "sound/codecs/LCodecTable.h"
#include "sound/files/LCodecRecord.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

namespace {

using namespace test;

TEST(CodecRecord, MissingOrShortFileGivesGsmAndSavedFormatReadsBack)
{
    test::TempDir dir;
    const std::string path = LCodecRecord::PathFor(dir.Path(), 0);
    LWaveFormat format;
    EXPECT_FALSE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.wFormatTag, kWaveFormatGSM610);

    const LWaveFormat ima = LCodecTable::Find(kWaveFormatImaAdpcm)->pCreateEncoder(22050, 2, nullptr)->Format();
    ASSERT_TRUE(LCodecRecord::Save(path, ima));
    EXPECT_EQ(test::ReadFileBytes(path).size(), LCodecRecord::kRecordBytes);
    ASSERT_TRUE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.ToBytes(), ima.ToBytes());

    // A record cut short is not trusted.
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    bytes.resize(1023);
    test::WriteFileBytes(path, bytes);
    EXPECT_FALSE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.wFormatTag, kWaveFormatGSM610);
    // An extra-byte count beyond the record is held to the record.
    bytes.resize(1024);
    bytes[16] = 0xFF;
    bytes[17] = 0xFF;
    test::WriteFileBytes(path, bytes);
    ASSERT_TRUE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.extra.size(), 1024u - 18);
    // A rate or channel count no dictation has is not trusted either.
    for (auto [at, value] : { std::pair { 5, 0 }, std::pair { 7, 0x7F }, std::pair { 2, 3 } }) {
        std::vector<uint8_t> odd = bytes;
        odd[at] = static_cast<uint8_t>(value);
        test::WriteFileBytes(path, odd);
        EXPECT_FALSE(LCodecRecord::Load(path, &format)) << at;
        EXPECT_EQ(format.wFormatTag, kWaveFormatGSM610);
    }
}

} // namespace
