#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LFile.h"
#include "foundation/LSettings.h"
#include "tests/support/Records.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

using test::DdfBytes;

// Old enough that no one can still be writing it.
void Backdate(const std::string& path)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

class DictationList : public test::EnvTest {
protected:
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return path;
    }
};

TEST_F(DictationList, BuildingNeverDeletesAUserFile)
{
    Put("5.ddf", DdfBytes(5));
    std::vector<uint8_t> wrongMagic = DdfBytes(6);
    wrongMagic[218] ^= 1;
    Backdate(Put("6.ddf", wrongMagic));
    std::vector<uint8_t> newer = DdfBytes(7);
    newer[0] = 2;
    Put("7.ddf", newer); // a later version's file: not ours to judge
    Put("8.ddf", DdfBytes(8));
    std::vector<uint8_t> arriving = DdfBytes(9);
    arriving.resize(100);
    Put("9.ddf", arriving); // short and fresh: may still be arriving
    std::vector<uint8_t> shortOld(arriving.begin(), arriving.begin() + 50);
    Backdate(Put("10.ddf", shortOld));
    Backdate(Put("10.ddf.bad", { 1, 2, 3 })); // set aside by an earlier scan
    Put("5.ddf.tmpAbC123", DdfBytes(5)); // a save in progress
    fs::create_directory(dir.File("11.ddf"));
    LFile holder; // another process writing 8.ddf right now
    ASSERT_TRUE(holder.Open(dir.File("8.ddf"), LFile::kReadWrite, LFile::kShareNone, LFile::kOpenExisting));
    LDictationList list(dir.Path());
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.GetFirst()->GetFileNumber(), 5u);
    EXPECT_EQ(list.GetBrokenLeft(), 0u) << "9.ddf waits quietly for a later scan";
    EXPECT_EQ(test::FileNames(dir.Path()),
        (std::set<std::string> { "5.ddf", "6.ddf.bad", "7.ddf", "8.ddf", "9.ddf", "10.ddf.bad", "10.ddf.2.bad",
            "5.ddf.tmpAbC123", "11.ddf" }));
    EXPECT_EQ(test::ReadFileBytes(dir.File("6.ddf.bad")), wrongMagic) << "set aside byte for byte";
    EXPECT_EQ(test::ReadFileBytes(dir.File("10.ddf.2.bad")), shortOld);
    EXPECT_EQ(test::ReadFileBytes(dir.File("10.ddf.bad")), (std::vector<uint8_t> { 1, 2, 3 }));
    EXPECT_EQ(test::ReadFileBytes(dir.File("7.ddf")), newer);
    EXPECT_EQ(test::ReadFileBytes(dir.File("8.ddf")), DdfBytes(8));
    // Once free and old enough, both are taken up by the next scan.
    holder.Close();
    Backdate(dir.File("9.ddf"));
    EXPECT_EQ(list.Build(dir.Path()), 2u);
    EXPECT_EQ(list.GetBrokenLeft(), 0u);
    EXPECT_TRUE(FileExists(dir.File("9.ddf.bad")));
    // With every aside name taken the file stays, and the scan says so.
    Backdate(Put("12.ddf", shortOld));
    Put("12.ddf.bad", {});
    for (int n = 2; n < 100; ++n)
        Put("12.ddf." + std::to_string(n) + ".bad", {});
    EXPECT_EQ(list.Build(dir.Path()), 2u);
    EXPECT_EQ(list.GetBrokenLeft(), 1u);
    EXPECT_EQ(test::ReadFileBytes(dir.File("12.ddf")), shortOld);
}

// The scan opens only what the folder's entry (or, for a link, its target)
// says is a regular file.
TEST_F(DictationList, LinksAreFollowedAndOnlyRegularFilesAreRead)
{
    Put("31.ddf", DdfBytes(31));
    test::TempDir elsewhere;
    ASSERT_TRUE(test::WriteFileBytes(elsewhere.File("32.ddf"), DdfBytes(32)));
    fs::create_symlink(elsewhere.File("32.ddf"), dir.File("32.ddf"));
    fs::create_symlink(elsewhere.Path(), dir.File("33.ddf"));
    fs::create_symlink(dir.File("gone"), dir.File("34.ddf"));
    ASSERT_EQ(::mkfifo(dir.File("35.ddf").c_str(), 0600), 0);
    LDictationList list(dir.Path());
    std::set<uint32_t> numbers;
    for (const LDictation& d : list)
        numbers.insert(d.GetFileNumber());
    EXPECT_EQ(numbers, (std::set<uint32_t> { 31, 32 }));
    EXPECT_EQ(list.GetBrokenLeft(), 0u);
    EXPECT_EQ(
        test::FileNames(dir.Path()), (std::set<std::string> { "31.ddf", "32.ddf", "33.ddf", "34.ddf", "35.ddf" }));
}

