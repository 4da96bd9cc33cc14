// The typist's side through the real tavrine-cli: a dictation sent to a
// folder comes back with its status, a cancel reaches the typist, two
// typists racing never claim one job twice, and a hostile inbox only costs
// a line each.
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "tests/app/CliFixture.h"
#include "tests/support/DctBuilder.h"

#include <sys/stat.h>

namespace {

class CliScribe : public CliTest {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        ASSERT_TRUE(CreateFolder(inbox));
        ASSERT_EQ(Run("scribe source add Office Folder=" + test::ShellQuote(inbox)), 0);
        ASSERT_EQ(Run("settings set Scribe TypistName 'Ann B.'"), 0);
    }
    // A dictation recorded from a sox-made tone, sent to the folder recipient; its number.
    std::string Sent(const std::string& name, const std::string& recipientArgs = "")
    {
        Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440");
        Run("settings set UserInfo UserID 42");
        Run("recipient add Typist SendMethod=2 Folder=" + test::ShellQuote(inbox) + recipientArgs);
        const std::string number = NewDictation(" --name " + name + " --priority 100 --notes '<client>Smith</client>'");
        EXPECT_EQ(Run("record " + number + " --from " + Q("in.wav")), 0);
        EXPECT_EQ(Run("send " + number), 0);
        std::string out;
        EXPECT_EQ(Run("queue work", &out), 0) << out;
        return number;
    }
    // The one inbox line of a job: id, author, file number, name, priority, status.
    std::vector<std::string> Job(const std::string& args = "inbox")
    {
        std::string out;
        EXPECT_EQ(Run("scribe " + args, &out, {}, &err), 0) << err;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        return Split(out.substr(0, out.find('\n')), '\t');
    }
    std::string SentStatus()
    {
        std::string out;
        Run("status-update", &out);
        EXPECT_EQ(Run("list --sent", &out), 0);
        return Split(out.substr(0, out.find('\n')), '\t').at(6);
    }
    std::string inbox = env.Dir().File("inbox");
    std::string err;
};

TEST_F(CliScribe, AFolderDictationIsListedClaimedTypedAndCancelledWithItsStatusBack)
{
    const std::string number = Sent("Letter");
    std::vector<std::string> job = Job();
    ASSERT_EQ(job.size(), 6u);
    EXPECT_EQ(job[1], "42");
    EXPECT_EQ(job[2], number);
    EXPECT_EQ(job[3], "Letter");
    EXPECT_EQ(job[4], "High");
    EXPECT_EQ(job[5], "Waiting");
    const std::string id = test::ShellQuote(job[0]);
    ASSERT_EQ(Run("scribe claim " + id), 0);
    EXPECT_TRUE(FileExists(FilePathCat(inbox, "Claimed/AnnB/" + job[0].substr(7))));
    EXPECT_EQ(SentStatus(), "Typing");

    std::string out;
    ASSERT_EQ(Run("scribe open " + id + " --extract " + Q(""), &out), 0) << out;
    EXPECT_EQ(test::ReadFileText(File("Letter.txt")), "<client>Smith</client>");
    EXPECT_EQ(Shell("soxi -D " + Q("Letter.wav")).substr(0, 3), "1.0");

    ASSERT_EQ(Run("scribe status " + id + " 'Half way ééééééé'"), 0);
    EXPECT_EQ(Job()[5], "Half way ééé"); // 15 bytes, cut between characters
    ASSERT_EQ(Run("scribe done " + id), 0);
    EXPECT_EQ(SentStatus(), "Typed");

    // The author takes a second one back while Ann holds it.
    const std::string second = Sent("Second");
    ASSERT_EQ(Run("scribe claim " + test::ShellQuote(Job()[0])), 0);
    ASSERT_EQ(Run("recover " + second, &out), 0) << out;
    ASSERT_EQ(Run("queue work", &out), 0) << out;
    ASSERT_EQ(Run("scribe inbox", &out, {}, &err), 0);
    EXPECT_EQ(out, "");
    EXPECT_CONTAINS(err, "Cancelled by the author");
    ASSERT_EQ(Run("scribe inbox --all", &out), 0);
    EXPECT_CONTAINS(out, "\tSecond\tHigh\tCancelled by the author\n");
    EXPECT_EQ(test::FileNames(FilePathCat(inbox, "Cancelled")).size(), 1u);
    EXPECT_FALSE(FileExists(FilePathCat(inbox, tplprintf("dcan42-%s.dct", second))));
}

