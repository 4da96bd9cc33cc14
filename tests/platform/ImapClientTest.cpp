// The IMAP client against a real Dovecot: log-on over TLS or refused with the
// right reason, folders, messages and claims as the pool uses them, and
// change notices by IDLE or by polling.
#include "platform/LImapClient.h"
#include "tests/support/ImapTestServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
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

// Three claimers race for every message: each is claimed exactly once (a
// plain MOVE lets two copy it), and no ticket is left behind.
TEST_P(ImapDovecot, ClaimsRaceExactlyOneWins)
{
    constexpr int kClaimers = 3;
    std::vector<std::unique_ptr<Session>> sessions;
    for (int n = 0; n < kClaimers; ++n) {
        sessions.push_back(std::make_unique<Session>(*server, "pool", "pool-pw"));
        ASSERT_TRUE(sessions.back()->imap.CreateFolder("P/Claimed/t" + std::to_string(n)));
    }
    Imap& a = sessions[0]->imap;
    std::vector<uint32_t> uids(40);
    for (uint32_t& uid : uids)
        ASSERT_TRUE(a.Append("P", Message("ann", "1", "x"), &uid));
    int nMoved[kClaimers] = {}, nGone[kClaimers] = {};
    auto claim = [&](int n) {
        Imap& imap = sessions[n]->imap;
        if (!imap.Select("P"))
            return;
        for (uint32_t uid : uids) {
            uint32_t uNew = 0;
            const Imap::MoveResult result = imap.Claim(uid, "P/Claimed/t" + std::to_string(n), &uNew);
            nMoved[n] += result == Imap::MoveResult::Moved && uNew != 0;
            nGone[n] += result == Imap::MoveResult::Gone;
        }
    };
    std::vector<std::thread> others;
    for (int n = 1; n < kClaimers; ++n)
        others.emplace_back(claim, n);
    claim(0);
    for (std::thread& t : others)
        t.join();
    EXPECT_EQ(nMoved[0] + nMoved[1] + nMoved[2], 40);
    EXPECT_EQ(nGone[0] + nGone[1] + nGone[2], 80);
    size_t nIn = 0;
    for (const char* folder : { "P", "P/Claimed/t0", "P/Claimed/t1", "P/Claimed/t2" }) {
        std::vector<Imap::MessageSummary> list;
        ASSERT_TRUE(a.Select(folder));
        ASSERT_TRUE(a.FetchSummaries({}, &list));
        nIn += list.size();
    }
    EXPECT_EQ(nIn, 40u);

    // A claim cut off between its ticket and its move: another claimer waits
    // for it to go stale, the same typist takes it over at once.
    const auto serverName = [](std::string folder) {
        std::replace(folder.begin(), folder.end(), '/', GetParam());
        return folder;
    };
    Imap& b = sessions[1]->imap;
    for (const char* into : { "P/Claimed/nobody", "P/Claimed/t0" }) {
        uint32_t stuck = 0;
        ASSERT_TRUE(a.Append("P", Message("ann", "1", "x"), &stuck));
        ASSERT_TRUE(a.Select("P") && b.Select("P"));
        ASSERT_TRUE(a.AppendFlagged("P",
            std::string(Imap::kTicketField) + ": <" + std::to_string(a.GetUidValidity()) + "-" + std::to_string(stuck)
                + ">\r\nX-Tavrine-Claimer: cut\r\nX-Tavrine-Claim-Into: " + serverName(into) + "\r\n\r\n",
            Imap::kTicketKeyword));
        EXPECT_EQ(b.Claim(stuck, "P/Claimed/t1"), Imap::MoveResult::Gone) << into;
        Imap::Options options;
        if (std::string(into) == "P/Claimed/nobody") {
            options.staleClaimMs = 1000; // arrival times count whole seconds
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        }
        a.SetOptions(options);
        EXPECT_EQ(a.Claim(stuck, "P/Claimed/t0"), Imap::MoveResult::Moved) << into;
    }
    std::vector<Imap::MessageSummary> left;
    ASSERT_TRUE(a.FetchSummaries({}, &left));
    EXPECT_TRUE(left.empty());
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

        const Imap::MoveResult result = watcher.imap.Claim(uid, "P/Claimed/ann");
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
