// Delivery by command line (the template's words; real programs run on a transfer file whose path holds
// spaces; no shell given the name as code) and into a typist's folder: never a replaced or partly visible
// file, nothing left when stopped, failing (saying why) or killed; a second worker waits for the first.
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LDelivery.h"
#include "send/LDictationSend.h"
#include "send/LDictationStatusUpdate.h"
#include "send/LProcessCopyFile.h"
#include "send/LRunCommand.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using Args = std::vector<std::string>;
const std::string kPath = "/data/Send/12-345 Letter by Ann Lee.dct";

TEST(CommandTemplate, SplitsLikeShellWordsWithThePathAsOneArgument)
{
    std::pair<const char*, Args> cases[] = {
        { "  cp\t%filepath% '/mnt/typist in/'  ", { "cp", kPath, "/mnt/typist in/" } },
        { "tool --file=%filepath%.done", { "tool", "--file=" + kPath + ".done" } },
        { "a \"b \\\"c\\\" \\x $HOME\" 'd \\e' f\\ g \"\" ''", { "a", "b \"c\" \\x $HOME", "d \\e", "f g", "", "" } },
        { "say 100%% %unknown% done%filepath", { "say", "100%", "done" + kPath } },
        { "'%filepath%' \"%filepath%\" ~ *.dct", { kPath, kPath, "~", "*.dct" } },
        { "one\\\ntwo %none%", { "onetwo" } },
        { "bash -c 'cp \"$1\" c' bash %filepath%", { "bash", "-c", "cp \"$1\" c", "bash", kPath } },
    };
    Args args;
    std::string problem;
    for (const auto& [szTemplate, expected] : cases) {
        EXPECT_TRUE(SplitCommandTemplate(szTemplate, kPath, &args, &problem)) << szTemplate;
        EXPECT_TRUE(CheckCommandTemplate(szTemplate, &problem)) << szTemplate;
        EXPECT_EQ(args, expected) << szTemplate;
    }
    for (const char* szBad : { "cmd 'open", "cmd \"open", "cmd %filepath% | mail", "a;b", "x > log", "$(rm)" })
        EXPECT_FALSE(SplitCommandTemplate(szBad, kPath, &args, &problem)) << szBad;
    // A shell with the path inside its command string (or an option before it).
    for (const char* szShell : { "env LC_ALL=C busybox ash -o errexit -lc 'lp %filepath%'",
             "fish --command='lp %filepath%'", "/bin/bash -ec -- \"lp '%filepath%'\"" })
        EXPECT_FALSE(CheckCommandTemplate(szShell, &problem)) << szShell;
    EXPECT_EQ(CommandLineText({ "cp", kPath, "it's" }), "cp '" + kPath + "' 'it'\\''s'");
}

