// The typist's IMAP sources against a real Dovecot: a pool listed from its
// header fields, claims raced by two typists, status back as one message per
// author, done and cancelled jobs in the right folder, and dictations mailed
// to a typist's own mailbox. Pool messages are put there as the dictator's
// side composes them, through the client's APPEND.
#include "foundation/LTempFolder.h"
#include "platform/LImapClient.h"
#include "scribe/LImapMailboxSource.h"
#include "scribe/LImapPoolSource.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeStatusWriter.h"
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"
#include "tests/support/DctBuilder.h"
#include "tests/support/ImapTestServer.h"

#include <algorithm>

namespace {

class ScribeImap : public test::EnvTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("dovecot"); }
    void Start(const test::ImapTestServer::Options& options = {})
    {
        server = std::make_unique<test::ImapTestServer>(test::ImapTestServer::Users { { "pool", "pool-pw" } }, options);
        ASSERT_TRUE(server->IsRunning()) << server->Log();
        trust = std::make_unique<test::TrustCertificate>(server->CertFile());
        ASSERT_TRUE(admin.LogOn(server->PlainServer(), "pool", "pool-pw")) << admin.GetLastErrorText();
        ASSERT_TRUE(admin.CreateFolder("Pool"));
    }
    LScribeSourceConfig Config(bool bPool) const
    {
        LScribeSourceConfig config { bPool ? "pool" : "mail",
            { { "ImapServer", server->PlainServer() }, { "ImapUserName", "pool" }, { "ImapPassword", "pool-pw" },
                { "ImapPool", bPool ? "1" : "0" } } };
        if (bPool)
            config.values.emplace_back("ImapFolder", "Pool");
        return config;
    }
    // A dictation of author 3 appended as the dictator's pool delivery makes it.
    void Put(uint32_t uNumber, uint8_t uPriority, uint32_t tCreated, const std::string& folder = "Pool")
    {
        LTypistPool::Entry entry;
        entry.kind = "dictation";
        entry.uUserID = 3, entry.uFileNumber = uNumber, entry.uPriority = uPriority, entry.tCreated = tCreated;
        entry.name = "Letter " + std::to_string(uNumber), entry.userName = "Dr Who", entry.notes = "<c>x</c>";
        entry.nLengthMs = 1500;
        ASSERT_TRUE(admin.Append(folder,
            LTypistPool::ComposeDictation(entry, false, "dr@example.org", "Tavrine Dictate Dictation", "Open it.",
                { "job.dct", "application/octet-stream", Dct(uNumber) })));
    }
    static std::string Dct(uint32_t uNumber)
    {
        const std::vector<uint8_t> b = test::DctBuilder::Plain(0, uNumber, "the notes");
        return std::string(b.begin(), b.end());
    }
    std::vector<LScribeJob> List(LInboxSource& source, bool bAll = false)
    {
        std::vector<LScribeJob> jobs;
        std::vector<std::string> problems;
        EXPECT_TRUE(source.ListJobs(keys, bAll, &jobs, &problems));
        EXPECT_TRUE(problems.empty()) << problems.front();
        std::sort(jobs.begin(), jobs.end(), LScribeJob::Before);
        return jobs;
    }
    // The UIDs in a folder (none when it does not exist).
    std::vector<uint32_t> Uids(const std::string& folder)
    {
        std::vector<LImapClient::MessageSummary> summaries;
        std::vector<uint32_t> uids;
        if (admin.Select(folder, true) && admin.FetchSummaries({}, &summaries))
            for (const auto& summary : summaries)
                uids.push_back(summary.uid);
        return uids;
    }

    std::unique_ptr<test::ImapTestServer> server;
    std::unique_ptr<test::TrustCertificate> trust;
    LImapClient admin;
    LScribeKeys keys;
};

