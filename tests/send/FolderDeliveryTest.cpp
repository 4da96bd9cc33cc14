// Delivery into a typist's folder and the send job around it: the copy never
// replaces a file, never shows a partial file under a dictation's name and
// leaves nothing behind when stopped or failing; a failed send says so once
// and hands the dictation back; one process at a time works the queue.
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LDictationSend.h"
#include "send/LProcessCopyFile.h"
#include "send/ProcessSendDictation.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"

#include <csignal>
#include <dirent.h>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace transfertest;

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (e->d_name[0] != '.' || e->d_name[1] > '.')
                names.insert(e->d_name);
        ::closedir(dir);
    }
    return names;
}

// Looks into the folder at every block: only the old files may carry a visible name.
class WatchingProgress : public LTestProgress {
public:
    WatchingProgress(std::string folder, std::set<std::string> old)
        : m_folder(std::move(folder))
        , m_old(std::move(old))
    {
    }
    bool Pump() override
    {
        for (const std::string& name : Names(m_folder))
            EXPECT_TRUE(m_old.count(name) || name[0] == '.') << name;
        return LTestProgress::Pump();
    }

private:
    std::string m_folder;
    std::set<std::string> m_old;
};

TEST(FolderCopy, TakesTheNextFreeNameAndLeavesNothingWhenStoppedOrFailing)
{
    test::TempDir dir;
    const std::string folder = dir.File("typist");
    ASSERT_TRUE(CreateFolder(folder));
    const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(100000);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<uint8_t>(i * 7 + i / 251);
        return v;
    }();
    ASSERT_TRUE(test::WriteFileBytes(dir.File("x.dct"), data));
    for (const char* name : { "x.dct", "x (2).dct" })
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(folder, name), { 'o', 'l', 'd' }));
    const std::set<std::string> old = Names(folder);

    WatchingProgress stopped(folder, old);
    stopped.nStopAtPump = 2;
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

    WatchingProgress progress(folder, old);
    std::string delivered;
    EXPECT_EQ(LProcessCopyFile::Process(progress, dir.File("x.dct"), FilePathCat(folder, "x.dct"), &delivered), 0);
    EXPECT_GE(progress.nPumps, 4);
    EXPECT_EQ(delivered, "x (3).dct");
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, delivered)), data);
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, "x.dct")), (std::vector<uint8_t> { 'o', 'l', 'd' }));
    EXPECT_EQ(Names(folder).size(), 3u);
}

struct JobCase {
    const char* szMethod;
    const char* szFolder; // empty: the test's typist folder
    const char* szMessage; // the one message expected; empty: none
};

