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

// A batch larger than one round of open files, where some files cannot be
// written: a folder with files where a file should go, a folder that is
// missing. Every other file is written whole, the failures carry their
// errors, and no temporary file is left.
TEST(WriteFilesAtomic, FailuresLeaveTheOthersWrittenAndNoTemporaryFiles)
{
    test::TempDir dir;
    std::vector<AtomicFileWrite> files(300);
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].path = dir.File(std::to_string(i) + ".ddf");
        if (i % 2)
            MakeFile(files[i].path, "old contents, longer than the new");
        files[i].data.assign(i % 7, static_cast<uint8_t>(i));
    }
    const size_t kBlocked = 8, kMissing = 290;
    ASSERT_TRUE(CreateFolder(files[kBlocked].path));
    MakeFile(files[kBlocked].path + "/keep", "k");
    files[kMissing].path = dir.File("none/" + std::to_string(kMissing) + ".ddf");

    EXPECT_EQ(WriteFilesAtomic(files, 0600), files.size() - 2);
    for (size_t i = 0; i < files.size(); ++i) {
        if (i == kBlocked || i == kMissing) {
            EXPECT_NE(files[i].nErrno, 0) << i;
            continue;
        }
        EXPECT_EQ(files[i].nErrno, 0) << i;
        std::string text;
        ReadTextFile(files[i].path, &text);
        EXPECT_EQ(text, std::string(files[i].data.begin(), files[i].data.end())) << i;
        struct stat st { };
        ASSERT_EQ(::stat(files[i].path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << i;
    }
    EXPECT_TRUE(FileExists(files[kBlocked].path + "/keep"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

} // namespace
