// The typist pool from the dictator's side against a real Dovecot on loopback: what a send leaves in the pool (read
// back through the IMAP client as a typist's program would), what a refusal leaves (nothing, and the dictation back
// in Current), where a recover puts a dictation that is waiting or claimed, and the typists' status messages
// reaching the sent dictations.
#include "dictation/LDictationList.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "platform/LImapClient.h"
#include "send/LDictationRecover.h"
#include "send/LDictationSend.h"
#include "send/LDictationStatusUpdate.h"
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"
#include "send/ProcessSendDictation.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"
#include "tests/support/ImapTestServer.h"
#include "tests/support/Records.h"

#include <map>
#include <optional>

namespace {

constexpr const char* kPool = "Typing";
constexpr uint32_t kAuthor = 12;

class Pool : public ::testing::Test {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("dovecot");
        server.emplace(test::ImapTestServer::Users { { "pool", "pool-pw" } });
        ASSERT_TRUE(server->IsRunning()) << server->Log();
        trust.emplace(server->CertFile());
        LDictationEngineSettings::SetUserID(kAuthor);
        LDictationEngineSettings::SetUserName("Ann Lee");
        queue.SetListFilePath(FilePathCat(sent, "sending.dat"));
    }
    uint8_t Recipient(
        const std::string& password = "pool-pw", std::vector<std::pair<std::string, std::string>> more = {})
    {
        more.insert(more.end(),
            { { "SendMethod", "5" }, { "PoolServer", server->PlainServer() }, { "PoolUserName", "pool" },
                { "PoolPassword", password }, { "PoolFolder", kPool } });
        return ws.Recipient(more);
    }
    // Recorded, queued and moved into Send as the window sends, then the job run.
    std::string Send(uint8_t uSendTo, const char* szName, JobResult nExpected = JobResult::kDone)
    {
        auto d = ws.Dictation(szName, test::TestSignal(8000, 1));
        d->SetPriority(kPriorityHigh);
        d->SetNotes("Ward 3");
        EXPECT_EQ(JobResult::kDone, LDictationSend::Process(progress, *d, uSendTo, queue, 0));
        std::unique_ptr<LDictation> pReturned;
        EXPECT_EQ(nExpected, ProcessSendDictation(progress, queuetest::Job(d->GetPath()), sent, &pReturned));
        return pReturned ? pReturned->GetPath() : d->GetPath();
    }
    LImapClient& Typist()
    {
        if (!client.IsLoggedOn()) {
            EXPECT_TRUE(client.LogOn(server->PlainServer(), "pool", "pool-pw")) << client.GetLastErrorText();
        }
        return client;
    }
    // What a typist's program lists in a folder: each message's entry, by UID.
    std::map<uint32_t, LTypistPool::Entry> Listed(const std::string& folder)
    {
        std::map<uint32_t, LTypistPool::Entry> listed;
        std::vector<LImapClient::MessageSummary> summaries;
        if (!Typist().Select(folder, true) || !Typist().FetchSummaries(LTypistPool::ListedFields(), &summaries)) {
            ADD_FAILURE() << folder << ": " << Typist().GetLastErrorText();
            return listed;
        }
        for (const LImapClient::MessageSummary& s : summaries) {
            std::vector<std::pair<std::string, std::string>> fields;
            for (const auto& f : s.fields)
                fields.emplace_back(f.name, f.value);
            EXPECT_TRUE(LTypistPool::ReadEntry(fields, &listed[s.uid])) << folder << " " << s.uid;
        }
        return listed;
    }
    LMailMessage Message(const std::string& folder, uint32_t uid)
    {
        LMailMessage message;
        std::string raw, why;
        EXPECT_TRUE(Typist().Select(folder, true) && Typist().FetchMessage(uid, &raw));
        EXPECT_TRUE(LMailMessage::Parse(raw, &message, &why)) << why;
        return message;
    }
    std::string Status(const std::string& path) { return std::string(LDictation(path).GetSendStatus()); }

    transfertest::Workspace ws;
    std::optional<test::ImapTestServer> server;
    std::optional<test::TrustCertificate> trust;
    LImapClient client;
    std::string sent = ws.engine->GetSentFolder(), current = ws.engine->GetCurrentFolder();
    LProcessListThread queue;
    LTestProgress progress;
};

