// The typist's status file: what the writer leaves is the layout built byte
// by byte here, and what the dictator's reader makes of it; and how long a
// done job's audio is kept.
#include "dictation/LStatusFile.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "scribe/LFolderInboxSource.h"
#include "scribe/LScribeSettings.h"
#include "scribe/LScribeStatusWriter.h"
#include "tests/support/Records.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> Bytes(uint32_t uVersion, std::initializer_list<std::tuple<uint32_t, std::string, uint32_t>> rs)
{
    std::vector<uint8_t> b;
    test::PutU32(b, uVersion);
    for (const auto& [n, text, t] : rs)
        test::StatusRecord(b, uVersion, n, text, t);
    return b;
}

TEST(ScribeStatusWriter, EachJobKeepsOneRecordOfItsLatestStatusInVersionOne)
{
    struct Row {
        const char* what;
        std::vector<uint8_t> before;
        uint32_t uNumber;
        std::string text;
        std::vector<uint8_t> after;
    } rows[] = {
        { "a new file", {}, 7, "Typing", Bytes(1, { { 7, "Typing", 1000 } }) },
        { "another job added", Bytes(1, { { 7, "Typing", 5 } }), 8, "Typing",
            Bytes(1, { { 7, "Typing", 5 }, { 8, "Typing", 1000 } }) },
        { "the job's record replaced", Bytes(1, { { 7, "Typing", 5 }, { 8, "Typing", 6 } }), 7, "Typed",
            Bytes(1, { { 7, "Typed", 1000 }, { 8, "Typing", 6 } }) },
        { "version 0 made version 1", Bytes(0, { { 9, "Old", 0 } }), 7, "Typing",
            Bytes(1, { { 9, "Old", 0 }, { 7, "Typing", 1000 } }) },
        { "a torn record dropped", Bytes(1, { { 9, "Old", 3 } }), 7, "Typed",
            Bytes(1, { { 9, "Old", 3 }, { 7, "Typed", 1000 } }) },
        { "an unknown version replaced", Bytes(2, { { 9, "Old", 3 } }), 7, "Typed",
            Bytes(1, { { 7, "Typed", 1000 } }) },
        { "16 bytes cut to 15", {}, 7, "Sixteen bytes!!!", Bytes(1, { { 7, "Sixteen bytes!!", 1000 } }) },
        { "cut between characters", {}, 7, "Fourteen byt\xC3\xA9\xC3\xA9",
            Bytes(1, { { 7, "Fourteen byt\xC3\xA9", 1000 } }) },
    };
    rows[4].before.resize(rows[4].before.size() + 10, 'x');
    test::TempDir dir;
    for (const Row& row : rows) {
        const std::vector<uint8_t> bytes = LScribeStatusWriter::Update(row.before, row.uNumber, row.text, 1000);
        EXPECT_EQ(bytes, row.after) << row.what;
        const std::string path = dir.File("s0000003-ann.sta");
        ASSERT_TRUE(test::WriteFileBytes(path, row.before.empty() ? std::vector<uint8_t> {} : row.before));
        if (row.before.empty())
            std::remove(path.c_str());
        std::string why;
        ASSERT_TRUE(LScribeStatusWriter::WriteInFolder(dir.Path(), 3, "ann", row.uNumber, row.text, 1000, &why));
        EXPECT_EQ(test::ReadFileBytes(path), row.after) << row.what;
        LStatusFile reader;
        ASSERT_EQ(reader.Open(path), StatusFileResult::Ok) << row.what;
        StatusRecord last;
        while (reader.ReadRecord(&last) && last.uFileNumber != row.uNumber) { }
        EXPECT_EQ(last.uFileNumber, row.uNumber) << row.what;
        EXPECT_EQ(last.tStatus, 1000u) << row.what;
    }
    // The temporary name never matches "s*.sta", so a reader never takes it.
    EXPECT_EQ(test::FileNames(dir.Path()), (std::set<std::string> { "s0000003-ann.sta" }));
}

TEST(ScribeSettings, TheTypistNameInFileNamesKeepsLettersDigitsDashAndUnderscore)
{
    const std::pair<const char*, const char*> rows[] = { { "Ann B.", "AnnB" }, { "../../etc", "etc" },
        { "a/b\\c;$(x)`y`", "abcxy" }, { "ünï-c_0", "n-c_0" }, { "", "typist" }, { "\x1b[2J", "2J" } };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(LScribeSettings::CleanTypistName(in), out) << in;
}

} // namespace

namespace {

TEST(ScribeDoneArea, AudioIsDeletedOnlyOnceItsKeepingTimeHasPassed)
{
    test::TempDir dir;
    LFolderInboxSource source("Office", "ann", dir.Path());
    const std::string done = dir.File("Done/ann");
    ASSERT_TRUE(CreateFolderTree(done));
    const time_t now = 2000000000;
    const std::pair<const char*, int> rows[] = { { "fresh.dct", 0 }, { "nearly.dct", 30 * 86400 - 1 },
        { "due.dct", 30 * 86400 }, { "old.dct", 400 * 86400 } };
    for (const auto& [name, age] : rows) {
        const std::string path = FilePathCat(done, name);
        ASSERT_TRUE(test::WriteFileText(path, "x"));
        const timespec times[2] = { { now - age, 0 }, { now - age, 0 } };
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ASSERT_TRUE(test::WriteFileText(dir.File("waiting.dct"), "x"));
    std::vector<std::string> lines;
    source.ExpireDone(30, static_cast<uint32_t>(now), &lines);
    EXPECT_EQ(test::FileNames(done), (std::set<std::string> { "fresh.dct", "nearly.dct" }));
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_TRUE(FileExists(dir.File("waiting.dct")));
}

} // namespace
