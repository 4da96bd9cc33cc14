// The send queue against the bytes of its file: Add, the thread's work, Remove, InList, Clear; files cut
// short or written by someone else give a clear outcome, never a crash, and nothing is touched outside the
// queue's own folder; the first error of the status block wins.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "send/LThreadStatus.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

using namespace queuetest;

// A job runner that records what it ran; a job can be made to hold until
// the thread is asked to stop.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> ran;
    std::string holdPath;
    std::atomic<bool> bHolding { false };
    std::atomic<bool> bSawStop { false };
    std::function<void(LProcessListThread&, const SendJobItem&)> during;

    LProcessListThread::JobRunner Runner()
    {
        return [this](LProcessListThread& queue, const SendJobItem& item) {
            if (during)
                during(queue, item);
            const std::string path(item.IsNotice() ? "notice" : item.DictationPath());
            if (path == holdPath) {
                bHolding = true;
                if (queue.Status().WaitTimed(20000)) {
                    bSawStop = true;
                    return JobResult::kStopped;
                }
            }
            std::lock_guard<std::mutex> lock(mutex);
            ran.push_back(path);
            return JobResult::kDone;
        };
    }
    // Sets the runner, then takes the file: whether a run started.
    bool Start(LProcessListThread& queue, const std::string& path)
    {
        queue.SetJobRunner(Runner());
        return queue.SetListFilePath(path);
    }
    std::vector<std::string> Ran()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return ran;
    }
};

TEST(SendQueue, AddWritesTheHeaderOnceThenWholeRecords)
{
    test::TempDir dir;
    const std::string path = dir.File("sending.dat");
    LProcessListThread queue; // no runner: the file is kept, not worked
    EXPECT_FALSE(queue.Add(Job("/w/Send/1.ddf"))) << "no file taken yet";
    LProcessListThread missing;
    missing.SetListFilePath(dir.File("no/such/folder/sending.dat"));
    EXPECT_FALSE(missing.Add(Job("/w/Send/1.ddf"))) << "no lock file can be made";
    EXPECT_FALSE(queue.SetListFilePath(path));
    EXPECT_FALSE(FileExists(path));

    ASSERT_TRUE(queue.Add(Job("/w/Send/1.ddf")));
    EXPECT_EQ(test::ReadFileBytes(path), Cat({ HeaderBytes(1, 0), RecordBytes("/w/Send/1.ddf") }));
    ASSERT_TRUE(queue.Add(SendJobItem::MakeNotice(4, 0x01020304, 0xA0B0C0D0)));
    const auto two
        = Cat({ HeaderBytes(1, 0), RecordBytes("/w/Send/1.ddf"), RecordBytes("", 4, 0x01020304, 0xA0B0C0D0) });
    EXPECT_EQ(test::ReadFileBytes(path), two);

    // A torn append at the end is written over, so records stay on their boundaries.
    auto torn = two;
    torn.insert(torn.end(), 100, 0x55);
    test::WriteFileBytes(path, torn);
    ASSERT_TRUE(queue.Add(Job("/w/Send/3.ddf")));
    EXPECT_EQ(test::ReadFileBytes(path), Cat({ two, RecordBytes("/w/Send/3.ddf") }));

    // A file of another version, or cut inside its header, is started afresh.
    for (auto bad : { HeaderBytes(2, 0), HeaderBytes(1, 0, 268), std::vector<uint8_t> { 1, 0, 0 } }) {
        test::WriteFileBytes(path, Cat({ bad, RecordBytes("/old") }));
        ASSERT_TRUE(queue.Add(Job("/w/Send/4.ddf")));
        EXPECT_EQ(test::ReadFileBytes(path), Cat({ HeaderBytes(1, 0), RecordBytes("/w/Send/4.ddf") }));
    }
    // Paths that do not fit a record are refused rather than cut.
    SendJobItem item;
    EXPECT_FALSE(SendJobItem::MakeSendJob(std::string(260, 'a'), &item));
    EXPECT_TRUE(SendJobItem::MakeSendJob(std::string(259, 'a'), &item));
}