TEST(SendJob, DeliversOrSaysWhyOnceAndHandsTheDictationBack)
{
    TEST_REQUIRE_TOOL("soxi");
    const JobCase cases[] = {
        { "2", "", "" },
        { "2", "/nonexistent/typist",
            "Unable to copy the file \"12-%d Letter by Ann Lee.wav\" into the send folder "
            "\"/nonexistent/typist\"." },
        { "0", "", "The dictation \"Letter\" was not sent: recipient %d \"Typist\" has no send method." },
        { "4", "", "*" }, // a method not yet built, or without a command: a failure with its message
    };
    Workspace ws;
    LDictationEngineSettings::SetUserName("Ann Lee");
    LDictationEngineSettings::SetUserID(12);
    const std::string typist = ws.env.Dir().File("typist"), sent = ws.engine->GetSentFolder();
    ASSERT_TRUE(CreateFolder(typist));
    LProcessListThread queue;
    queue.SetListFilePath(FilePathCat(sent, "sending.dat"));
    for (const JobCase& c : cases) {
        const uint8_t n = ws.Recipient({ { "SendMethod", c.szMethod }, { "SendFileFormat", "1" },
            { "Folder", *c.szFolder ? c.szFolder : typist } });
        auto d = ws.Dictation("Letter", soundtest::TestSignal(20000, 1));
        d->MutableHeader().uUserID = 12;
        LTestProgress progress;
        ASSERT_EQ(LDictationSend::Process(progress, *d, n, queue, 0), 0);
        SendJobItem job;
        uint64_t nJobs = 0;
        LProcessListHeader header;
        ASSERT_EQ(
            LProcessListFile::ReadHead(queue.GetListFilePath(), &header, &job, &nJobs), LProcessListFile::Status::Ok);
        ASSERT_EQ(job.DictationPath(), d->GetPath());
        std::unique_ptr<LDictation> pBack;
        const int nResult = ProcessSendDictation(progress, job, sent, &pBack);
        LProcessListFile::Rewrite(
            queue.GetListFilePath(), header, [](uint64_t, const SendJobItem&) { return false; },
            LProcessListFile::WhenEmpty::ZeroBytes, &nJobs);
        const uint32_t uArg = std::string(c.szMessage).find("recipient") != std::string::npos ? n : d->GetFileNumber();
        const std::string message = tplprintf(c.szMessage, uArg);
        if (message.empty()) {
            EXPECT_EQ(nResult, 0);
            EXPECT_TRUE(progress.errors.empty()) << progress.errors[0];
            EXPECT_EQ(LDictation(d->GetPath()).GetSendStatus(), "Copied into Folder");
            EXPECT_EQ(soundtest::Soxi("-e",
                          FilePathCat(typist, "12-" + std::to_string(d->GetFileNumber()) + " Letter by Ann Lee.wav")),
                "GSM");
            continue;
        }
        EXPECT_EQ(nResult, 2) << c.szMethod;
        ASSERT_EQ(progress.errors.size(), 1u) << c.szMethod;
        if (message != "*") {
            EXPECT_EQ(progress.errors[0], message);
        }
        ASSERT_TRUE(pBack);
        EXPECT_EQ(pBack->GetPath(), FilePathCat(ws.engine->GetCurrentFolder(), _GetFileFromPath(d->GetPath())));
        EXPECT_FALSE(FileExists(d->GetPath()));
    }
}

TEST(SendQueueWorker, OneProcessWorksTheQueueTheOtherLeavesOrWaits)
{
    Workspace ws;
    const std::string path = FilePathCat(ws.engine->GetSentFolder(), "sending.dat");
    ASSERT_TRUE(LProcessListFile::Append(path, queuetest::Job(FilePathCat(ws.engine->GetSentFolder(), "1.ddf"))));
    int up[2], down[2];
    ASSERT_TRUE(::pipe(up) == 0 && ::pipe(down) == 0);
    pid_t child = ::fork();
    if (child == 0) {
        LFile worker;
        char c = worker.Open(LProcessListThread::WorkerLockPathFor(path), LFile::kReadWrite, LFile::kShareNone,
                     LFile::kOpenAlways)
            ? 'y'
            : 'n';
        (void)!::write(up[1], &c, 1);
        (void)!::read(down[0], &c, 1);
        std::_Exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(up[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    std::atomic<int> nRuns { 0 };
    auto runner = [&](LProcessListThread&, const SendJobItem&) { return ++nRuns, static_cast<int>(kJobDone); };
    {
        LProcessListThread leaving;
        leaving.SetWhenWorkedElsewhere(LProcessListThread::WhenWorkedElsewhere::Leave);
        leaving.SetJobRunner(runner);
        leaving.SetListFilePath(path);
        ASSERT_TRUE(queuetest::WaitIdle(leaving));
        EXPECT_TRUE(leaving.WasLeftToAnotherProcess());
    }
    LProcessListThread waiting;
    waiting.SetJobRunner(runner);
    waiting.SetListFilePath(path);
    EXPECT_TRUE(queuetest::WaitFor(
        [&] { return waiting.Status().TakeSnapshot().szText[0] == LProcessListThread::kWorkedElsewhereText; }));
    EXPECT_EQ(nRuns.load(), 0);
    (void)!::write(down[1], &c, 1);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(queuetest::WaitIdle(waiting));
    EXPECT_EQ(nRuns.load(), 1);
    EXPECT_FALSE(waiting.WasLeftToAnotherProcess());
}

} // namespace