TEST_F(DictationList, IndexesAreUniqueAndNeverReused)
{
    for (uint32_t n : { 21u, 22u, 23u })
        Put(std::to_string(n) + ".ddf", DdfBytes(n));
    LDictationList list(dir.Path());
    ASSERT_EQ(list.Count(), 3u);
    auto pSame = std::make_unique<LDictation>(dir.File("21.ddf"));
    EXPECT_FALSE(list.AddDictation(pSame)) << "a path already listed";
    ASSERT_NE(pSame, nullptr) << "a refused document stays with the caller";
    // Newest addition first: the first file found has index 0 and comes last.
    std::vector<int> indexes;
    for (const LDictation& d : list)
        indexes.push_back(d.nListIndex);
    EXPECT_EQ(indexes, (std::vector<int> { 2, 1, 0 }));
    LDictation* pNew = list.NewDictation(dir.Path(), "fourth");
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(pNew->nListIndex, 3);
    EXPECT_EQ(list.GetFirst().Get(), pNew);
    // An index still in use is skipped, whoever gave it.
    list.FindDictation(0)->nListIndex = 4;
    LDictation* pFifth = list.NewDictation(dir.Path(), "fifth");
    ASSERT_NE(pFifth, nullptr);
    EXPECT_EQ(pFifth->nListIndex, 5);
    std::string gone = list.FindDictation(1)->GetPath();
    EXPECT_TRUE(list.DeleteDictation(1));
    EXPECT_EQ(list.FindDictation(1), nullptr);
    EXPECT_FALSE(FileExists(gone));
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_FALSE(list.DeleteDictation(1)) << "an index no entry has does nothing";
    LDictation* pSixth = list.NewDictation(dir.Path(), "sixth");
    ASSERT_NE(pSixth, nullptr);
    EXPECT_EQ(pSixth->nListIndex, 6) << "a deleted entry's index is not given out again";
    EXPECT_EQ(list.FindFileNumber(22)->GetPath(), dir.File("22.ddf"));
}

// Status files as the typist's side writes them: golden files, and built byte by byte.
class StatusFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(engine.IsUsable());
        for (uint32_t n : { 7u, 8u, 9u })
            test::WriteFileBytes(Sent(n), DdfBytes(n));
        test::WriteFileBytes(engine.GetCurrentFolder() + "/7.ddf", DdfBytes(7));
    }
    std::string Sent(uint32_t n) const { return engine.GetSentFolder() + "/" + std::to_string(n) + ".ddf"; }
    std::string StatusOf(uint32_t n) const { return std::string(LDictation(Sent(n)).GetSendStatus()); }
    std::string Write(const std::vector<uint8_t>& bytes)
    {
        std::string path = dir.File("s0000012.sta");
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return path;
    }
    StatusFileResult Apply(const std::vector<uint8_t>& bytes, std::vector<StatusFileUpdate>* pUpdates = nullptr)
    {
        return LDictationLoadStatusFile(Write(bytes), engine.GetSentFolder(), pUpdates);
    }
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    test::TempDir dir;
};

// How records are cut from the bytes is fuzz_status's to check; here, that nothing changes.
TEST_F(StatusFiles, FilesWithoutAWholeRecordChangeNothing)
{
    std::vector<uint8_t> torn;
    test::PutU32(torn, 1);
    test::StatusRecord(torn, 1, 7, "Torn");
    torn.pop_back();
    EXPECT_EQ(Apply(torn), StatusFileResult::NoRecords);
    EXPECT_EQ(Apply({ 0, 0, 0 }), StatusFileResult::UnknownVersion);
    std::vector<uint8_t> version2;
    test::PutU32(version2, 2);
    test::StatusRecord(version2, 1, 7, "Future");
    EXPECT_EQ(Apply(version2), StatusFileResult::UnknownVersion);
    EXPECT_EQ(LDictationLoadStatusFile(dir.File("missing.sta"), engine.GetSentFolder()), StatusFileResult::NotOpened);
    EXPECT_EQ(LDictationLoadStatusFile(dir.Path(), engine.GetSentFolder()), StatusFileResult::NotOpened);
    for (uint32_t n : { 7u, 8u, 9u })
        EXPECT_EQ(test::ReadFileBytes(Sent(n)), DdfBytes(n)) << n;
}

TEST_F(StatusFiles, ANewerStatusIsNotOverwrittenByAnOlderRecord)
{
    test::WriteFileBytes(Sent(8), DdfBytes(8, "d", 500));
    // The same number under another name: both dictations take the status.
    test::WriteFileBytes(engine.GetSentFolder() + "/0007.ddf", DdfBytes(7));
    std::vector<uint8_t> b;
    test::PutU32(b, 1);
    test::StatusRecord(b, 1, 8, "Older", 499);
    test::StatusRecord(b, 1, 7, "Seven", 1);
    ASSERT_EQ(Apply(b), StatusFileResult::Ok);
    EXPECT_EQ(StatusOf(8), "");
    EXPECT_EQ(StatusOf(7), "Seven");
    EXPECT_EQ(LDictation(engine.GetSentFolder() + "/0007.ddf").GetSendStatus(), "Seven");
    b.clear();
    test::PutU32(b, 1);
    test::StatusRecord(b, 1, 8, "Same time", 500);
    ASSERT_EQ(Apply(b), StatusFileResult::Ok);
    EXPECT_EQ(StatusOf(8), "Same time");
}

} // namespace
