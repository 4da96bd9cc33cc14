#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void MakeFile(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(test::WriteFileText(path, text));
}

TEST(ShareModes, ReadersShareButAWriterIsRefused)
{
    test::TempDir dir;
    std::string path = dir.File("a.ddf");
    MakeFile(path, "hello");
    LFile reader1, reader2, writer;
    ASSERT_TRUE(reader1.Open(path, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting));
    EXPECT_TRUE(reader2.Open(path, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting));
    EXPECT_FALSE(writer.Open(path, LFile::kReadWrite, LFile::kShareNone, LFile::kCreateAlways));
    EXPECT_EQ(writer.LastError(), LFile::Error::SharingViolation);
    // The refused writer must not have emptied the file on its way in.
    EXPECT_EQ(GetFileSizeBytes(path), 5u);
    EXPECT_TRUE(IsFileInUse(path));
    reader1.Close();
    reader2.Close();
    EXPECT_FALSE(IsFileInUse(path));
    EXPECT_TRUE(writer.Open(path, LFile::kReadWrite, LFile::kShareNone, LFile::kCreateAlways));
    EXPECT_EQ(GetFileSizeBytes(path), 0u);
}

TEST(ShareModes, AReaderThatToleratesWritersDoesNotBlockARecording)
{
    test::TempDir dir;
    std::string path = dir.File("1_0.dau");
    LFile writer, reader;
    ASSERT_TRUE(writer.Open(path, LFile::kWrite, LFile::kShareRead, LFile::kCreateAlways));
    ASSERT_TRUE(writer.Write("abcd", 4));
    ASSERT_TRUE(reader.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting));
    char buf[8];
    EXPECT_EQ(reader.Read(buf, sizeof buf), 4u);
    EXPECT_FALSE(IsFileInUse(dir.File("missing")));
}

TEST(OpenFileRetry, WaitsUntilTheDeadlineOrTheHolderLetsGoAndOtherErrorsEndAtOnce)
{
    test::TempDir dir;
    std::string path = dir.File("held");
    MakeFile(path, "x");
    auto holder = std::make_unique<LFile>();
    ASSERT_TRUE(holder->Open(path, LFile::kReadWrite, LFile::kShareNone, LFile::kOpenExisting));
    for (unsigned timeout : { 0u, 1u, 2u, 100u, 128u, 300u }) {
        LFile file;
        auto start = Clock::now();
        EXPECT_FALSE(OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, timeout, LFile::kOpenExisting));
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_GE(ms, static_cast<long>(timeout)) << "timeout " << timeout;
        EXPECT_LT(ms, static_cast<long>(timeout) + 2000) << "timeout " << timeout;
        EXPECT_EQ(file.LastError(), LFile::Error::SharingViolation);
    }
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        holder->Close();
    });
    LFile file;
    EXPECT_TRUE(OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 1000, LFile::kOpenExisting));
    release.join();
    LFile missing;
    auto start = Clock::now();
    EXPECT_FALSE(
        OpenFileRetry(missing, dir.File("missing"), LFile::kRead, LFile::kShareRead, 5000, LFile::kOpenExisting));
    EXPECT_EQ(missing.LastError(), LFile::Error::NotFound);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(Paths, TooLongIsAnErrorNeverACut)
{
    test::TempDir dir;
    std::string deep = dir.File(std::string(kMaxPath, 'a'));
    LFile file;
    EXPECT_FALSE(file.Open(deep, LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways));
    EXPECT_EQ(file.LastError(), LFile::Error::NameTooLong);
    // Nothing was created under a shortened name either.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_FALSE(WriteFileAtomic(deep, "x", 1));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(Paths, ValidFileNames)
{
    std::string out;
    EXPECT_TRUE(MakeValidFileName("Dr. Smith: 5/6", &out));
    EXPECT_EQ(out, "Dr Smith 56");
    EXPECT_FALSE(MakeValidFileName("../..", &out));
    EXPECT_TRUE(MakeValidFileName("a\tb\xc3\xa9", &out));
    EXPECT_EQ(out, "ab");
}

TEST(LockFile, SecondHolderIsRefusedAndTheLockFileGoesWithTheLockNeverTheData)
{
    test::TempDir dir;
    for (const char* szData : { "sending.dat", "queue" }) {
        std::string data = dir.File(szData), lock = data.substr(0, data.rfind(".dat")) + ".lck";
        MakeFile(data, "precious");
        LLockFile first, second;
        ASSERT_TRUE(first.Lock(data));
        EXPECT_TRUE(FileExists(lock));
        EXPECT_FALSE(second.Lock(data));
        first.Close();
        EXPECT_FALSE(FileExists(lock));
        EXPECT_EQ(GetFileSizeBytes(data), 8u);
        EXPECT_TRUE(second.Lock(data));
    }
}

TEST(DeleteFolderAndFiles, NeverFollowsLinksAndKeepsDotFiles)
{
    test::TempDir dir;
    std::string outside = dir.File("outside");
    std::string folder = dir.File("work");
    ASSERT_TRUE(CreateFolder(outside));
    ASSERT_TRUE(CreateFolderTree(folder + "/sub"));
    MakeFile(outside + "/keep.txt", "k");
    MakeFile(folder + "/a.txt", "a");
    MakeFile(folder + "/sub/b.txt", "b");
    std::filesystem::create_directory_symlink(outside, folder + "/sub/link");
    std::filesystem::create_symlink(outside + "/keep.txt", folder + "/filelink");
    EXPECT_TRUE(DeleteFolderAndFiles(folder, true));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_TRUE(FileExists(outside + "/keep.txt"));
    // A link named as the folder is not followed either.
    std::filesystem::create_directory_symlink(outside, dir.File("alias"));
    EXPECT_FALSE(DeleteFolderAndFiles(dir.File("alias"), true));
    EXPECT_TRUE(FileExists(outside + "/keep.txt"));
    ASSERT_TRUE(CreateFolder(folder));
    MakeFile(folder + "/.hidden", "h");
    EXPECT_FALSE(DeleteFolderAndFiles(folder));
    EXPECT_TRUE(FileExists(folder + "/.hidden"));
}

TEST(AtomicWrite, ReplacesWholeAndLeavesNoTemporaryFile)
{
    test::TempDir dir;
    std::string path = dir.File("f");
    MakeFile(path, "old content");
    ASSERT_TRUE(WriteFileAtomic(path, "new", 3, 0600));
    EXPECT_EQ(test::ReadFileBytes(path), (std::vector<uint8_t> { 'n', 'e', 'w' }));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    // Into a folder that does not exist: refused, nothing left behind.
    EXPECT_FALSE(WriteFileAtomic(dir.File("none/f"), "x", 1));
}

TEST(Folders, UserDataFollowsXdgAndIgnoresRelativeValues)
{
    test::IsolatedEnvironment env;
    EXPECT_EQ(GetUserDataFolder(), env.DataHome());
    setenv("XDG_DATA_HOME", "relative/path", 1);
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(GetUserDataFolder(), home + "/.local/share");
    }
}

} // namespace
