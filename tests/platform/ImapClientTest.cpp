// The IMAP client against a real Dovecot: log-on over TLS or refused with the
// right reason, folders, messages and claims as the pool uses them, and
// change notices by IDLE or by polling.
#include "platform/LImapClient.h"
#include "tests/support/ImapTestServer.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using Imap = LImapClient;
using Server = test::ImapTestServer;

struct LogOnCase {
    const char* name;
    const char* ssl; // the server's setting
    bool bTlsPort;
    bool bTrust; // the certificate through SSL_CERT_FILE
    bool bAllowPlain;
    const char* password;
    Imap::Error error;
};

class ImapLogOn : public ::testing::TestWithParam<LogOnCase> { };

TEST_P(ImapLogOn, GivesTheReason)
{
    TEST_REQUIRE_TOOL("dovecot");
    const LogOnCase& c = GetParam();
    Server::Options options;
    options.ssl = c.ssl;
    Server server({ { "ann", "right" } }, options);
    ASSERT_TRUE(server.IsRunning()) << server.Log();
    std::unique_ptr<test::TrustCertificate> trust;
    if (c.bTrust)
        trust = std::make_unique<test::TrustCertificate>(server.CertFile());
    else
        unsetenv("SSL_CERT_FILE");
    Imap imap;
    imap.SetAllowPlain(c.bAllowPlain);
    imap.SetImplicitTls(c.bTlsPort);
    const bool bOk = imap.LogOn(c.bTlsPort ? server.TlsServer() : server.PlainServer(), "ann", c.password);
    EXPECT_EQ(bOk, c.error == Imap::Error::None);
    EXPECT_EQ(imap.GetLastError(), c.error) << imap.GetLastErrorText();
    EXPECT_EQ(imap.IsLoggedOn(), bOk);
    if (c.error == Imap::Error::NoTls) { // gone before the password
        EXPECT_TRUE(test::WaitUntil([&] { return server.Log().find("Disconnected") != std::string::npos; }));
        EXPECT_EQ(server.Log().find("user=<ann>"), std::string::npos) << server.Log();
    }
    if (bOk) {
        EXPECT_TRUE(imap.HasCapability("move") && imap.HasCapability("UIDPLUS"));
    }
}

const LogOnCase kLogOnCases[] = {
    { "ImplicitTls", "required", true, true, false, "right", Imap::Error::None },
    { "ImplicitTlsUntrusted", "yes", true, false, false, "right", Imap::Error::TlsFailed },
    { "Starttls", "yes", false, true, false, "right", Imap::Error::None },
    { "WrongPassword", "yes", false, true, false, "wrong", Imap::Error::LogOnDenied },
    { "Untrusted", "yes", false, false, false, "right", Imap::Error::TlsFailed },
    { "NoStarttls", "no", false, true, false, "right", Imap::Error::NoTls },
    { "PlainAllowed", "no", false, true, true, "right", Imap::Error::None },
};
INSTANTIATE_TEST_SUITE_P(Dovecot, ImapLogOn, ::testing::ValuesIn(kLogOnCases),
    [](const auto& info) { return std::string(info.param.name); });

// A session by STARTTLS on the plain port.
struct Session {
    Session(const Server& server, const std::string& user, const std::string& password)
    {
        EXPECT_TRUE(imap.LogOn(server.PlainServer(), user, password)) << imap.GetLastErrorText();
    }
    Imap imap;
};

std::string Message(const std::string& author, const std::string& priority, const std::string& body)
{
    return "From: a@example.org\r\nSubject: Dictation\r\nX-Tavrine-Author: " + author + "\r\nX-Tavrine-Priority: "
        + priority + "\r\nX-Tavrine-Notes: first line\r\n  second line\r\n\r\n" + body + "\r\n";
}

class ImapDovecot : public ::testing::TestWithParam<char> {
protected:
    void SetUp() override
    {
        if (!test::HaveTool("dovecot"))
            GTEST_SKIP() << "dovecot not installed";
        Server::Options options;
        options.cSeparator = GetParam();
        server = std::make_unique<Server>(Server::Users { { "pool", "pool-pw" } }, options);
        ASSERT_TRUE(server->IsRunning()) << server->Log();
        trust = std::make_unique<test::TrustCertificate>(server->CertFile());
    }
    std::unique_ptr<Server> server;
    std::unique_ptr<test::TrustCertificate> trust;
};