TEST_F(Pool, ASentDictationIsPlacedWithTheFieldsATypistListsAndARefusalPlacesNothing)
{
    struct Row {
        const char* szWhat;
        std::string password;
        std::vector<std::pair<std::string, std::string>> more;
        const char* szError; // empty: placed
    } rows[] = {
        { "STARTTLS", "pool-pw", {}, "" },
        { "WAV, sealed", "pool-pw",
            { { "SendFileFormat", "1" },
                { "SealTo", "age1al6dye0nf9vmhptgc6cvkygfurhquz7879usckdln5cedss6a35qzs5mcg" } },
            "" },
        { "wrong password", "wrong", {}, "Unable to log on to the mail server \"127.0.0.1:" },
        { "certificate not trusted", "pool-pw", {}, "could not be verified, so nothing was sent" },
    };
    size_t nPlaced = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.szWhat);
        progress.errors.clear();
        LDictationEngineSettings::RemoveSendTo(0);
        const bool bTrusted = std::string(row.szWhat) != "certificate not trusted";
        if (!bTrusted)
            trust.reset();
        const uint8_t r = Recipient(row.password, row.more);
        const bool bPlaced = !*row.szError;
        const std::string path = Send(r, row.szWhat, bPlaced ? JobResult::kDone : JobResult::kFailed);
        if (!bTrusted) {
            trust.emplace(server->CertFile());
            // The typist's own session is opened afresh: one refused handshake in this thread ends the client's
            // live session too (the IMAP client's matter, reported; the delivery opens a session a job).
            client.LogOut();
        }
        const std::map<uint32_t, LTypistPool::Entry> listed = Listed(kPool);
        if (!bPlaced) {
            ASSERT_EQ(1u, progress.errors.size());
            EXPECT_NE(std::string::npos, progress.errors[0].find(row.szError)) << progress.errors[0];
            EXPECT_EQ(current, _GetFolderFromPath(path));
            EXPECT_NE("Placed in pool", Status(path));
            EXPECT_EQ(nPlaced, listed.size());
            continue;
        }
        ASSERT_TRUE(progress.errors.empty()) << progress.errors[0];
        EXPECT_EQ("Placed in pool", Status(path));
        ASSERT_EQ(++nPlaced, listed.size());
        const auto& [uid, entry] = *listed.rbegin();
        const LDictation d(path);
        const bool bSealed = row.more.size() == 2;
        EXPECT_EQ("dictation", entry.kind);
        EXPECT_EQ(kAuthor, entry.uUserID);
        EXPECT_EQ(d.GetFileNumber(), entry.uFileNumber);
        EXPECT_EQ(kPriorityHigh, entry.uPriority);
        EXPECT_EQ(8000u * 1000 / d.Header().uSampleRate, entry.nLengthMs);
        EXPECT_EQ(d.Header().tCreated, entry.tCreated);
        EXPECT_EQ(bSealed ? "" : row.szWhat, entry.name);
        EXPECT_EQ(bSealed ? "" : "Ann Lee", entry.userName);
        EXPECT_EQ(bSealed ? "" : "Ward 3", entry.notes);
        const LMailMessage message = Message(kPool, uid);
        EXPECT_EQ("Tavrine Dictate Dictation", message.Header("Subject"));
        EXPECT_NE(std::string::npos, message.body.find("Tavrine Scribe")) << message.body;
        ASSERT_EQ(1u, message.attachments.size());
        const std::string name = message.attachments[0].fileName;
        EXPECT_TRUE(name.ends_with(bSealed ? ".wav.age" : ".dct")) << name;
        EXPECT_TRUE(message.attachments[0].data.starts_with(bSealed ? "age-encryption.org/v1" : "")) << name;
    }
}