TEST(SendQueue, TheThreadWorksFromTheHeadAndRewritesWhatIsLeft)
{
    test::TempDir dir;
    const std::string path = dir.File("sending.dat");
    // Bytes after a path's terminator are carried over unchanged.
    auto b = RecordBytes("/w/Send/b.ddf", 0xFF, 0, 0);
    b[200] = 0x7E;
    const auto c = RecordBytes("/w/Send/c.ddf", 2, 0, 0);
    test::WriteFileBytes(path, Cat({ HeaderBytes(1, 0), RecordBytes("/w/Send/a.ddf"), b, c }));

    Recorder recorder;
    std::vector<uint8_t> duringA;
    recorder.during = [&](LProcessListThread&, const SendJobItem& item) {
        if (item.DictationPath() == "/w/Send/a.ddf")
            duringA = test::ReadFileBytes(path);
    };
    recorder.holdPath = "/w/Send/b.ddf"; // the program quits while b is sent
    {
        LProcessListThread queue;
        ASSERT_TRUE(recorder.Start(queue, path));
        ASSERT_TRUE(test::WaitUntil([&] { return recorder.bHolding.load(); }));
    }
    EXPECT_TRUE(recorder.bSawStop);
    EXPECT_EQ(recorder.Ran(), std::vector<std::string> { "/w/Send/a.ddf" });
    // While a job runs its start is counted on the disk, so a crash leaves it counted.
    ASSERT_GE(duringA.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(duringA.begin(), duringA.begin() + 8), HeaderBytes(1, 1));
    // The finished head is gone; the stopped one stays at the head, uncounted.
    EXPECT_EQ(test::ReadFileBytes(path), Cat({ HeaderBytes(1, 0), b, c }));

    // The next start works the rest; the last job leaves an empty file.
    recorder.holdPath.clear();
    {
        LProcessListThread queue;
        ASSERT_TRUE(recorder.Start(queue, path));
        ASSERT_TRUE(WaitIdle(queue));
        EXPECT_EQ(queue.GetJobCount(), 0);
        EXPECT_EQ(queue.GetJobsDone(), 0);
    }
    EXPECT_EQ(recorder.Ran(), (std::vector<std::string> { "/w/Send/a.ddf", "/w/Send/b.ddf", "/w/Send/c.ddf" }));
    ASSERT_TRUE(FileExists(path));
    EXPECT_TRUE(test::ReadFileBytes(path).empty());

    // Jobs kept while no runner was set are worked once one is.
    ASSERT_TRUE(LProcessListFile::Append(path, Job("/w/Send/d.ddf")));
    {
        LProcessListThread queue;
        EXPECT_FALSE(queue.SetListFilePath(path));
        queue.SetJobRunner(recorder.Runner());
        ASSERT_TRUE(test::WaitUntil([&] { return recorder.Ran().size() == 4; }));
    }
    EXPECT_TRUE(test::ReadFileBytes(path).empty());

    // The start after that deletes the empty file and starts nothing.
    LProcessListThread queue;
    EXPECT_FALSE(recorder.Start(queue, path));
    EXPECT_FALSE(queue.IsRunning());
    EXPECT_FALSE(FileExists(path));
}

TEST(SendQueue, AHeadJobThatKeptEndingTheProgramIsDroppedAloneAndItsDictationReturned)
{
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    ASSERT_TRUE(engine.IsUsable());
    LDictation letter(engine.GetSentFolder(), "Letter to Ann");
    ASSERT_TRUE(letter.IsValid());
    const std::string path = FilePathCat(engine.GetSentFolder(), "sending.dat");
    const std::string name = _GetFileFromPath(letter.GetPath());

    // Below the limit the head job is worked once more, not dropped.
    Recorder recorder;
    test::WriteFileBytes(
        path, Cat({ HeaderBytes(1, LProcessListThread::kMaxUnfinishedStarts - 1), RecordBytes("/w/Send/again.ddf") }));
    {
        LProcessListThread queue;
        ASSERT_TRUE(recorder.Start(queue, path));
        ASSERT_TRUE(WaitIdle(queue));
    }
    EXPECT_EQ(recorder.Ran(), std::vector<std::string> { "/w/Send/again.ddf" });

    test::WriteFileBytes(path,
        Cat({ HeaderBytes(1, LProcessListThread::kMaxUnfinishedStarts), RecordBytes(letter.GetPath()),
            RecordBytes("/w/Send/second.ddf"), RecordBytes("/w/Send/third.ddf") }));
    LProcessListThread queue;
    ASSERT_TRUE(recorder.Start(queue, path));
    ASSERT_TRUE(WaitIdle(queue));
    EXPECT_EQ(
        recorder.Ran(), (std::vector<std::string> { "/w/Send/again.ddf", "/w/Send/second.ddf", "/w/Send/third.ddf" }));
    EXPECT_FALSE(FileExists(letter.GetPath()));
    LDictation back(FilePathCat(engine.GetCurrentFolder(), name));
    ASSERT_TRUE(back.IsValid());
    EXPECT_EQ(back.GetSendStatus(), LProcessListThread::kAbandonedStatus);

    LThreadStatus::Snapshot snapshot = queue.Status().TakeSnapshot();
    ASSERT_TRUE(snapshot.error);
    EXPECT_NE(snapshot.error->find("Letter to Ann"), std::string::npos) << *snapshot.error;
    ASSERT_EQ(snapshot.failed.size(), 1u);
    EXPECT_EQ(snapshot.failed[0]->GetPath(), back.GetPath());
    EXPECT_TRUE(test::ReadFileBytes(path).empty());
}

