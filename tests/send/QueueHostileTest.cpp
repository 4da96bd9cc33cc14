// Queue files cut short or written by someone else: a clear outcome, never a
// crash, and nothing touched outside the queue's own folder.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "tests/send/QueueTestUtil.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace {

using namespace queuetest;
namespace fs = std::filesystem;

// Every file under the folder with its size and time, to see that nothing changed.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Tree(const std::string& folder)
{
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            tree[entry.path().string()] = { entry.file_size(), entry.last_write_time() };
    return tree;
}

TEST(SendQueueHostile, EveryCutOfAFileGivesWholeJobsOrNoneAndUnusableFilesAreDeleted)
{
    test::TempDir dir;
    const std::string path = dir.File("sending.dat");
    const auto records = Cat({ RecordBytes("/w/Send/a.ddf"), RecordBytes("/w/Send/b.ddf") });
    const auto full = Cat({ HeaderBytes(1, 0), records });
    std::vector<std::vector<uint8_t>> files
        = { Cat({ HeaderBytes(2, 0), records }), Cat({ HeaderBytes(1, 0, 270), records, { 0, 0 } }) };
    for (size_t nCut : { 0, 1, 7, 8, 9, 100, 275, 276, 277, 278, 400, 544, 545, 546 })
        files.emplace_back(full.begin(), full.begin() + nCut);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::vector<uint8_t>& bytes = files[i];
        const size_t nCut = bytes.size();
        SCOPED_TRACE("file " + std::to_string(i) + " of " + std::to_string(nCut) + " bytes");
        test::WriteFileBytes(path, bytes);
        std::mutex mutex;
        std::vector<std::string> ran;
        LProcessListThread queue;
        queue.SetJobRunner([&](LProcessListThread&, const SendJobItem& item) {
            std::lock_guard<std::mutex> lock(mutex);
            ran.emplace_back(item.DictationPath());
            return static_cast<int>(kJobDone);
        });
        const bool bUsable = nCut >= 8 + 269 && bytes[0] == 1 && bytes[4] == 13;
        EXPECT_EQ(queue.SetListFilePath(path), bUsable);
        ASSERT_TRUE(WaitIdle(queue));
        const size_t nWhole = bUsable ? (nCut - 8) / 269 : 0;
        ASSERT_EQ(ran.size(), nWhole);
        if (nWhole > 0) {
            EXPECT_EQ(ran[0], "/w/Send/a.ddf");
        }
        // Worked to the end, or deleted as unusable; a header alone is kept for the next Add.
        if (nCut == 8) {
            EXPECT_EQ(test::ReadFileBytes(path), HeaderBytes(1, 0));
        } else {
            EXPECT_EQ(FileExists(path), bUsable);
            EXPECT_TRUE(test::ReadFileBytes(path).empty());
        }
    }
}

TEST(SendQueueHostile, ADroppedJobNeverMovesAFileOutsideItsFolder)
{
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    ASSERT_TRUE(engine.IsUsable());
    const std::string send = engine.GetSentFolder();
    const std::string outside = FilePathCat(engine.GetWorkingFolder(), "Outside");
    ASSERT_TRUE(CreateFolder(outside));
    LDictation stranger(outside, "Stranger");
    ASSERT_TRUE(stranger.IsValid());
    ASSERT_TRUE(CreateFolder(FilePathCat(send, "sub")));
    LDictation deeper(FilePathCat(send, "sub"), "Deeper");
    ASSERT_TRUE(CreateFolder(FilePathCat(send, "folder.ddf")));
    test::WriteFileBytes(FilePathCat(send, "junk.ddf"), { 'n', 'o', 't' });
    const std::string name = _GetFileFromPath(stranger.GetPath());

    // Each of these heads is dropped in turn, after three unfinished starts.
    const std::vector<std::string> hostile = {
        stranger.GetPath(),
        send + "/../Outside/" + name,
        send + "/sub/" + _GetFileFromPath(deeper.GetPath()),
        send + "\\..\\Outside\\" + name,
        "../Outside/" + name,
        name,
        send + "/folder.ddf",
        send + "/junk.ddf",
        send + "/missing.ddf",
        std::string(259, '/'),
        send + "/\xFF\xFE.ddf",
        "",
    };
    const auto before = Tree(engine.GetWorkingFolder());
    const std::string path = FilePathCat(send, "sending.dat");
    size_t nReported = 0;
    for (const std::string& head : hostile) {
        std::vector<uint8_t> record = RecordBytes(head, 0xFF, 7, 8);
        test::WriteFileBytes(path, Cat({ HeaderBytes(1, LProcessListThread::kMaxUnfinishedStarts), record }));
        bool bRan = false;
        LProcessListThread queue;
        queue.SetJobRunner([&](LProcessListThread&, const SendJobItem&) {
            bRan = true;
            return static_cast<int>(kJobDone);
        });
        ASSERT_TRUE(queue.SetListFilePath(path)) << head;
        ASSERT_TRUE(WaitIdle(queue));
        EXPECT_FALSE(bRan) << head;
        LThreadStatus::Snapshot snapshot = queue.Status().TakeSnapshot();
        EXPECT_TRUE(snapshot.failed.empty()) << head;
        nReported += snapshot.error ? 1 : 0;
        EXPECT_TRUE(test::ReadFileBytes(path).empty()) << head;
    }
    EXPECT_EQ(nReported, hostile.size()) << "every dropped job is reported";
    auto after = Tree(engine.GetWorkingFolder());
    after.erase(path);
    after.erase(LProcessListFile::LockPathFor(path));
    after.erase(LProcessListThread::WorkerLockPathFor(path));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(LDictation(stranger.GetPath()).IsValid());
    EXPECT_EQ(LDictation(stranger.GetPath()).GetSendStatus(), "");
}

} // namespace
