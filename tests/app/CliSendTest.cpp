// tavrine-cli send, queue and queue work end to end: to a folder recipient (judged by soxi and tavrine-cli
// dct) and to a real SMTP server; SIGKILL at 50 random moments never leaves a dictation that looks sent
// without being queued, nor a cut-short DCT in the typist's folder; the queue file listed as a script reads it.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "send/LDictationRecover.h"
#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"
#include "tests/app/CliFixture.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class CliSend : public CliTest {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440");
        ASSERT_TRUE(CreateFolder(typist));
    }
    std::string Recorded()
    {
        const std::string number = NewDictation(" --name Letter");
        EXPECT_EQ(Run("record " + number + " --from " + Q("in.wav")), 0);
        return number;
    }
    std::vector<std::string> Files(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string()[0] != '.')
                names.push_back(entry.path().filename());
        return names;
    }
    std::string typist = env.Dir().File("typist");
    LDictationEngineSettings engine;
};

TEST_F(CliSend, AFolderRecipientGetsTheFileWholeAndFailuresHandTheDictationBack)
{
    std::string out, number = Recorded();
    EXPECT_EQ(Run("send " + number, &out), 1);
    EXPECT_NE(out.find("no recipient is set up"), std::string::npos) << out;
    ASSERT_EQ(Run("recipient add Typist SendMethod=2 SendFileFormat=1 Folder=" + Q("typist")), 0);
    ASSERT_EQ(Run("send " + number, &out), 0) << out;
    EXPECT_EQ(out, "send\t" + number + "\t0\tTypist\n");
    {
        LFile worker; // another process works the queue
        ASSERT_TRUE(
            worker.Open(LProcessListThread::WorkerLockPathFor(FilePathCat(engine.GetSentFolder(), "sending.dat")),
                LFile::kReadWrite, LFile::kShareNone, LFile::kOpenAlways));
        EXPECT_EQ(Run("queue work", &out), 3) << out;
    }
    ASSERT_EQ(Run("queue work", &out), 0) << out;
    const std::string wav = FilePathCat(typist, "0-" + number + " Letter by .wav");
    EXPECT_EQ(Shell("soxi -e " + test::ShellQuote(wav)), "GSM\n");
    EXPECT_EQ(Shell("soxi -s " + test::ShellQuote(wav)), "11200\n"); // 1 s in whole GSM blocks of 320 frames
    ASSERT_EQ(Run("list --sent", &out), 0);
    EXPECT_NE(out.find("\tCopied into Folder\t"), std::string::npos) << out;

    // A folder that is not there says why, and the dictation is back in Current.
    ASSERT_EQ(Run("recipient add Lost SendMethod=2 SendFileFormat=1 Folder=/nonexistent/typist", &out), 0);
    const std::string other = Recorded();
    ASSERT_EQ(Run("send " + other + " --to 1"), 0);
    EXPECT_EQ(Run("queue work", &out), 1) << out;
    EXPECT_NE(out.find("into the send folder \"/nonexistent/typist\"."), std::string::npos) << out;
    EXPECT_TRUE(FileExists(FilePathCat(engine.GetCurrentFolder(), other + ".ddf")));
}