TEST_F(CliScribe, AnEncryptedDictationOpensWithItsKeyOnlyAndIsLeftUntouchedOtherwise)
{
    Sent("Secret", " EncryptionKey=pass-word");
    std::vector<std::string> job = Job();
    EXPECT_CONTAINS(err, "none of the keys held opens it");
    const std::string id = test::ShellQuote(job[0]);
    const std::string path = FilePathCat(inbox, job[0].substr(7));
    const std::vector<uint8_t> before = test::ReadFileBytes(path);
    ASSERT_TRUE(CreateFolder(File("out")));
    for (const char* wrong : { "", "drow-ssap" }) { // none, then one with the same check byte
        if (*wrong) {
            ASSERT_EQ(Run(std::string("scribe key add --author 42 ") + wrong), 0);
        }
        EXPECT_EQ(Run("scribe open " + id + " --extract " + Q("out"), nullptr, {}, &err), 1);
        EXPECT_CONTAINS(err, "it is encrypted and none of the keys held for author 42 opens it");
        EXPECT_TRUE(test::FileNames(File("out")).empty());
        EXPECT_EQ(test::ReadFileBytes(path), before);
    }
    ASSERT_EQ(Run("scribe key add -", nullptr, "pass-word\n"), 0);
    std::string out;
    ASSERT_EQ(Run("scribe open " + id + " --extract " + Q("out"), &out), 0) << out;
    EXPECT_EQ(test::ReadFileText(File("out/Secret.txt")), "<client>Smith</client>");
    EXPECT_EQ(Shell("soxi -D " + Q("out/Secret.wav")).substr(0, 3), "1.0");
}

TEST_F(CliScribe, ClaimNextTakesJobsInInboxOrderAndSaysWhenNoneIsLeft)
{
    // "b" is urgent: its priority byte (after the header, the name and ten empty strings) is 200.
    for (const char* name : { "a", "b" }) {
        std::vector<uint8_t> dct = test::DctBuilder::Plain(0, name[0] == 'a' ? 1 : 2, "n");
        dct.at(39) = name[0] == 'a' ? 50 : 200;
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(inbox, name + std::string(".dct")), dct));
    }
    for (const char* id : { "Office:b.dct\n", "Office:a.dct\n" }) {
        std::string out;
        EXPECT_EQ(Run("scribe claim --next", &out, {}, &err), 0) << err;
        EXPECT_EQ(out, id);
    }
    std::string out;
    EXPECT_EQ(Run("scribe claim --next", &out, {}, &err), 3);
    EXPECT_EQ(out, "");
    EXPECT_CONTAINS(err, "no waiting job is left to claim");
}

TEST_F(CliScribe, TwoTypistsRacingOverTwoHundredJobsClaimEachExactlyOnce)
{
    constexpr int kJobs = 200;
    for (int i = 0; i < kJobs; ++i)
        ASSERT_TRUE(test::WriteFileBytes(
            FilePathCat(inbox, tplprintf("job%d.dct", int32_t { i })), test::DctBuilder::Plain(0, 1000 + i, "n")));
    std::string script;
    for (const char* typist : { "ann", "bob" }) {
        const std::string cfg = File(std::string("cfg-") + typist);
        const std::string envs = "XDG_CONFIG_HOME=" + test::ShellQuote(cfg) + " ";
        Shell(envs + TAVRINE_CLI + " scribe source add Office Folder=" + test::ShellQuote(inbox));
        Shell(envs + TAVRINE_CLI + " settings set Scribe TypistName " + typist);
        script += "(i=0; while [ $i -lt " + std::to_string(kJobs) + " ]; do " + envs + TAVRINE_CLI
            + " scribe claim Office:job$i.dct; i=$((i+1)); done >" + Q(typist) + " 2>&1) & ";
    }
    Shell("timeout 300 sh -c " + test::ShellQuote(script + "wait"));
    std::set<std::string> ann = test::FileNames(FilePathCat(inbox, "Claimed/ann"));
    std::set<std::string> bob = test::FileNames(FilePathCat(inbox, "Claimed/bob"));
    EXPECT_EQ(ann.size() + bob.size(), size_t { kJobs });
    for (const std::string& name : ann)
        EXPECT_EQ(bob.count(name), 0u) << name;
    for (const char* typist : { "ann", "bob" }) {
        const std::string said = test::ReadFileText(File(typist));
        const size_t claims = typist[0] == 'a' ? ann.size() : bob.size();
        EXPECT_EQ(static_cast<size_t>(std::count(said.begin(), said.end(), '\n')), size_t { kJobs });
        size_t told = 0;
        for (size_t at = said.find("claimed by " + std::string(typist)); at != std::string::npos;
             at = said.find("claimed by " + std::string(typist), at + 1))
            ++told;
        EXPECT_EQ(told, claims);
        // One status record per job held, and only in the holder's own file.
        EXPECT_EQ(GetFileSizeBytes(FilePathCat(inbox, std::string("s0000003-") + typist + ".sta")), 4 + 24 * claims);
    }
}

