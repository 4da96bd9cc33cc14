// Headers whose data size claims far more than the file holds: the length
// that sizes a conversion or a recording is what the file really holds.
#include "sound/LSoundFileByName.h"
#include "tests/sound/SoundTestUtil.h"

#include <gtest/gtest.h>

namespace {

struct LyingCase {
    const char* szName; // made by sox
    const char* szTag; // the size field lies nSkip bytes after this tag
    size_t nSkip;
    bool bBigEndian;
    uint32_t nLie;
};

TEST(LyingSize, AStatedDataSizeIsCappedAtTheFile)
{
    TEST_REQUIRE_TOOL("sox");
    const LyingCase cases[] = {
        { "a.wav", "data", 0, false, 0x7FFFFFFF },
        { "b.au", ".snd", 4, true, 0xFFFFFFF0 },
    };
    test::TempDir dir;
    for (const LyingCase& c : cases) {
        const std::string path = dir.File(c.szName);
        ASSERT_EQ(test::RunShell("sox -n -r 8000 -b 16 -c 1 " + test::ShellQuote(path) + " synth 0.25 sine 440"), 0);
        std::string frames;
        ASSERT_EQ(test::RunShell("soxi -s " + test::ShellQuote(path), &frames), 0);
        std::vector<uint8_t> bytes = test::ReadFileBytes(path);
        const size_t at
            = static_cast<size_t>(std::search(bytes.begin(), bytes.end(), c.szTag, c.szTag + 4) - bytes.begin()) + 4
            + c.nSkip;
        ASSERT_LT(at + 4, bytes.size()) << c.szName;
        for (size_t i = 0; i < 4; ++i)
            bytes[at + (c.bBigEndian ? 3 - i : i)] = static_cast<uint8_t>(c.nLie >> (8 * i));
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
        LSoundSourceRef source = LSoundFileByName::OpenSource(path);
        ASSERT_TRUE(source->IsUsable()) << c.szName;
        EXPECT_EQ(source->GetLength(), std::stoll(frames)) << c.szName;
    }
}

} // namespace
