#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "tests/support/Records.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

using test::DdfBuilder;

using DictationTest = test::EnvTest;

// Every field read from a file built byte by byte, and written back byte for byte.
TEST_F(DictationTest, LoadsAndWritesAFileBuiltByteByByte)
{
    DdfBuilder b;
    b.Put32(4, 77).Put32(8, 1234).Put32(12, 1000).Put32(16, 2000).Put32(20, 3000).Text(24, "Letter").Put32(120, 9);
    b.Text(124, "Uploaded").Put8(188, 3).Put8(189, 100).Put8(190, 2).Put8(191, 3).Put8(192, 0x34).Put8(193, 0x12);
    b.Put32(194, 16000).Put32(198, 5).Append("notes");
    b.Append(std::string("\x03/a1", 4)).Append(std::string("\x02/b", 3)).Append(std::string(1, '\0'));
    b.Cut(0, 0, 0xFFFFFFFF).Cut(2, 10, 500);
    const std::string path = b.Write(dir, "1234.ddf");
    {
        LDictation d(path);
        ASSERT_TRUE(d.IsValid());
        const DictationHeader& h = d.Header();
        EXPECT_EQ(std::vector<uint32_t>({ h.uUserID, h.uFileNumber, h.tCreated, h.tRecorded, h.tSent, h.uStatusTime,
                      h.uSendTo, h.uPriority, h.uChannels, h.uDuration, h.uSampleRate }),
            std::vector<uint32_t>({ 77, 1234, 1000, 2000, 3000, 9, 3, 100, 2, 0x1234, 16000 }));
        EXPECT_EQ(d.GetName(), "Letter");
        EXPECT_EQ(d.GetSendStatus(), "Uploaded");
        EXPECT_EQ(d.GetNotes(), "notes");
        ASSERT_EQ(d.GetAttachments().Count(), 2u) << "an empty name ends the list";
        EXPECT_EQ(*d.GetAttachments().GetFirst(), "/a1");
        EXPECT_EQ(d.Header().nAttachments, 3);
        ASSERT_EQ(d.GetCutList().Count(), 2u);
        auto it = d.GetCutList().GetFirst();
        EXPECT_EQ(it->uEnd, kCutToEnd);
        it.Next();
        EXPECT_EQ(
            std::vector<uint32_t>({ it->uCutNumber, it->uStart, it->uEnd }), std::vector<uint32_t>({ 2, 10, 500 }));
        std::filesystem::remove(path);
        ASSERT_TRUE(d.Save());
    }
    EXPECT_EQ(test::ReadFileBytes(path), b.Bytes());
}

TEST_F(DictationTest, HeaderAcceptanceAndHostileSizes)
{
    using R = LDictation::LoadResult;
    const std::vector<uint8_t> whole = DdfBuilder().Bytes();
    const struct {
        const char* szWhat;
        std::vector<uint8_t> bytes;
        R result;
        size_t nLoaded; // bytes of notes, plus attachments, plus cut records
    } cases[] = {
        { "plain", whole, R::Ok, 0 },
        { "version 2", DdfBuilder().Put32(0, 2).Bytes(), R::Unreadable, 0 },
        { "version 0", DdfBuilder().Put32(0, 0).Bytes(), R::Broken, 0 },
        { "magic", DdfBuilder().Put32(218, 0x0FF04021).Bytes(), R::Broken, 0 },
        { "short", std::vector<uint8_t>(whole.begin(), whole.end() - 1), R::Broken, 0 },
        { "huge notes", DdfBuilder().Put32(198, 0xFFFFFFFF).Bytes(), R::Broken, 0 },
        { "notes one past the end", DdfBuilder().Put32(198, 4).Append("abc").Bytes(), R::Broken, 0 },
        { "notes to the end", DdfBuilder().Put32(198, 3).Append("abc").Bytes(), R::Ok, 3 },
        // Attachments promised but missing end the list quietly; a torn last cut record is ignored.
        { "attachments missing", DdfBuilder().Put8(191, 200).Append(std::string("\x05/ab", 4)).Bytes(), R::Ok, 0 },
        { "torn cut", DdfBuilder().Cut(1, 2, 3).Append("xyz").Bytes(), R::Ok, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szWhat);
        ASSERT_TRUE(test::WriteFileBytes(dir.File("1.ddf"), c.bytes));
        LDictation d(dir.File("1.ddf"));
        EXPECT_EQ(d.IsValid(), c.result == R::Ok);
        EXPECT_EQ(d.GetLoadResult(), c.result);
        EXPECT_EQ(d.GetNotes().size() + d.GetAttachments().Count() + d.GetCutList().Count(), c.nLoaded);
    }
    EXPECT_EQ(LDictation(dir.File("missing.ddf")).GetLoadResult(), R::Unreadable);
    // Names and statuses without a terminator never read past their field.
    LDictation full(DdfBuilder().Text(24, std::string(96, 'n')).Text(124, std::string(64, 's')).Write(dir, "f.ddf"));
    EXPECT_EQ(full.GetName().size(), 95u);
    EXPECT_EQ(full.GetSendStatus().size(), 63u);
}

TEST_F(DictationTest, NotesLineAndDuration)
{
    LDictation d(dir.Path(), "n");
    ASSERT_TRUE(d.SetNotes("a\tb\nc" + std::string(400, 'z')));
    std::string line = d.GetNotesLine();
    EXPECT_EQ(line.substr(0, 5), "a b c");
    EXPECT_EQ(line.size(), 259u);
    test::WriteFileBytes(d.GetCutFileName(0), std::vector<uint8_t>(2 * 11025 * 3 + 100, 0));
    d.MutableCutList().Add(CutRecord { 0, 0, kCutToEnd });
    d.MutableCutList().Add(CutRecord { 0, 11025, 22050 });
    d.MutableCutList().Add(CutRecord { 7, 0, kCutToEnd }); // missing file: nothing
    ASSERT_TRUE(d.UpdateDuration());
    EXPECT_EQ(LDictation(d.GetPath()).Header().uDuration, 4);
}

// A process killed at any moment of a save leaves the old or the new file.
TEST_F(DictationTest, AKilledSaveLeavesOldOrNew)
{
    LDictation d(dir.Path(), "crash");
    std::string small = "a", big(200000, 'b');
    ASSERT_TRUE(d.SetNotes(small));
    for (int round = 0; round < 20; ++round) {
        pid_t pid = test::Fork([&] {
            for (int i = 0;; ++i)
                d.SetNotes(i % 2 ? small : big);
            return true;
        });
        usleep(static_cast<useconds_t>(2000 + round * 700));
        kill(pid, SIGKILL);
        test::Reap(pid);
        LDictation reloaded(d.GetPath());
        ASSERT_TRUE(reloaded.IsValid()) << "round " << round;
        EXPECT_TRUE(reloaded.GetNotes() == small || reloaded.GetNotes() == big);
    }
}

} // namespace