TEST_P(ImapDovecot, FoldersMessagesAndSearch)
{
    Session s(*server, "pool", "pool-pw");
    Imap& imap = s.imap;
    for (int i = 0; i < 2; ++i) // the second finds them made
        ASSERT_TRUE(imap.CreateFolder("P/Claimed/Tüpist Ä&B")) << imap.GetLastErrorText();
    ASSERT_TRUE(imap.CreateFolder("P/Status"));
    EXPECT_FALSE(imap.CreateFolder("P/../x"));
    EXPECT_EQ(imap.GetLastError(), Imap::Error::Refused);
    if (GetParam() != '/') {
        EXPECT_FALSE(imap.CreateFolder(std::string("P/a") + GetParam() + "b"));
        EXPECT_EQ(imap.GetLastError(), Imap::Error::Refused);
    }
    std::vector<std::string> folders;
    ASSERT_TRUE(imap.ListFolders("P", &folders));
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string> { "P/Claimed", "P/Claimed/Tüpist Ä&B", "P/Status" }));
    // Dovecot keeps the name as modified UTF-7 (RFC 3501's example form).
    const std::string sep(1, GetParam() == '/' ? '.' : GetParam());
    EXPECT_EQ(test::RunShell("test -d "
                  + test::ShellQuote(server->Maildir("pool") + "/.P" + sep + "Claimed" + sep + "T&APw-pist &AMQ-&-B")),
        0);

    EXPECT_FALSE(imap.Select("Nowhere"));
    EXPECT_EQ(imap.GetLastError(), Imap::Error::NoFolder);
    ASSERT_TRUE(imap.Select("P")) << imap.GetLastErrorText();
    EXPECT_NE(imap.GetUidValidity(), 0u);
    std::vector<Imap::MessageSummary> list;
    ASSERT_TRUE(imap.FetchSummaries({ "X-Tavrine-Author" }, &list)) << imap.GetLastErrorText();
    EXPECT_TRUE(list.empty());
    // Appended to the selected folder: the summaries see them.
    uint32_t uid1 = 0, uid2 = 0;
    ASSERT_TRUE(imap.Append("P", Message("ann", "2", "one"), &uid1)) << imap.GetLastErrorText();
    ASSERT_TRUE(imap.Append("P", Message("bob", "1", std::string(70000, 'x')), &uid2));
    EXPECT_TRUE(uid1 && uid2);
    EXPECT_FALSE(imap.Append("Nowhere", "Subject: x\r\n\r\n"));
    EXPECT_EQ(imap.GetLastError(), Imap::Error::NoFolder);
    ASSERT_TRUE(imap.FetchSummaries({ "X-Tavrine-Author", "X-Tavrine-Notes", "X-Missing" }, &list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].uid, uid1);
    EXPECT_EQ(list[0].Field("x-tavrine-author"), "ann");
    EXPECT_EQ(list[0].Field("X-Tavrine-Notes"), "first line  second line");
    EXPECT_EQ(list[0].fields.size(), 2u);
    EXPECT_GT(list[1].nSize, 70000u);
    EXPECT_LT(std::abs(list[1].tInternal - static_cast<int64_t>(time(nullptr))), 600);
    ASSERT_TRUE(imap.FetchSummaries({ "X-Tavrine-Author" }, &list, { uid2 }));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Field("X-Tavrine-Author"), "bob");

    std::vector<uint32_t> uids;
    ASSERT_TRUE(imap.SearchHeaders({ { "X-Tavrine-Author", "bob" } }, &uids)) << imap.GetLastErrorText();
    EXPECT_EQ(uids, std::vector<uint32_t> { uid2 });
    ASSERT_TRUE(imap.SearchHeaders({ { "X-Tavrine-Author", "ann" }, { "X-Tavrine-Priority", "1" } }, &uids));
    EXPECT_TRUE(uids.empty());

    std::string whole;
    ASSERT_TRUE(imap.FetchMessage(uid2, &whole));
    EXPECT_EQ(whole, Message("bob", "1", std::string(70000, 'x')));
    ASSERT_TRUE(imap.Delete({ uid2 }));
    EXPECT_FALSE(imap.FetchMessage(uid2, &whole));
    EXPECT_EQ(imap.GetLastError(), Imap::Error::Refused);
    ASSERT_TRUE(imap.FetchSummaries({}, &list));
    EXPECT_EQ(list.size(), 1u);
    // A refused certificate on another session of this thread leaves this one working.
    trust.reset();
    Imap refused;
    EXPECT_FALSE(refused.LogOn(server->PlainServer(), "pool", "pool-pw"));
    EXPECT_EQ(refused.GetLastError(), Imap::Error::TlsFailed);
    ASSERT_TRUE(imap.Select("P")) << imap.GetLastErrorText();
    imap.LogOut();
    EXPECT_FALSE(imap.IsLoggedOn());
}

