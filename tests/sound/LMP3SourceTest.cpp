// The MP3 file source: its format and error codes, and the source rules of
// the framework (never short, zeros outside 0..length, seek before the start).
#include "sound/LMP3Source.h"
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

class MP3SourceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        TEST_REQUIRE_TOOL("lame");
    }
    std::string Make(unsigned nChannels, const std::string& options, int32_t nRate = 44100)
    {
        std::vector<uint8_t> v
            = mp3test::MakeMp3(m_dir, nRate, nChannels, "synth 1 sine 440 pinknoise gain -4", options, "src");
        EXPECT_FALSE(v.empty());
        return m_dir.File("src.mp3");
    }
    test::TempDir m_dir;
};

TEST_F(MP3SourceFile, ReportsTheFormatOfTheFirstHeader)
{
    LSoundSourceRef stereo = LMP3Source::Create(Make(2, "-b 128"));
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->ErrorCode(), kSoundOk);
    EXPECT_EQ(stereo->SampleRate(), 44100);
    EXPECT_EQ(stereo->NumChannels(), 2);
    EXPECT_EQ(stereo->MaxAmplitude(), 0x200000);
    EXPECT_GT(stereo->GetLength(), 40000);

    LSoundSourceRef mono = LMP3Source::Create(Make(1, "-m m -b 32 --resample 16", 16000));
    EXPECT_EQ(mono->ErrorCode(), kSoundOk);
    EXPECT_EQ(mono->SampleRate(), 16000);
    EXPECT_EQ(mono->NumChannels(), 1);
}

TEST_F(MP3SourceFile, MissingAndForeignFilesAreSilentPlaceholders)
{
    LSoundSourceRef missing = LMP3Source::Create(m_dir.File("nothing.mp3"));
    EXPECT_EQ(missing->ErrorCode(), kSoundErrOpen);
    EXPECT_EQ(missing->GetLength(), 0);

    ASSERT_TRUE(test::WriteFileBytes(m_dir.File("text.mp3"), std::vector<uint8_t>(5000, 'a')));
    LSoundSourceRef text = LMP3Source::Create(m_dir.File("text.mp3"));
    EXPECT_EQ(text->ErrorCode(), kSoundErrFormat);
    EXPECT_EQ(text->GetLength(), 0);
    std::vector<int32_t> v(2 * text->NumChannels(), 99);
    text->Read(v.data(), 2);
    EXPECT_EQ(v, std::vector<int32_t>(v.size(), 0));
    EXPECT_EQ(text->GetPosition(), 2);
}

TEST_F(MP3SourceFile, ReadsLikeTheStreamAndFollowsTheSourceRules)
{
    const std::string path = Make(2, "-b 112");
    mp3test::Decoded all = mp3test::DecodeAll(test::ReadFileBytes(path));
    LSoundSourceRef src = LMP3Source::Create(path);
    ASSERT_EQ(src->ErrorCode(), kSoundOk);
    const int64_t nLength = src->GetLength();
    ASSERT_EQ(static_cast<size_t>(nLength) * 2, all.samples.size());

    // Odd block sizes across frame edges.
    std::vector<int32_t> got;
    std::vector<int32_t> block(2 * 1300);
    for (int32_t n = 333; static_cast<int64_t>(got.size()) < nLength * 2; n = n % 997 + 211) {
        src->Read(block.data(), n);
        got.insert(got.end(), block.begin(), block.begin() + 2 * n);
    }
    got.resize(all.samples.size());
    EXPECT_EQ(got, all.samples);

    // After a seek to -100, 300 frames: 100 of silence, then frames 0 to 199.
    src->Seek(-100);
    std::vector<int32_t> v(600, 5);
    src->Read(v.data(), 300);
    EXPECT_TRUE(std::all_of(v.begin(), v.begin() + 200, [](int32_t x) { return x == 0; }));
    EXPECT_TRUE(std::equal(v.begin() + 200, v.end(), all.samples.begin()));
    EXPECT_EQ(src->GetPosition(), 200);

    // Reading across the end: zeros for the missing frames, full advance.
    src->Seek(nLength - 10);
    src->Read(v.data(), 300);
    EXPECT_TRUE(std::equal(v.begin(), v.begin() + 20, all.samples.end() - 20));
    EXPECT_TRUE(std::all_of(v.begin() + 20, v.end(), [](int32_t x) { return x == 0; }));
    EXPECT_EQ(src->GetPosition(), nLength + 290);
}

} // namespace
