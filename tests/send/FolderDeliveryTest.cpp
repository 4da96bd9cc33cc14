// Delivery into a typist's folder and the send job around it: the copy never
// replaces a file, never shows a partial file under a dictation's name and
// leaves nothing behind when stopped or failing; the dictation moves only
// once its job is stored; a second worker waits for the first.
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LDictationSend.h"
#include "send/LProcessCopyFile.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

using namespace transfertest;

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

// Looks into the folder at every block: only the old files may carry a visible name.
struct WatchingProgress : LTestProgress {
    bool Pump() override
    {
        for (const std::string& name : Names(folder))
            EXPECT_TRUE(old.count(name) || name[0] == '.') << name;
        return LTestProgress::Pump();
    }
    std::string folder;
    std::set<std::string> old;
};

TEST(FolderCopy, TakesTheNextFreeNameAndLeavesNothingWhenStoppedOrFailing)
{
    test::TempDir dir;
    const std::string folder = dir.File("typist");
    ASSERT_TRUE(CreateFolder(folder));
    std::vector<uint8_t> data(100000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("x.dct"), data));
    for (const char* name : { "x.dct", "x (2).dct" })
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(folder, name), { 'o', 'l', 'd' }));
    const std::set<std::string> old = Names(folder);

    WatchingProgress stopped;
    stopped.folder = folder, stopped.old = old, stopped.nStopAtPump = 2;
    EXPECT_EQ(LProcessCopyFile::Process(stopped, dir.File("x.dct"), FilePathCat(folder, "x.dct")), 1);
    EXPECT_EQ(Names(folder), old);

    // A file-size limit stands in for a full disk or a lost share.
    pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 50000, 50000 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LTestProgress progress;
        std::_Exit(LProcessCopyFile::Process(progress, dir.File("x.dct"), FilePathCat(folder, "x.dct")));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(Names(folder), old);

    WatchingProgress progress;
    progress.folder = folder, progress.old = old;
    std::string delivered;
    EXPECT_EQ(LProcessCopyFile::Process(progress, dir.File("x.dct"), FilePathCat(folder, "x.dct"), &delivered), 0);
    EXPECT_GE(progress.nPumps, 4);
    EXPECT_EQ(delivered, "x (3).dct");
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, delivered)), data);
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, "x.dct")), (std::vector<uint8_t> { 'o', 'l', 'd' }));
    EXPECT_EQ(Names(folder).size(), 3u);
}

// A crash at the moment the job is stored must not leave the dictation in
// Send without a job: a queue that cannot store it stands in for the crash.
TEST(SendJob, TheDictationMovesOnlyOnceItsJobIsStored)
{
    Workspace ws;
    const uint8_t n = ws.Recipient({ { "SendMethod", "2" } });
    auto d = ws.Dictation("Letter", test::TestSignal(2000, 1));
    LProcessListThread queue;
    queue.SetListFilePath(FilePathCat(ws.engine->GetSentFolder(), "sending.dat"));
    ASSERT_TRUE(CreateFolder(queue.GetListFilePath()));
    LTestProgress progress;
    EXPECT_EQ(LDictationSend::Process(progress, *d, n, queue, 0), 2);
    ASSERT_EQ(progress.errors.size(), 1u);
    EXPECT_NE(progress.errors[0].find("\"Letter\" was not sent"), std::string::npos) << progress.errors[0];
    EXPECT_EQ(_GetFolderFromPath(d->GetPath()), ws.engine->GetCurrentFolder());
    EXPECT_TRUE(LDictation(d->GetPath()).IsValid());
}

// Across processes the lock keeps tavrine-cli out (its test sees exit 3); the
// window's worker waits, saying so, and takes the queue over when it is free.
TEST(SendQueueWorker, TheWindowsWorkerWaitsForTheOtherAndThenWorksTheJobs)
{
    Workspace ws;
    const std::string path = FilePathCat(ws.engine->GetSentFolder(), "sending.dat");
    ASSERT_TRUE(LProcessListFile::Append(path, queuetest::Job(FilePathCat(ws.engine->GetSentFolder(), "1.ddf"))));
    LFile other; // an flock of another open file, as another process holds it
    ASSERT_TRUE(other.Open(
        LProcessListThread::WorkerLockPathFor(path), LFile::kReadWrite, LFile::kShareNone, LFile::kOpenAlways));
    std::atomic<int> nRuns { 0 };
    LProcessListThread waiting;
    waiting.SetJobRunner([&](LProcessListThread&, const SendJobItem&) { return ++nRuns, static_cast<int>(kJobDone); });
    waiting.SetListFilePath(path);
    EXPECT_TRUE(test::WaitUntil(
        [&] { return waiting.Status().TakeSnapshot().szText[0] == LProcessListThread::kWorkedElsewhereText; }));
    EXPECT_EQ(nRuns.load(), 0);
    other.Close();
    EXPECT_TRUE(queuetest::WaitIdle(waiting));
    EXPECT_EQ(nRuns.load(), 1);
}

} // namespace