TEST(CommandDelivery, RunsTheProgramAndFailsWithHowItEnded)
{
    test::TempDir dir;
    std::string transfer = dir.File("12-345 Letter by Ann Lee.dct");
    std::ofstream(transfer) << "dct";
    std::string tool = dir.File("deliver tool.sh");
    auto quoted = test::ShellQuote;
    struct Case {
        std::string body;
        uint32_t timeoutMs;
        int nStopAtPump, nResult;
        std::string why;
    } cases[] = {
        { "printf '%s\\n' $# \"$@\" > args; cat \"$3\" >> args", 10000, 0, 0, "" },
        { "echo 'no space left' >&2; exit 3", 10000, 0, 2, "The command exited with status 3.\nno space left" },
        { "kill -SEGV $$", 10000, 0, 2, "The command was killed by signal 11 (Segmentation fault)." },
        // That the whole group ends is the process runner's own test.
        { "sleep 60", 600, 0, 2, "The command did not end in time and was ended." },
        { "sleep 60", 60000, 4, 1, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        std::ofstream(tool) << "#!/bin/sh\ncd " << quoted(dir.Path()) << "\n" << c.body << "\n";
        ::chmod(tool.c_str(), 0700);
        LTestProgress progress;
        progress.nStopAtPump = c.nStopAtPump;
        EXPECT_EQ(
            JobResultCode(ProcessRunCommand(progress, quoted(tool) + " --to typist %filepath%", transfer, c.timeoutMs)),
            c.nResult);
        if (c.nResult == 2) {
            EXPECT_EQ(progress.errors,
                Args { "Unable to run the command \"'" + tool + "' --to typist '" + transfer + "'\". " + c.why });
        }
        std::vector<uint8_t> args = test::ReadFileBytes(dir.File("args"));
        if (c.nResult == 0) { // the path with its spaces is one argument
            EXPECT_EQ(std::string(args.begin(), args.end()), "3\n--to\ntypist\n" + transfer + "\ndct");
        }
    }
}

TEST(CommandTemplate, AShellNeverGetsTheFileInsideItsCommandString)
{
    test::TempDir dir;
    const std::string transfer = dir.File("x$(touch pwned);y.dct"), cd = "sh -c 'cd " + dir.Path() + "; ";
    std::ofstream(transfer) << "dct";
    // /bin/sh judges: the name must reach it as data, never as code.
    for (const auto& [text, bRefused] :
        { std::pair { cd + "cp %filepath% copy'", true }, std::pair { cd + "cp \"$0\" copy' %filepath%", false } }) {
        LTestProgress progress;
        EXPECT_EQ(ProcessRunCommand(progress, text, transfer, 10000), bRefused ? JobResult::kFailed : JobResult::kDone)
            << text;
        EXPECT_EQ(
            !progress.errors.empty() && progress.errors[0].find("its own argument") != std::string::npos, bRefused);
        EXPECT_EQ(test::ReadFileText(dir.File("copy")), bRefused ? "" : "dct") << text;
        EXPECT_FALSE(FileExists(dir.File("pwned"))) << text;
    }
}

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
    // A sealed name keeps its inner extension, so a typist still sees a DCT job.
    EXPECT_EQ(LProcessCopyFile::NumberedName("x.dct.age", 3), "x (3).dct.age");

    WatchingProgress stopped;
    stopped.folder = folder, stopped.old = old, stopped.nStopAtPump = 2;
    EXPECT_EQ(LProcessCopyFile::Process(stopped, dir.File("x.dct"), FilePathCat(folder, "x.dct")), JobResult::kStopped);
    EXPECT_EQ(Names(folder), old);

    // A file-size limit stands in for a full disk or a lost share.
    pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 50000, 50000 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LTestProgress progress;
        std::_Exit(JobResultCode(LProcessCopyFile::Process(progress, dir.File("x.dct"), FilePathCat(folder, "x.dct"))));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(Names(folder), old);

    WatchingProgress progress;
    progress.folder = folder, progress.old = old;
    std::string delivered;
    EXPECT_EQ(LProcessCopyFile::Process(progress, dir.File("x.dct"), FilePathCat(folder, "x.dct"), &delivered),
        JobResult::kDone);
    EXPECT_GE(progress.nPumps, 4);
    EXPECT_EQ(delivered, "x (3).dct");
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, delivered)), data);
    EXPECT_EQ(test::ReadFileBytes(FilePathCat(folder, "x.dct")), (std::vector<uint8_t> { 'o', 'l', 'd' }));
    EXPECT_EQ(Names(folder).size(), 3u);
}

TEST(FolderDelivery, AFailureSaysWhyAndLeavesNothingInTheFolder)
{
    Workspace ws;
    test::TempDir dir;
    const std::string transfer = dir.File("12-345 Letter.dct");
    ASSERT_TRUE(test::WriteFileBytes(transfer, std::vector<uint8_t>(200000, 7)) && CreateFolder(dir.File("typist")));
    struct Case {
        const char* szFolder;
        uint64_t uFileSizeLimit;
        const char* szWhy;
    } cases[] = {
        // a read-only and a full folder are rows of the CLI's delivery table
        { "gone", 0, "The folder does not exist, or the share holding it is not connected." },
        { "typist", 50000, "The file is larger than the folder's file system or a file-size limit allows." },
    };
    for (const Case& c : cases) {
        const std::string folder = dir.File(c.szFolder);
        LDeliveryRequest request;
        request.transferPath = transfer;
        request.baseName = "12-345 Letter";
        request.uSendTo = ws.Recipient({ { "SendMethod", "2" }, { "Folder", folder } });
        request.uUserID = 12;
        request.sentFolder = ws.engine->GetSentFolder();
        const pid_t child = test::Fork(
            [&] {
                LTestProgress progress;
                return DeliverToFolder(request, progress, nullptr) == JobResult::kFailed && progress.errors.size() == 1
                    && test::WriteFileText(dir.File("why"), progress.errors[0])
                    && (c.szFolder[0] == 'g' || test::FileNames(folder).empty());
            },
            c.uFileSizeLimit);
        EXPECT_EQ(test::Reap(child), 0) << c.szWhy;
        EXPECT_EQ(test::ReadFileText(dir.File("why")),
            "Unable to copy the file \"12-345 Letter.dct\" into the send folder \"" + folder + "\". " + c.szWhy);
    }
}