TEST_F(CliScribe, HostileInboxEntriesCostALineEachAndNothingOutsideIsWritten)
{
    const std::vector<uint8_t> good = test::DctBuilder::Plain(0, 7, "n", { 'R', 'I', 'F', 'F' });
    std::vector<uint8_t> liar = good;
    liar[2] ^= 1;
    test::DctBuilder evil { { 0, 0, 0, 0, 0, 0 }, {} };
    evil.U32(4), evil.U32(3), evil.U32(8), evil.U32(0), evil.Str("../../evil"), evil.b.resize(evil.b.size() + 10);
    evil.U8(50), evil.U32(0), evil.U8(1), evil.Str("/../../x/.."), evil.U32(3), evil.Piece("abc");
    struct Row {
        std::string name;
        std::vector<uint8_t> bytes;
        std::string line; // empty: listed
    } rows[] = {
        { "short.dct", { 0, 0, 1 }, "shorter than a DCT header" },
        { "liar.dct", liar, "not whole" },
        { "a..b.dct", std::vector<uint8_t>(good.begin(), good.end() - 1), "not whole" },
        { "$(touch pwned);`touch pwned`.dct", good, "" },
        { "ctl\x1b[2Jname.dct", good, "ctl\\x1B[2Jname.dct\": its name holds control characters" },
        { "evil.dct", evil.Done(), "" },
        { "notice.dct", test::DctBuilder::Plain(1, 9), "it is a cancel notice" },
        { "42-7 Letter by Ann B.wav", good, "" },
    };
    for (const Row& row : rows)
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(inbox, row.name), row.bytes)) << row.name;
    ASSERT_TRUE(test::WriteFileBytes(File("outside.dct"), good));
    ASSERT_EQ(::symlink(File("outside.dct").c_str(), FilePathCat(inbox, "link.dct").c_str()), 0);
    ASSERT_EQ(::mkfifo(FilePathCat(inbox, "pipe.dct").c_str(), 0600), 0);
    std::string out;
    ASSERT_EQ(Run("scribe inbox", &out, {}, &err), 0) << err;
    for (const Row& row : rows) {
        if (row.line.empty())
            EXPECT_CONTAINS(out, "Office:" + row.name + "\t");
        else
            EXPECT_CONTAINS(err, row.line);
    }
    EXPECT_CONTAINS(out, "Office:42-7 Letter by Ann B.wav\t42\t7\tLetter\tNormal\tWaiting\n");
    EXPECT_CONTAINS(err, "\"link.dct\": it is a symbolic link");
    EXPECT_CONTAINS(err, "\"pipe.dct\": it is not a regular file");
    EXPECT_EQ(Run("scribe claim Office:../outside.dct", &out), 1);
    EXPECT_CONTAINS(out, "there is no job 'Office:../outside.dct'");
    ASSERT_TRUE(CreateFolder(File("out")));
    ASSERT_EQ(Run("scribe open Office:evil.dct --extract " + Q("out"), &out), 0) << out;
    EXPECT_EQ(test::FileNames(File("out")), (std::set<std::string> { "evil.wav", "evil.txt", "evil attachment 1.x" }));
    EXPECT_FALSE(FileExists(File("pwned")));
    EXPECT_FALSE(FileExists(FilePathCat(inbox, "pwned")));
    EXPECT_EQ(test::ReadFileBytes(File("outside.dct")), good);
}

} // namespace
