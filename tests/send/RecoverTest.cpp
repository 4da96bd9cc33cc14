// Work progress and recovery through the real status-file reader, the real
// queue and real servers: what the typist's side sees of a recover.
#include "dictation/LDictationList.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LDictationLoadDct.h"
#include "send/LDictationRecover.h"
#include "send/LDictationSend.h"
#include "send/LDictationStatusUpdate.h"
#include "send/ProcessSendDictation.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/Records.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

// A version-0 status file as the typist's program writes it, and what follows its records.
Bytes StatusFile(uint32_t uVersion, const std::vector<std::pair<uint32_t, std::string>>& records, Bytes tail = {})
{
    Bytes b;
    test::PutU32(b, uVersion);
    for (const auto& [uNumber, text] : records)
        test::StatusRecord(b, 0, uNumber, text);
    return queuetest::Cat({ b, tail });
}

// Every cut file's bytes, in the list's order.
Bytes Audio(const LDictation& d)
{
    Bytes all;
    for (const CutRecord& cut : d.GetCutList())
        all = queuetest::Cat({ all, test::ReadFileBytes(d.GetCutFileName(cut.uCutNumber)) });
    return all;
}

class Recover : public ::testing::Test {
protected:
    void SetUp() override { queue.SetListFilePath(FilePathCat(sent, "sending.dat")); }
    // Recorded in Current and sent as the window sends: marked, queued, moved.
    std::string Send(uint8_t uSendTo, const char* szName)
    {
        auto d = ws.Dictation(szName, test::TestSignal(8000, 1));
        EXPECT_EQ(JobResult::kDone, LDictationSend::Process(progress, *d, uSendTo, queue, 0));
        return d->GetPath();
    }
    std::string Status(const std::string& path) { return std::string(LDictation(path).GetSendStatus()); }

    transfertest::Workspace ws;
    test::TempDir typist;
    std::string sent = ws.engine->GetSentFolder(), current = ws.engine->GetCurrentFolder();
    LProcessListThread queue;
    LTestProgress progress;
};