// Dies at the third block as a crash would, leaving its partial copy.
struct DyingProgress : LTestProgress {
    bool Pump() override { return ++nPumps == 3 ? (::_exit(9), true) : false; }
};

TEST(FolderDelivery, ACopyCutOffByACrashGoesAtTheNextDeliveryOrStatusUpdate)
{
    Workspace ws;
    test::TempDir dir;
    const std::string folder = dir.File("typist"), transfer = dir.File("x.dct");
    ASSERT_TRUE(CreateFolder(folder) && test::WriteFileBytes(transfer, std::vector<uint8_t>(200000, 7)));
    DyingProgress dying;
    const pid_t child
        = test::Fork([&] { return LProcessCopyFile::Process(dying, transfer, folder + "/x.dct") == JobResult::kDone; });
    EXPECT_EQ(test::Reap(child), 9);
    const std::string tag = LProcessCopyFile::HostTag(), dead = std::to_string(child);
    ASSERT_EQ(test::FileNames(folder).size(), 1u);
    const std::string left = *test::FileNames(folder).begin();
    EXPECT_TRUE(left.starts_with(".tavrine-" + tag + "-" + dead + "-")) << left;
    const struct {
        std::string name;
        int nHours;
        bool bKept;
    } parts[] = {
        { left, 0, false },
        { ".tavrine-" + tag + "-" + std::to_string(::getpid()) + "-1.part", 0, true }, // still copying
        { ".tavrine-other-host-" + dead + "-2.part", 0, true }, // its process is not ours to ask
        { ".tavrine-other-host-" + dead + "-3.part", 25, false },
        { ".tavrine-" + dead + "-4.part", 0, true }, // earlier versions named no host
        { ".tavrine-" + dead + "-5.part", 25, false },
        { ".tavrine-notes.part", 25, true },
        { "x (2).dct", 25, true },
    };
    const uint8_t n = ws.Recipient({ { "SendMethod", "2" }, { "Folder", folder } });
    LTestProgress progress;
    LDeliveryRequest request;
    request.transferPath = transfer;
    request.baseName = "x";
    request.uSendTo = n;
    request.uUserID = 12;
    request.sentFolder = ws.engine->GetSentFolder();
    const std::function<int()> visits[] = {
        [&] {
            return JobResultCode(DeliverToFolder(request, progress, nullptr))
                + !DeleteFileAt(FilePathCat(folder, "x.dct"));
        },
        [&] { return JobResultCode(LDictationStatusUpdate::Process(progress, ws.engine->GetSentFolder())); },
    };
    for (const auto& visit : visits) {
        std::set<std::string> kept;
        for (const auto& part : parts) {
            const std::string path = FilePathCat(folder, part.name);
            const timespec times[2] = { { 0, UTIME_OMIT }, { ::time(nullptr) - part.nHours * 3600, 0 } };
            ASSERT_TRUE(test::WriteFileText(path, "audio") && ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0);
            if (part.bKept)
                kept.insert(part.name);
        }
        EXPECT_EQ(visit(), 0);
        EXPECT_EQ(test::FileNames(folder), kept);
    }
}

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
    waiting.SetJobRunner([&](LProcessListThread&, const SendJobItem&) { return ++nRuns, JobResult::kDone; });
    waiting.SetListFilePath(path);
    EXPECT_TRUE(test::WaitUntil(
        [&] { return waiting.Status().TakeSnapshot().szText[0] == LProcessListThread::kWorkedElsewhereText; }));
    EXPECT_EQ(nRuns.load(), 0);
    other.Close();
    EXPECT_TRUE(queuetest::WaitIdle(waiting));
    EXPECT_EQ(nRuns.load(), 1);
}

} // namespace