TEST_F(CliSend, KilledAtFiftyRandomMomentsEveryDictationIsUnsentOrQueuedOrMarked)
{
    ASSERT_EQ(Run("recipient add Typist SendMethod=2 Folder=" + Q("typist")), 0);
    std::vector<std::string> numbers;
    for (int i = 0; i < 28; ++i)
        numbers.push_back(Recorded());
    auto timed = [](const std::string& args) {
        auto start = std::chrono::steady_clock::now();
        ::waitpid(Start(args), nullptr, 0);
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    };
    // The middle of three runs each: the machine is shared and one run says little.
    auto median = [&](auto run) {
        int64_t t[3] = { run(0), run(1), run(2) };
        return std::max(std::min(t[0], t[1]), std::min(std::max(t[0], t[1]), t[2]));
    };
    const int64_t tSend = median([&](int i) { return timed("send " + numbers[25 + i]); });
    const int64_t tWork = timed("queue work"); // those three jobs
    const std::string sent = engine.GetSentFolder(), queue = FilePathCat(sent, "sending.dat");
    auto check = [&](int nKill) {
        std::set<std::string> queued;
        LProcessListHeader header;
        LProcessListFile::Walk(queue, &header,
            [&](const SendJobItem& item) { return queued.insert(std::string(item.DictationPath())), true; });
        for (const std::string& folder : { engine.GetCurrentFolder(), sent })
            for (const std::string& name : Files(folder)) {
                if (GetFileExtension(name) != ".ddf")
                    continue;
                LDictation d(FilePathCat(folder, name));
                ASSERT_TRUE(d.IsValid()) << name << " after kill " << nKill;
                for (const CutRecord& cut : d.GetCutList())
                    EXPECT_TRUE(FileExists(d.GetCutFileName(cut.uCutNumber))) << name << " after kill " << nKill;
                EXPECT_TRUE(folder != sent || queued.count(d.GetPath()) || !d.GetSendStatus().empty())
                    << name << " looks sent but is not queued, after kill " << nKill;
            }
        for (const std::string& name : Files(typist))
            EXPECT_EQ(Run("dct " + test::ShellQuote(FilePathCat(typist, name))), 0) << name; // read whole
    };
    std::mt19937 random(20261207);
    for (int nKill = 0; nKill < 50; ++nKill) {
        const bool bSend = nKill % 2 == 0;
        const pid_t pid = Start(bSend ? "send " + numbers[nKill / 2] : "queue work");
        std::this_thread::sleep_for(std::chrono::microseconds(random() % ((bSend ? tSend : tWork) * 5 / 4 + 1)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        check(nKill);
    }
    std::string out;
    Run("queue work", &out);
    check(50);
    EXPECT_EQ(GetFileSizeBytes(queue), 0u) << out;
}

class CliQueue : public CliTest {
protected:
    std::string QueuePath() const { return FilePathCat(LDictationEngineSettings().GetSentFolder(), "sending.dat"); }
};

TEST_F(CliQueue, ListsKindDictationAndRecipientOfEachJob)
{
    std::string out;
    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_EQ(out, "") << "no queue file: nothing waits";

    ASSERT_EQ(Run("recipient add Anna SendMethod=2 Folder=/srv/typing", &out), 0) << out;
    ASSERT_EQ(Run("recipient add 'Bob B' SendMethod=1 EmailTo=bob@example.org", &out), 0) << out;
    LDictationEngineSettings engine;
    LDictation letter(engine.GetSentFolder(), "Letter");
    letter.MutableHeader().uSendTo = 1;
    ASSERT_TRUE(letter.Save());
    SendJobItem job;
    ASSERT_TRUE(SendJobItem::MakeSendJob(letter.GetPath(), &job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), SendJobItem::MakeNotice(0, 12, 345)));
    // A job whose dictation is gone, or lies elsewhere, shows its path.
    ASSERT_TRUE(SendJobItem::MakeSendJob("/elsewhere/9\t.ddf", &job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), job));

    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_EQ(out,
        "send\t" + std::to_string(letter.GetFileNumber()) + "\t1\tBob B\n" + "notice\t12-345\t0\tAnna\n"
            + "send\t/elsewhere/9 .ddf\t\t\n");
    EXPECT_EQ(Run("queue --all", &out), 2);
}

// A queue file that cannot be read is removed, never silently: the dictation that waited in it goes back to
// Current with a message naming it; a sent one, or one whose recipient's command leaves no status, stays.
TEST_F(CliQueue, AnUnreadableQueueIsReportedAndItsDictationsComeBack)
{
    ASSERT_EQ(Run("recipient add Typist SendMethod=2 Folder=" + Q("typist")), 0);
    ASSERT_EQ(Run("recipient add Script SendMethod=4 RunCommand=true"), 0);
    const struct {
        const char* szDamage;
        void (*damage)(std::vector<uint8_t>&);
        const char* szCommand;
        int nStatus; // send queues its own dictation all the same
    } rows[] = {
        { "another version", [](auto& b) { b[0] = 2; }, "queue work", 1 },
        { "shorter than its header", [](auto& b) { b.resize(5); }, "queue work", 1 },
        { "first job is cut short", [](auto& b) { b.resize(8 + 100); }, "queue work", 1 },
        { "records have another size", [](auto& b) { b[4] = 1; }, "send", 0 },
    };
    LDictationEngineSettings engine;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szDamage);
        auto make = [&](const char* szName, uint8_t uSendTo, const char* szStatus) {
            LDictation d(engine.GetSentFolder(), szName);
            d.MutableHeader().uSendTo = uSendTo;
            EXPECT_TRUE(d.Save() && d.SetSendStatus(szStatus));
            return d.GetPath();
        };
        const std::string waiting = make("Waiting", 0, ""), sent = make("Sent", 0, "Copied into Folder"),
                          script = make("Scripted", 1, "");
        SendJobItem job;
        ASSERT_TRUE(SendJobItem::MakeSendJob(waiting, &job) && LProcessListFile::Append(QueuePath(), job));
        std::vector<uint8_t> bytes = test::ReadFileBytes(QueuePath());
        row.damage(bytes);
        ASSERT_TRUE(test::WriteFileBytes(QueuePath(), bytes));
        std::string out, err;
        const std::string command = row.szCommand == std::string("send") ? "send " + NewDictation() : row.szCommand;
        EXPECT_EQ(Run(command, &out, {}, &err), row.nStatus);
        EXPECT_CONTAINS(err, row.szDamage + std::string(") and was removed."));
        EXPECT_CONTAINS(err, "back in the list, not sent: \"Waiting\"");
        EXPECT_CONTAINS(err, "recover any that did not arrive: \"Scripted\"");
        LProcessListHeader header;
        bool bQueued = false;
        LProcessListFile::Walk(
            QueuePath(), &header, [&](const SendJobItem& item) { return !(bQueued = item.Matches(job)); });
        EXPECT_FALSE(bQueued);
        LDictation back(FilePathCat(engine.GetCurrentFolder(), _GetFileFromPath(waiting)));
        EXPECT_EQ(back.GetSendStatus(), LDictationRecover::kUnqueuedStatus);
        EXPECT_TRUE(back.Delete() && LDictation(sent).Delete() && LDictation(script).Delete()) << "sent ones stay";
    }
}

} // namespace