TEST_F(Recover, StatusUpdateReadsTheTypistsFolderFile)
{
    uint8_t r = ws.Recipient({ { "SendMethod", "2" }, { "Folder", typist.Path() } });
    ws.Recipient({ { "SendMethod", "4" }, { "RunCommand", "true" } });
    std::string a = Send(r, "A"), b = Send(r, "B"), twin = FilePathCat(sent, "900000.ddf");
    // A second sent dictation with b's number (loaded from another machine).
    ASSERT_TRUE(test::WriteFileBytes(twin, test::ReadFileBytes(b)));
    uint32_t na = LDictation(a).GetFileNumber(), nb = LDictation(b).GetFileNumber();
    struct Case {
        Bytes file;
        std::string a, b; // b's status is its twin's too
        const char* szOutcome;
    } cases[] = {
        { StatusFile(0, { { na, "Typing" }, { nb, "Done" } }, { 7, 0 }), "Typing", "Done",
            "updated (3 dictations changed)" }, // the torn third record is ignored
        { StatusFile(2, { { na, "Typing" } }), "", "", "the status file is of an unknown version" },
        { StatusFile(0, { { nb, "0123456789abcdef" } }), "", "0123456789abcde", "updated (2 dictations changed)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szOutcome);
        for (const std::string& path : { a, b, twin })
            LDictation(path).SetSendStatus("");
        ASSERT_TRUE(test::WriteFileBytes(typist.File("s0000000.sta"), c.file));
        std::vector<LDictationStatusUpdate::RecipientOutcome> outcomes;
        ASSERT_EQ(JobResult::kDone, LDictationStatusUpdate::Process(progress, sent, &outcomes));
        ASSERT_EQ(2u, outcomes.size());
        EXPECT_EQ(c.szOutcome, outcomes[0].szText);
        EXPECT_EQ("its send method leaves no status files", outcomes[1].szText);
        EXPECT_EQ(c.a, Status(a));
        EXPECT_EQ(c.b, Status(b));
        EXPECT_EQ(c.b, Status(twin));
    }
}

// A header whose save cannot even begin (its temporary name would pass the
// file system's limit) is counted apart; the others of the batch are saved.
TEST_F(Recover, StatusUpdateSavesTheOthersAndSaysWhichCouldNotBeSaved)
{
    uint8_t r = ws.Recipient({ { "SendMethod", "2" }, { "Folder", typist.Path() } });
    std::string a = Send(r, "A"), b = Send(r, "B"), twin = FilePathCat(sent, std::string(251, '9') + ".ddf");
    ASSERT_TRUE(test::WriteFileBytes(twin, test::ReadFileBytes(b)));
    const std::string before = Status(twin);
    uint32_t na = LDictation(a).GetFileNumber(), nb = LDictation(b).GetFileNumber();
    ASSERT_TRUE(test::WriteFileBytes(typist.File("s0000000.sta"), StatusFile(0, { { na, "Typing" }, { nb, "Done" } })));
    std::vector<LDictationStatusUpdate::RecipientOutcome> outcomes;
    ASSERT_EQ(JobResult::kDone, LDictationStatusUpdate::Process(progress, sent, &outcomes));
    ASSERT_EQ(1u, outcomes.size());
    EXPECT_EQ("updated (2 dictations changed; 1 could not be saved)", outcomes[0].szText);
    EXPECT_EQ("Typing", Status(a));
    EXPECT_EQ("Done", Status(b));
    EXPECT_EQ(before, Status(twin));
}

// A dictation delivered again (its job outlived a kill after the delivery) whose typist still reports the status it
// shows: the typist's word is applied after the delivery's own text, so it stays.
TEST_F(Recover, TheTypistsStatusIsAppliedAfterTheDeliveryText)
{
    test::FtpServer server;
    for (int nMethod : { 2, 3 }) {
        SCOPED_TRACE(nMethod == 2 ? "folder" : "ftp");
        uint8_t r = ws.Recipient(
            { { "SendMethod", std::to_string(nMethod) }, { "Folder", typist.Path() }, { "FtpServer", server.Server() },
                { "FtpUserName", "typist" }, { "FtpPassword", "secret" }, { "FtpAllowPlain", "1" } });
        std::string path = Send(r, "Again");
        LDictation(path).SetSendStatus("Typing");
        Bytes file = StatusFile(0, { { LDictation(path).GetFileNumber(), "Typing" } });
        // A further typist's file: read after a folder copy as after an upload.
        ASSERT_TRUE(
            test::WriteFileBytes(FilePathCat(nMethod == 2 ? typist.Path() : server.Root(), "s0000000-ann.sta"), file));
        std::unique_ptr<LDictation> pReturned;
        ASSERT_EQ(JobResult::kDone, ProcessSendDictation(progress, queuetest::Job(path), sent, &pReturned))
            << (progress.errors.empty() ? "" : progress.errors[0]);
        EXPECT_EQ("Typing", Status(path));
    }
}

// Several typists' files, read in name order: the latest record wins whichever file holds it, a record older than
// the status applied (by this run or an earlier one) is ignored, and at equal times the file read last wins.
TEST_F(Recover, TheLatestStatusOfAllTypistsFilesWins)
{
    test::FtpServer server;
    struct File {
        const char* szName;
        const char* szStatus;
        uint32_t tStatus;
    };
    struct Case {
        const char* szWhat;
        uint32_t tApplied; // with the status "Before"
        std::vector<File> files;
        const char* szExpected;
    } cases[] = {
        { "later in the further file", 0, { { "s0000000.sta", "Typing", 100 }, { "s0000000-ann.sta", "Typed", 200 } },
            "Typed" },
        { "later in the main file", 0, { { "s0000000.sta", "Typed", 200 }, { "s0000000-ann.sta", "Typing", 100 } },
            "Typed" },
        { "among three", 0,
            { { "s0000000-ann.sta", "Typing", 150 }, { "s0000000-bob.sta", "Checked", 300 },
                { "s0000000-cy.sta", "Typing", 120 } },
            "Checked" },
        { "equal times", 0, { { "s0000000-ann.sta", "Typing", 100 }, { "s0000000-bob.sta", "Held", 100 } }, "Held" },
        { "older than applied", 500, { { "s0000000.sta", "Typed", 499 }, { "s0000000-ann.sta", "Typing", 10 } },
            "Before" },
    };
    for (int nMethod : { 2, 3 }) {
        uint8_t r = ws.Recipient(
            { { "SendMethod", std::to_string(nMethod) }, { "Folder", typist.Path() }, { "FtpServer", server.Server() },
                { "FtpUserName", "typist" }, { "FtpPassword", "secret" }, { "FtpAllowPlain", "1" } });
        const std::string place = nMethod == 2 ? typist.Path() : server.Root();
        std::string path = Send(r, "Letter");
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(nMethod == 2 ? "folder: " : "ftp: ") + c.szWhat);
            test::RunShell("rm -f " + test::ShellQuote(place) + "/s*.sta");
            LDictation(path).SetSendStatus("Before", c.tApplied);
            for (const File& f : c.files) {
                Bytes b;
                test::PutU32(b, 1);
                test::StatusRecord(b, 1, LDictation(path).GetFileNumber(), f.szStatus, f.tStatus);
                ASSERT_TRUE(test::WriteFileBytes(FilePathCat(place, f.szName), b));
            }
            ASSERT_EQ(JobResult::kDone, LDictationStatusUpdate::Process(progress, sent));
            EXPECT_EQ(c.szExpected, Status(path));
        }
        LDictationEngineSettings::RemoveSendTo(r);
    }
}