TEST(SendQueue, RemoveTakesJobsOutAndStopsTheHeadJobCooperatively)
{
    test::TempDir dir;
    const std::string path = dir.File("sending.dat");
    Recorder recorder;
    recorder.holdPath = "/w/Send/a.ddf";
    LProcessListThread queue;
    recorder.Start(queue, path);
    for (const char* name : { "a", "b", "c", "d" })
        ASSERT_TRUE(queue.Add(Job(std::string("/w/Send/") + name + ".ddf")));
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.bHolding.load(); }));
    EXPECT_TRUE(queue.InList(Job("/w/Send/c.ddf")));
    EXPECT_FALSE(queue.InList(Job("/w/Send/C.ddf"))) << "paths match exactly";

    // Not the head: the thread keeps working, the header stays as it is.
    const auto before = test::ReadFileBytes(path);
    EXPECT_TRUE(queue.Remove(Job("/w/Send/c.ddf")));
    EXPECT_TRUE(queue.IsRunning());
    EXPECT_FALSE(recorder.bSawStop);
    EXPECT_EQ(test::ReadFileBytes(path),
        Cat({ std::vector<uint8_t>(before.begin(), before.begin() + 8), RecordBytes("/w/Send/a.ddf"),
            RecordBytes("/w/Send/b.ddf"), RecordBytes("/w/Send/d.ddf") }));
    EXPECT_FALSE(queue.InList(Job("/w/Send/c.ddf")));
    EXPECT_FALSE(queue.Remove(Job("/w/Send/c.ddf")));

    // The head: its job is asked to stop, not killed, and the rest goes on.
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(queue.Remove(Job("/w/Send/a.ddf")));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_TRUE(recorder.bSawStop);
    ASSERT_TRUE(WaitIdle(queue));
    EXPECT_EQ(recorder.Ran(), (std::vector<std::string> { "/w/Send/b.ddf", "/w/Send/d.ddf" }));
    EXPECT_TRUE(test::ReadFileBytes(path).empty());
}

TEST(SendQueue, NoticesMatchByTheirNumbersAndSendJobsByPath)
{
    test::TempDir dir;
    const std::string path = dir.File("sending.dat");
    LProcessListThread queue;
    queue.SetListFilePath(path);
    ASSERT_TRUE(queue.Add(SendJobItem::MakeNotice(5, 12, 345)));
    ASSERT_TRUE(queue.Add(Job("/w/Send/A.ddf")));
    ASSERT_TRUE(queue.Add(SendJobItem::MakeNotice(5, 12, 346)));
    EXPECT_TRUE(queue.InList(SendJobItem::MakeNotice(0, 12, 345))) << "the recipient plays no part";
    EXPECT_FALSE(queue.InList(SendJobItem::MakeNotice(5, 13, 345)));
    EXPECT_FALSE(queue.InList(Job("/w/Send/a.ddf")));
    EXPECT_TRUE(queue.InList(Job("/w/Send/A.ddf")));

    EXPECT_TRUE(queue.Remove(SendJobItem::MakeNotice(9, 12, 345)));
    EXPECT_EQ(test::ReadFileBytes(path),
        Cat({ HeaderBytes(1, 0), RecordBytes("/w/Send/A.ddf"), RecordBytes("", 5, 12, 346) }));
    // Removing the last ones leaves the header, as a queue nothing was added to.
    EXPECT_TRUE(queue.Remove(Job("/w/Send/A.ddf")));
    EXPECT_TRUE(queue.Remove(SendJobItem::MakeNotice(5, 12, 346)));
    EXPECT_EQ(test::ReadFileBytes(path), HeaderBytes(1, 0));
    EXPECT_TRUE(queue.Clear());
    EXPECT_FALSE(FileExists(path));
}

TEST(SendQueue, AnAddRacingTheThreadsEndIsNeverLeftUnworked)
{
    // Many runs are needed to meet the race; memory-backed files keep the
    // syncs from making them slow.
    std::string folder = "/dev/shm/tavrine-queue.XXXXXX";
    if (!::mkdtemp(folder.data()))
        GTEST_SKIP() << "no /dev/shm";
    const std::string path = folder + "/sending.dat";
    {
        LProcessListThread queue;
        std::atomic<int> nRan { 0 };
        queue.SetJobRunner([&](LProcessListThread&, const SendJobItem&) {
            ++nRan;
            return JobResult::kDone;
        });
        queue.SetListFilePath(path);
        const int nJobs = 300;
        for (int i = 0; i < nJobs; ++i) {
            ASSERT_TRUE(queue.Add(Job("/w/Send/" + std::to_string(i) + ".ddf")));
            // Every few jobs, let the thread run dry so the next Add meets it leaving.
            if (i % 3 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(50 * (i % 7)));
        }
        EXPECT_TRUE(test::WaitUntil([&] { return nRan.load() == nJobs; }, 20000)) << nRan.load();
        EXPECT_TRUE(WaitIdle(queue));
        EXPECT_TRUE(test::ReadFileBytes(path).empty());
    }
    std::filesystem::remove_all(folder);
}

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
            return JobResult::kDone;
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