TEST_F(ScribeImap, APoolIsListedFromItsHeadersByPriorityThenAge)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Put(1, 50, 2000);
    Put(2, 200, 3000);
    Put(3, 50, 1000);
    // An attachment that is no DCT: a listing that read bodies would refuse it.
    LTypistPool::Entry entry { "dictation", 3, 4, 10, "Memo", "Dr Who", "", 0, 500, {} };
    ASSERT_TRUE(admin.Append("Pool",
        LTypistPool::ComposeDictation(entry, false, "dr@example.org", "s", "b", { "x.dct", "a/b", "not a dct" })));
    LImapPoolSource source("pool", "anne", Config(true));
    const std::vector<LScribeJob> jobs = List(source);
    std::vector<std::string> ids;
    for (const LScribeJob& job : jobs)
        ids.push_back(job.szId);
    EXPECT_EQ(ids, (std::vector<std::string> { "pool:3-2", "pool:3-3", "pool:3-1", "pool:3-4" }));
    ASSERT_EQ(jobs.size(), 4u);
    EXPECT_EQ(jobs[0].szName, "Letter 2");
    EXPECT_EQ(jobs[0].szUserName, "Dr Who");
    EXPECT_EQ(jobs[0].nDurationMs, 1500u);
    EXPECT_EQ(jobs[0].fields, (std::vector<std::pair<std::string, std::string>> { { "c", "x" } }));
    EXPECT_EQ(jobs[3].szStatus, "Waiting");
}

TEST_F(ScribeImap, OfTwoTypistsRacingForOneJobOneClaimsItAndTheOtherIsToldItWasTaken)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Put(7, 50, 1000);
    LImapPoolSource anne("pool", "anne", Config(true)), bob("pool", "bob", Config(true));
    std::vector<LScribeJob> forAnne = List(anne), forBob = List(bob);
    ASSERT_EQ(forAnne.size(), 1u);
    ASSERT_EQ(forBob.size(), 1u);
    std::string why;
    EXPECT_EQ(anne.Claim(forAnne[0], &why), LClaimResult::Claimed) << why;
    EXPECT_EQ(bob.Claim(forBob[0], &why), LClaimResult::Lost);
    EXPECT_EQ(why, "Letter 7: another typist took it");
    EXPECT_TRUE(List(bob).empty());
    EXPECT_EQ(Uids("Pool").size(), 0u);
    EXPECT_EQ(Uids("Pool/Claimed/anne").size(), 1u);
    // Only the holder fetches the audio, and gets the attachment's bytes.
    std::string path;
    bool bTemporary = false;
    EXPECT_FALSE(bob.FetchLocal(forBob[0], &path, &bTemporary, &why));
    ASSERT_TRUE(anne.FetchLocal(forAnne[0], &path, &bTemporary, &why)) << why;
    EXPECT_EQ(path.rfind(LTempFolder::Path(), 0), 0u) << path;
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Dct(7));
}

TEST_F(ScribeImap, AServerWithoutMoveIsRefusedNamingTheCapability)
{
    test::ImapTestServer::Options options;
    options.bMove = false;
    ASSERT_NO_FATAL_FAILURE(Start(options));
    Put(7, 50, 1000);
    LImapPoolSource anne("pool", "anne", Config(true));
    std::vector<LScribeJob> jobs = List(anne);
    ASSERT_EQ(jobs.size(), 1u);
    std::string why;
    EXPECT_EQ(anne.Claim(jobs[0], &why), LClaimResult::Failed);
    EXPECT_NE(why.find("MOVE capability"), std::string::npos) << why;
    EXPECT_EQ(Uids("Pool").size(), 1u);
}

// What the author's side reads back: the status text of a file number in
// the newest status message of (author 3, anne); how many there are.
std::pair<std::string, size_t> StatusOnServer(LImapClient& admin, uint32_t uNumber)
{
    std::vector<LImapClient::MessageSummary> summaries;
    if (!admin.Select("Pool/Status", true) || !admin.FetchSummaries(LTypistPool::ListedFields(), &summaries)
        || summaries.empty())
        return { "", 0 };
    std::string raw, why, text;
    LMailMessage message;
    uint32_t t = 0;
    if (admin.FetchMessage(summaries.back().uid, &raw) && LMailMessage::Parse(raw, &message, &why)
        && message.attachments.size() == 1 && message.attachments[0].fileName == "s0000003-anne.sta") {
        const std::string& data = message.attachments[0].data;
        LScribeStatusWriter::Find(std::vector<uint8_t>(data.begin(), data.end()), uNumber, &text, &t);
    }
    return { text, summaries.size() };
}