TEST_F(Recover, WavRecipientGetsItBackAndNoNotice)
{
    uint8_t r = ws.Recipient({ { "SendMethod", "2" }, { "SendFileFormat", "1" }, { "Folder", typist.Path() } });
    std::string path = Send(r, "Letter");
    const LDictation before(path);
    const Bytes audio = Audio(before);
    uint32_t uNew = 0;
    ASSERT_EQ(JobResult::kDone, LDictationRecover::Process(progress, path, true, queue, &uNew)) << progress.errors[0];
    LDictation back(FilePathCat(current, std::to_string(uNew) + ".ddf"));
    EXPECT_TRUE(back.IsValid() && uNew == back.GetFileNumber() && uNew != before.GetFileNumber());
    EXPECT_TRUE(audio.size() > 1000 && audio == Audio(back));
    EXPECT_FALSE(FileExists(path));
    // The queue holds the notice instead of the job, and working it sends nothing.
    EXPECT_FALSE(queue.InList(queuetest::Job(path)));
    EXPECT_TRUE(queue.InList(SendJobItem::MakeNotice(r, 0, before.GetFileNumber())));
    queue.SetJobRunner([](LProcessListThread& q, const SendJobItem& item) { return ProcessSendDictation(q, item); });
    ASSERT_TRUE(queuetest::WaitIdle(queue));
    EXPECT_EQ(0, test::RunShell("test -z \"$(ls -A " + test::ShellQuote(typist.Path()) + ")\""));
}

// Killed at random moments of the renaming, the dictation stays whole under
// exactly one number; the next recover completes the change.
TEST_F(Recover, RenumberingSurvivesSigkill)
{
    const uint32_t uSeed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(uSeed));
    std::mt19937 random(uSeed);
    int64_t nSpanUs = 0;
    for (int i = 0; i < 60; ++i) {
        auto d = ws.Dictation("Killed", test::TestSignal(4000, 1));
        if (LSoundSinkRef sink = d->OpenSink(kRecordAtEnd, false, 0))
            test::WriteAll(*sink, test::TestSignal(3000, 1, i));
        const std::string attachments = d->GetAttachmentFolder();
        ASSERT_TRUE(CreateFolderTree(attachments) && test::WriteFileBytes(attachments + "/note.txt", { 'n' }));
        ASSERT_TRUE(d->AddAttachment(attachments + "/note.txt"));
        const Bytes audio = Audio(*d);
        ASSERT_EQ(2u, d->GetCutList().Count());
        const uint32_t uOld = d->GetFileNumber(), uNew = uOld + 500000;
        int ready[2];
        ASSERT_EQ(0, pipe(ready));
        pid_t pid = fork();
        if (pid == 0) {
            (void)!write(ready[1], "r", 1);
            _exit(d->Renumber(uNew) ? 0 : 1);
        }
        char c;
        (void)!read(ready[0], &c, 1);
        close(ready[0]), close(ready[1]);
        const auto start = std::chrono::steady_clock::now();
        if (i > 0) { // the first run is whole and measures how long one takes
            std::this_thread::sleep_for(std::chrono::microseconds(random() % (nSpanUs * 4 / 5 + 1)));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (i == 0)
            nSpanUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                          .count();
        auto whole = [&](const std::string& why) {
            LDictationList list(current);
            ASSERT_EQ(1u, list.Count()) << why;
            const LDictation& found = *list.GetFirst();
            EXPECT_TRUE(found.GetFileNumber() == uOld || found.GetFileNumber() == uNew) << why;
            EXPECT_EQ(audio, Audio(found)) << why;
            EXPECT_EQ(Bytes { 'n' }, test::ReadFileBytes(found.GetAttachments().GetFirst()->c_str())) << why;
        };
        whole("killed");
        LDictation::FinishRenumbering(current);
        whole("finished");
        LDictationList list(current);
        list.DeleteDictation(list.GetFirst()->nListIndex);
        // What a killed header write leaves (".ddf.tmpXXXXXX") is not the renumbering's.
        EXPECT_EQ(0, test::RunShell("test -z \"$(ls -A " + test::ShellQuote(current) + " | grep -v '[.]ddf[.]tmp')\""))
            << "left over";
    }
}

} // namespace