// A job's phases (encode, then deliver) each count from 0; what the run shows
// never goes back and reaches 100 % when every job is done.
TEST(ThreadStatus, ProgressNeverGoesBackOverPhasesAndJobs)
{
    using Job = std::vector<double>;
    struct Row {
        const char* szName;
        std::vector<Job> jobs;
    };
    const Job encodeThenSmtp = { 0, 0.5, 1, 0, 0.1, 0.2, 0.3, 0.9, 0.95, 0.2 };
    const Row rows[] = {
        { "encode, then FTP", { { 0, 0.4, 1, 0.05, 0.1, 0.6, 1 } } },
        { "fifth of five goes back to its start", { { 0, 1 }, { 0, 1 }, { 0, 1 }, { 0, 1 }, { 0, 0.5, 0, 0.5, 1 } } },
        { "SMTP ends below one", { encodeThenSmtp, encodeThenSmtp } },
        { "jobs that report nothing", { {}, {}, {} } },
        { "odd fractions", { { 2, -1, std::nan(""), 0.5 }, { 0.3 } } },
    };
    for (const Row& row : rows) {
        test::TempDir dir;
        const std::string path = dir.File("sending.dat");
        std::vector<uint8_t> bytes = HeaderBytes(1, 0);
        for (size_t i = 0; i < row.jobs.size(); ++i)
            bytes = Cat({ bytes, RecordBytes("/w/Send/" + std::to_string(i) + ".ddf") });
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
        std::vector<double> shown;
        size_t nJob = 0;
        LProcessListThread queue;
        queue.SetJobRunner([&](LProcessListThread& q, const SendJobItem&) {
            for (double f : row.jobs[nJob]) {
                q.Status().SetProgress(f);
                shown.push_back(q.Status().GetProgress());
            }
            ++nJob;
            return JobResult::kDone;
        });
        ASSERT_TRUE(queue.SetListFilePath(path)) << row.szName;
        ASSERT_TRUE(WaitIdle(queue)) << row.szName;
        shown.push_back(queue.Status().GetProgress());
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()))
            << row.szName << ": " << ::testing::PrintToString(shown);
        EXPECT_EQ(shown.back(), 1.0) << row.szName;
    }
}

TEST(ThreadStatus, TheFirstErrorWinsAndEachReportIsTakenOnce)
{
    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    LSignalObject stop;
    LThreadStatus status(stop);
    status.SetText("Connecting to", 0);
    status.SetText("ftp.example.org", 1);
    status.SetText("ignored", 2);
    status.SetJobCounts(1, 4);
    status.SetProgress(0.5);
    status.SetError("first");
    status.ErrorBox("second");
    LDictation letter(engine.GetCurrentFolder(), "Letter");
    status.AddFailedDictation(std::make_unique<LDictation>(letter.GetPath()));

    LThreadStatus::Snapshot snapshot = status.TakeSnapshot();
    EXPECT_EQ(snapshot.StatusText(), "Connecting to ftp.example.org 37%");
    ASSERT_TRUE(snapshot.error);
    EXPECT_EQ(*snapshot.error, "first");
    ASSERT_EQ(snapshot.failed.size(), 1u);
    EXPECT_EQ(snapshot.failed[0]->GetName(), "Letter");

    // Taken: the next read sees the texts but no error and no dictation.
    snapshot = status.TakeSnapshot();
    EXPECT_FALSE(snapshot.error);
    EXPECT_TRUE(snapshot.failed.empty());
    EXPECT_EQ(snapshot.szText[1], "ftp.example.org");
    // After it was taken, a new error waits again.
    status.SetError("third");
    EXPECT_EQ(*status.TakeSnapshot().error, "third");

    // Long lines are cut whole.
    std::string longText(LThreadStatus::kMaxLine - 1, 'a');
    longText += "\xC3\xA9\xC3\xA9";
    status.SetText(longText, 0);
    EXPECT_EQ(status.TakeSnapshot().szText[0], std::string(LThreadStatus::kMaxLine - 1, 'a'));
}

} // namespace