TEST_F(Pool, RecoverTakesBackAWaitingDictationAndLeavesTheNoticeForOneClaimed)
{
    const uint8_t r = Recipient();
    struct Row {
        const char* szWhat;
        const char* szClaimedBy; // moved by hand before the recover; empty: left waiting
        const char* szEndsIn;
        const char* szStatus;
    } rows[] = {
        { "waiting", "", "Typing/Cancelled", "Taken back from pool" },
        { "claimed", "anne", "Typing/Claimed/anne", "Cancel notice to anne" },
    };
    size_t nDecoys = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.szWhat);
        const std::string path = Send(r, row.szWhat);
        const uint32_t uNumber = LDictation(path).GetFileNumber();
        // Another author's dictation of the same number, which a search for the text "12" also finds.
        LTypistPool::Entry other;
        other.kind = "dictation", other.uUserID = 120, other.uFileNumber = uNumber;
        ASSERT_TRUE(Typist().Append(kPool,
            LTypistPool::ComposeDictation(
                other, false, "b@example.org", "s", "b", { "x.dct", "application/octet-stream", "x" })));
        ++nDecoys;
        uint32_t uid = 0;
        for (const auto& [u, entry] : Listed(kPool))
            if (entry.uUserID == kAuthor && entry.uFileNumber == uNumber)
                uid = u;
        ASSERT_NE(0u, uid);
        if (*row.szClaimedBy) {
            const std::string claimed = LTypistPool::Folder(kPool, LTypistPool::kClaimed, row.szClaimedBy);
            ASSERT_TRUE(Typist().CreateFolder(claimed) && Typist().Select(kPool));
            ASSERT_EQ(LImapClient::MoveResult::Moved, Typist().Move(uid, claimed));
        }
        progress.errors.clear();
        ASSERT_EQ(JobResult::kDone, ProcessSendRecover(progress, r, kAuthor, uNumber, sent));
        EXPECT_TRUE(progress.errors.empty()) << progress.errors[0];

        size_t nOthers = 0;
        for (const auto& [u, entry] : Listed(kPool)) {
            EXPECT_FALSE(entry.uUserID == kAuthor && entry.uFileNumber == uNumber) << "still waiting";
            nOthers += entry.uUserID == 120;
        }
        EXPECT_EQ(nDecoys, nOthers);
        const std::map<uint32_t, LTypistPool::Entry> ended = Listed(row.szEndsIn);
        std::vector<std::string> kinds;
        for (const auto& [u, entry] : ended)
            if (entry.uUserID == kAuthor && entry.uFileNumber == uNumber)
                kinds.push_back(entry.kind);
        if (!*row.szClaimedBy) {
            EXPECT_EQ(std::vector<std::string> { "dictation" }, kinds);
            continue;
        }
        ASSERT_EQ((std::vector<std::string> { "dictation", "cancel" }), kinds);
        const LMailMessage notice = Message(row.szEndsIn, ended.rbegin()->first);
        ASSERT_EQ(1u, notice.attachments.size());
        EXPECT_EQ(tplprintf("dcan%d-%d.dct", kAuthor, uNumber), notice.attachments[0].fileName);
        EXPECT_EQ(18u, notice.attachments[0].data.size());
    }
}

// Each typist's newest status message counts: the older one of a typist, with a later status time that would win
// were it applied, is not read, nor is another author's.
TEST_F(Pool, StatusUpdateAppliesEachTypistsNewestStatusMessage)
{
    const uint8_t r = Recipient();
    const std::string a = Send(r, "A"), b = Send(r, "B");
    const uint32_t na = LDictation(a).GetFileNumber(), nb = LDictation(b).GetFileNumber();
    auto status = [](uint32_t uNumber, const char* szText, uint32_t t) {
        std::vector<uint8_t> file;
        test::PutU32(file, 1);
        test::StatusRecord(file, 1, uNumber, szText, t);
        return std::string(file.begin(), file.end());
    };
    const uint32_t t = static_cast<uint32_t>(time(nullptr)) + 100;
    const std::string folder = LTypistPool::Folder(kPool, LTypistPool::kStatus);
    ASSERT_TRUE(Typist().CreateFolder(folder));
    const struct {
        uint32_t uAuthor;
        const char* szTypist;
        std::string file;
    } messages[] = {
        { kAuthor, "anne", status(na, "Typing", t + 50) },
        { kAuthor, "anne", status(na, "Typed", t) },
        { kAuthor, "bob", status(nb, "Typing", t) },
        { 120, "bob", status(nb, "Not mine", t + 60) },
    };
    for (const auto& m : messages)
        ASSERT_TRUE(Typist().Append(folder,
            LTypistPool::ComposeStatus(m.uAuthor, m.szTypist,
                { tplprintf("s%.7d-%s.sta", m.uAuthor, m.szTypist), "application/octet-stream", m.file })));
    std::vector<LDictationStatusUpdate::RecipientOutcome> outcomes;
    ASSERT_EQ(JobResult::kDone, LDictationStatusUpdate::Process(progress, sent, &outcomes));
    ASSERT_EQ(1u, outcomes.size());
    EXPECT_EQ("updated (2 dictations changed)", outcomes[0].szText);
    EXPECT_EQ("Typed", Status(a));
    EXPECT_EQ("Typing", Status(b));
}

} // namespace