TEST_F(ScribeImap, AHeldJobsLifeLeavesItInOneFolderWithOneStatusMessage)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Put(7, 50, 1000);
    LImapPoolSource anne("pool", "anne", Config(true));
    std::vector<LScribeJob> jobs = List(anne);
    ASSERT_EQ(jobs.size(), 1u);
    LScribeJob& job = jobs[0];
    std::string why;
    struct Row {
        const char* what;
        std::function<bool()> act;
        const char* folder; // where the dictation is afterwards
        const char* status; // what the author reads
        LScribeJobState listed;
    } rows[] = {
        { "claimed", [&] { return anne.Claim(job, &why) == LClaimResult::Claimed; }, "Pool/Claimed/anne", "Typing",
            LScribeJobState::Claimed },
        { "free text", [&] { return anne.WriteStatus(job, "Checking names", 5000, &why); }, "Pool/Claimed/anne",
            "Checking names", LScribeJobState::Claimed },
        { "done", [&] { return anne.MarkDone(job, &why); }, "Pool/Done/anne", "Typed", LScribeJobState::Done },
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(row.act()) << row.what << ": " << why;
        for (const char* folder : { "Pool", "Pool/Claimed/anne", "Pool/Done/anne" })
            EXPECT_EQ(Uids(folder).size(), std::string(folder) == row.folder ? 1u : 0u) << row.what << " " << folder;
        EXPECT_EQ(StatusOnServer(admin, 7), std::make_pair(std::string(row.status), size_t { 1 })) << row.what;
        const std::vector<LScribeJob> listed = List(anne, true);
        ASSERT_EQ(listed.size(), 1u) << row.what;
        EXPECT_EQ(listed[0].state, row.listed) << row.what;
        if (row.listed == LScribeJobState::Claimed) {
            EXPECT_EQ(listed[0].szStatus, row.status) << row.what;
        }
    }
}

TEST_F(ScribeImap, ACancelNoticeMovesTheHeldJobToCancelledAndIsDeleted)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Put(7, 50, 1000);
    Put(8, 50, 1000);
    LImapPoolSource anne("pool", "anne", Config(true));
    std::vector<LScribeJob> jobs = List(anne);
    std::string why;
    for (LScribeJob& job : jobs)
        ASSERT_EQ(anne.Claim(job, &why), LClaimResult::Claimed) << why;
    LTypistPool::Entry entry { "cancel", 3, 7, 50, {}, {}, {}, 0, 0, {} };
    const std::vector<uint8_t> notice = test::DctBuilder::Plain(1, 7);
    ASSERT_TRUE(admin.Append("Pool/Claimed/anne",
        LTypistPool::ComposeCancel(entry, "dr@example.org",
            { "dcan3-7.dct", "application/octet-stream", std::string(notice.begin(), notice.end()) })));
    std::vector<std::string> lines;
    anne.HandleCancels(&lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "pool:3-7: Cancelled by the author; moved to \"Pool/Cancelled\"");
    EXPECT_EQ(Uids("Pool/Claimed/anne").size(), 1u); // job 8, and no notice
    EXPECT_EQ(Uids("Pool/Cancelled").size(), 1u);
    const std::vector<LScribeJob> left = List(anne);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].uFileNumber, 8u);
}

TEST_F(ScribeImap, AMailboxListsAndTakesMailedDictationsWithOrWithoutThePoolFields)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Put(5, 50, 1000, "INBOX");
    // As the mail method sent it before its mails carried the fields.
    LMailMessage::Composed mail { "dr@example.org", "anne@example.org", "Tavrine Dictate Dictation",
        "Please open the attached file", {}, { { "Letter.dct", "application/octet-stream", Dct(6) } }, 0 };
    ASSERT_TRUE(admin.Append("INBOX", LMailMessage::Compose(mail)));
    mail.subject = "Lunch?";
    ASSERT_TRUE(admin.Append("INBOX", LMailMessage::Compose(mail)));
    LImapMailboxSource box("mail", "anne", Config(false));
    std::vector<LScribeJob> jobs = List(box);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].szId, "mail:3-5");
    EXPECT_EQ(jobs[1].szId, "mail:3-6");
    EXPECT_EQ(jobs[1].szName, "Letter"); // read from the DCT itself
    std::string why, path;
    bool bTemporary = false;
    ASSERT_EQ(box.Claim(jobs[1], &why), LClaimResult::Claimed) << why;
    EXPECT_EQ(Uids("Tavrine/Taken").size(), 1u);
    EXPECT_EQ(Uids("INBOX").size(), 2u);
    ASSERT_TRUE(box.FetchLocal(jobs[1], &path, &bTemporary, &why)) << why;
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Dct(6));
    ASSERT_TRUE(box.MarkDone(jobs[1], &why)) << why;
    EXPECT_EQ(Uids("Tavrine/Done").size(), 1u);
    EXPECT_EQ(List(box).size(), 1u);
}

} // namespace