// Two claimers race for every message: each is moved exactly once.
TEST_P(ImapDovecot, ClaimsRaceExactlyOneWins)
{
    Session a(*server, "pool", "pool-pw"), b(*server, "pool", "pool-pw");
    ASSERT_TRUE(a.imap.CreateFolder("P/Claimed/ann"));
    ASSERT_TRUE(b.imap.CreateFolder("P/Claimed/bob"));
    std::vector<uint32_t> uids(50);
    for (uint32_t& uid : uids)
        ASSERT_TRUE(a.imap.Append("P", Message("ann", "1", "x"), &uid));
    ASSERT_TRUE(a.imap.Select("P"));
    ASSERT_TRUE(b.imap.Select("P"));
    int nMoved[2] = {}, nGone[2] = {};
    auto claim = [&](Imap* imap, const char* folder, int n) {
        for (uint32_t uid : uids) {
            uint32_t uNew = 0;
            const Imap::MoveResult result = imap->Move(uid, folder, &uNew);
            nMoved[n] += result == Imap::MoveResult::Moved && uNew != 0;
            nGone[n] += result == Imap::MoveResult::Gone;
        }
    };
    std::thread other(claim, &b.imap, "P/Claimed/bob", 1);
    claim(&a.imap, "P/Claimed/ann", 0);
    other.join();
    EXPECT_EQ(nMoved[0] + nMoved[1], 50);
    EXPECT_EQ(nGone[0] + nGone[1], 50);
    size_t nIn = 0;
    for (const char* folder : { "P", "P/Claimed/ann", "P/Claimed/bob" }) {
        std::vector<Imap::MessageSummary> list;
        ASSERT_TRUE(a.imap.Select(folder));
        ASSERT_TRUE(a.imap.FetchSummaries({}, &list));
        nIn += list.size();
    }
    EXPECT_EQ(nIn, 50u);

    // A claim cut off between its reservation and its move: lifted once stale.
    uint32_t stuck = 0;
    ASSERT_TRUE(a.imap.Append("P", Message("ann", "1", "x"), &stuck));
    for (Imap* imap : { &a.imap, &b.imap })
        ASSERT_TRUE(imap->Select("P"));
    std::string out, keyword = "'$TavrineClaim" + std::to_string(a.imap.GetUidValidity()) + "'";
    ASSERT_EQ(server->Doveadm("flags add -u pool " + keyword + " mailbox P uid " + std::to_string(stuck), &out), 0)
        << out;
    Imap::Options options;
    options.staleClaimMs = 0;
    a.imap.SetOptions(options);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(b.imap.Move(stuck, "P/Claimed/bob"), Imap::MoveResult::Gone); // not stale yet for b
    EXPECT_EQ(a.imap.Move(stuck, "P/Claimed/ann"), Imap::MoveResult::Gone); // first seen
    uint32_t claimed = 0;
    EXPECT_EQ(a.imap.Move(stuck, "P/Claimed/ann", &claimed), Imap::MoveResult::Moved);
    // The reservation travels with the message; it does not stop its next move.
    ASSERT_TRUE(a.imap.CreateFolder("P/Done"));
    ASSERT_TRUE(a.imap.Select("P/Claimed/ann"));
    EXPECT_EQ(a.imap.Move(claimed, "P/Done"), Imap::MoveResult::Moved);
}

INSTANTIATE_TEST_SUITE_P(Separator, ImapDovecot, ::testing::Values('/', '.'),
    [](const auto& info) { return info.param == '/' ? std::string("Slash") : std::string("Dot"); });

// Capabilities the server may lack: MOVE (the claim is refused before
// anything is sent) and IDLE (a poll notices another client's APPEND).
TEST(ImapCapabilities, NoMoveRefusedAndChangesSeenWithAndWithoutIdle)
{
    TEST_REQUIRE_TOOL("dovecot");
    for (const bool bFull : { true, false }) {
        Server::Options options;
        options.bMove = options.bIdle = bFull;
        Server server({ { "pool", "pw" } }, options);
        ASSERT_TRUE(server.IsRunning()) << server.Log();
        test::TrustCertificate trust(server.CertFile());
        Session watcher(server, "pool", "pw"), sender(server, "pool", "pw");
        ASSERT_TRUE(sender.imap.CreateFolder("P/Claimed/ann"));
        uint32_t uid = 0;
        ASSERT_TRUE(sender.imap.Append("P", Message("ann", "1", "x"), &uid));
        ASSERT_TRUE(watcher.imap.Select("P"));
        EXPECT_EQ(watcher.imap.HasCapability("IDLE"), bFull);
        bool bChanged = true;
        ASSERT_TRUE(watcher.imap.WaitForChange(100, &bChanged)) << watcher.imap.GetLastErrorText();
        EXPECT_FALSE(bChanged);

        std::thread append([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_TRUE(sender.imap.Append("P", Message("bob", "1", "y")));
        });
        ASSERT_TRUE(watcher.imap.WaitForChange(20000, &bChanged)) << watcher.imap.GetLastErrorText();
        append.join();
        EXPECT_TRUE(bChanged);

        const Imap::MoveResult result = watcher.imap.Move(uid, "P/Claimed/ann");
        EXPECT_EQ(result, bFull ? Imap::MoveResult::Moved : Imap::MoveResult::Failed);
        if (!bFull) {
            EXPECT_EQ(watcher.imap.GetLastError(), Imap::Error::NoMove);
            EXPECT_NE(watcher.imap.GetLastErrorText().find("MOVE"), std::string::npos);
            std::vector<Imap::MessageSummary> list;
            ASSERT_TRUE(watcher.imap.FetchSummaries({}, &list));
            EXPECT_EQ(list.size(), 2u);
        }
    }
}

} // namespace
