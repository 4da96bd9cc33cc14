// A typist pool on a real Dovecot through the real tavrine-cli: two
// dictators fill the pool, three typists work it at once, and the server's
// folders afterwards are the judge (every dictation typed once, each typist
// in priority order, "Typed" back at both dictators); a mail of method 1 in a
// typist's own mailbox is a job there; and the faults a pool meets (the
// connection cut mid-APPEND or mid-claim, a wrong password, an untrusted
// certificate, a server without MOVE) give a clear message and lose nothing.
#include "foundation/LFile.h"
#include "foundation/LText.h"
#include "platform/LImapClient.h"
#include "send/LTypistPool.h"
#include "tests/app/CliFixture.h"
#include "tests/support/CuttingProxy.h"
#include "tests/support/ImapTestServer.h"
#include "tests/support/PySmtpServer.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace {

constexpr const char* kPool = "Pool";

class CliPool : public CliTest {
protected:
    // One person's own settings and data: a dictator or a typist.
    std::string As(const std::string& who) const
    {
        return "XDG_CONFIG_HOME=" + Q("cfg-" + who) + " XDG_DATA_HOME=" + Q("data-" + who) + " " + TAVRINE_CLI + " ";
    }
    int RunAs(const std::string& who, const std::string& args, std::string* pOut = nullptr)
    {
        std::string out;
        const int status = test::RunShell(As(who) + args + " 2>&1", &out);
        if (pOut)
            *pOut = out;
        return status;
    }
    static std::string Values(
        const std::string& prefix, const std::string& server, bool bPlain, const std::string& password = "pool-pw")
    {
        return prefix + "Server=" + server + " " + prefix + "UserName=pool " + prefix + "Password=" + password + " "
            + prefix + "Folder=" + kPool + (bPlain ? " " + prefix + "AllowPlain=1" : "");
    }
    // A dictator with a pool recipient, whose dictations are a sox-made tone.
    void Dictator(const std::string& who, uint32_t uUserID, const std::string& server, bool bPlain = false,
        const std::string& password = "pool-pw")
    {
        std::string out;
        ASSERT_EQ(RunAs(who, "settings set UserInfo UserID " + std::to_string(uUserID), &out), 0) << out;
        ASSERT_EQ(RunAs(who, "recipient add Pool SendMethod=5 " + Values("Pool", server, bPlain, password), &out), 0)
            << out;
        if (!test::HaveTool("sox") || access(File("tone.wav").c_str(), F_OK) == 0)
            return;
        Shell("sox -n -r 11025 -c 1 -b 16 " + Q("tone.wav") + " synth 1 sine 440");
    }
    // A recorded dictation sent to the pool, left in the queue; its number.
    std::string Queue(const std::string& who, int nPriority)
    {
        std::string number;
        EXPECT_EQ(RunAs(who, "new --priority " + std::to_string(nPriority), &number), 0) << number;
        number = number.substr(0, number.find('\n'));
        std::string out;
        EXPECT_EQ(RunAs(who, "record " + number + " --from " + Q("tone.wav"), &out), 0) << out;
        EXPECT_EQ(RunAs(who, "send " + number, &out), 0) << out;
        return number;
    }
    void Typist(
        const std::string& who, const std::string& server, bool bPlain = false, const std::string& password = "pool-pw")
    {
        std::string out;
        ASSERT_EQ(RunAs(who, "settings set Scribe TypistName " + who, &out), 0) << out;
        ASSERT_EQ(RunAs(who, "scribe source add Pool ImapPool=1 " + Values("Imap", server, bPlain, password), &out), 0)
            << out;
    }
    // A dictator's sent dictations' status column, after a status update.
    std::vector<std::string> SentStatuses(const std::string& who)
    {
        std::string out;
        RunAs(who, "status-update", &out);
        EXPECT_EQ(RunAs(who, "list --sent", &out), 0) << out;
        std::vector<std::string> statuses;
        for (const std::string& line : Split(out, '\n'))
            statuses.push_back(Split(line, '\t').at(6));
        return statuses;
    }

    // The pool's folders as the server holds them: of every folder that holds
    // messages, each one's author * 1000 + file number and its priority, in
    // the order they arrived there.
    using Held = std::map<std::string, std::vector<std::pair<uint32_t, int>>>;
    Held Folders(const std::string& server, const std::string& user = "pool", const std::string& password = "pool-pw")
    {
        Held held;
        LImapClient client;
        client.SetAllowPlain(true); // TLS where the server offers it
        std::vector<std::string> folders;
        EXPECT_TRUE(client.LogOn(server, user, password)) << client.GetLastErrorText();
        EXPECT_TRUE(client.ListFolders(kPool, &folders) || client.GetLastError() == LImapClient::Error::NoFolder);
        folders.push_back(kPool);
        for (const std::string& folder : folders) {
            std::vector<LImapClient::MessageSummary> summaries;
            if (!client.Select(folder, true) || !client.FetchSummaries(LTypistPool::ListedFields(), &summaries))
                continue;
            for (const LImapClient::MessageSummary& summary : summaries)
                if (summary.Field(LImapClient::kTicketField).empty()) // a cut claim's ticket is no dictation
                    held[folder].emplace_back(std::atoi(summary.Field(LTypistPool::kAuthorField).c_str()) * 1000
                            + std::atoi(summary.Field(LTypistPool::kFileNumberField).c_str()),
                        std::atoi(summary.Field(LTypistPool::kPriorityField).c_str()));
        }
        return held;
    }
    size_t Count(const Held& held, const std::string& prefix)
    {
        size_t n = 0;
        for (const auto& [folder, messages] : held)
            n += folder.rfind(prefix, 0) == 0 ? messages.size() : 0;
        return n;
    }

    test::ImapTestServer::Users users { { "pool", "pool-pw" }, { "ann", "ann-pw" } };
};

TEST_F(CliPool, TwoDictatorsFiftyDictationsThreeTypistsEachTypedOnceInPriorityOrderAndTypedBack)
{
    TEST_REQUIRE_TOOL("sox");
    test::ImapTestServer dovecot(users);
    ASSERT_TRUE(dovecot.IsRunning()) << dovecot.Log();
    test::TrustCertificate trust(dovecot.CertFile());
    const std::string server = dovecot.PlainServer();
    constexpr int kEach = 25;
    const int priorities[] = { 50, 100, 0, 255, 50, 10 };
    for (const auto& [who, uUserID] : { std::pair<std::string, uint32_t> { "dr1", 1 }, { "dr2", 2 } }) {
        Dictator(who, uUserID, server);
        for (int i = 0; i < kEach; ++i)
            Queue(who, priorities[(i + uUserID) % std::size(priorities)]);
        std::string out;
        ASSERT_EQ(RunAs(who, "queue work", &out), 0) << out;
    }
    ASSERT_EQ(Count(Folders(server), kPool), size_t { 2 * kEach });

    std::string script;
    for (const char* typist : { "ann", "bob", "cid" }) {
        Typist(typist, server);
        const std::string cli = As(typist) + "scribe ";
        script += "(i=0; while [ $i -lt 60 ] && job=$(" + cli + "claim --next); do id=${job%%\t*}; " + cli
            + "status \"$id\" Typing && " + cli + "done \"$id\" && echo \"$job\"; i=$((i+1)); done >" + Q(typist)
            + " 2>" + Q(std::string(typist) + ".err") + ") & ";
    }
    ASSERT_EQ(test::RunShell("timeout 600 sh -c " + test::ShellQuote(script + "wait")), 0);

    const Held held = Folders(server);
    std::map<uint32_t, int> typed;
    std::set<std::string> logged;
    size_t nLogged = 0;
    for (const char* typist : { "ann", "bob", "cid" }) {
        const auto it = held.find(LTypistPool::Folder(kPool, LTypistPool::kDone, typist));
        const std::vector<std::pair<uint32_t, int>> done = it == held.end() ? decltype(done) {} : it->second;
        for (size_t i = 0; i < done.size(); ++i) {
            ++typed[done[i].first];
            EXPECT_TRUE(i == 0 || done[i].second <= done[i - 1].second) << typist << " took a higher priority late";
        }
        for (const std::string& job : Split(test::ReadFileText(File(typist)), '\n'))
            ++nLogged, logged.insert(job);
        const std::string err = test::ReadFileText(File(std::string(typist) + ".err"));
        for (const std::string& line : Split(err, '\n'))
            EXPECT_TRUE(line.ends_with(": another typist took it") || line.ends_with("no waiting job is left to claim"))
                << err;
    }
    EXPECT_EQ(nLogged, size_t { 2 * kEach });
    EXPECT_EQ(logged.size(), size_t { 2 * kEach });
    EXPECT_EQ(typed.size(), size_t { 2 * kEach });
    for (const auto& [job, nTimes] : typed)
        EXPECT_EQ(nTimes, 1) << "typed " << nTimes << " times: " << job;
    EXPECT_EQ(Count(held, LTypistPool::Folder(kPool, LTypistPool::kDone)), size_t { 2 * kEach });
    EXPECT_EQ(Count(held, LTypistPool::Folder(kPool, LTypistPool::kClaimed)), 0u);
    EXPECT_EQ(held.count(kPool) ? held.at(kPool).size() : 0, 0u);
    for (const auto& [who, statuses] : { std::pair { "dr1", SentStatuses("dr1") }, { "dr2", SentStatuses("dr2") } }) {
        EXPECT_EQ(statuses.size(), size_t { kEach }) << who;
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Typed"), kEach) << who;
    }
}

// aiosmtpd takes the mail method's real mail; it cannot deliver into Dovecot,
// so the test appends that very mail to the typist's INBOX.
TEST_F(CliPool, AMailedDictationInTheTypistsMailboxIsListedAndOpened)
{
    TEST_REQUIRE_TOOL("sox");
    if (!test::HaveAiosmtpd())
        GTEST_SKIP() << "python3-aiosmtpd is not installed";
    test::ImapTestServer dovecot(users);
    ASSERT_TRUE(dovecot.IsRunning()) << dovecot.Log();
    test::TrustCertificate trust(dovecot.CertFile());
    test::PyServer smtp(env.Dir(), "smtp_server.py", "");
    ASSERT_NE(smtp.nPort, 0) << "aiosmtpd did not start";
    std::string out;
    for (const std::string& setting : { std::string("UserInfo UserID 7"), std::string("--machine Email UseMAPI 0"),
             std::string("--machine Email MailSMTPHost 127.0.0.1"),
             "--machine Email MailSMTPPort " + std::to_string(smtp.nPort) })
        ASSERT_EQ(RunAs("dr", "settings set " + setting, &out), 0) << out;
    ASSERT_EQ(RunAs("dr", "recipient add Ann SendMethod=1 EmailTo=ann@example.org", &out), 0) << out;
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("tone.wav") + " synth 1 sine 440");
    const std::string number = Queue("dr", 100);
    ASSERT_EQ(RunAs("dr", "queue work", &out), 0) << out;
    const std::string mail = smtp.Message(1)["raw.eml"];
    ASSERT_NE(mail.find("Tavrine Scribe"), std::string::npos) << mail;
    LImapClient client;
    ASSERT_TRUE(client.LogOn(dovecot.PlainServer(), "ann", "ann-pw")) << client.GetLastErrorText();
    ASSERT_TRUE(client.Append("INBOX", mail)) << client.GetLastErrorText();

    ASSERT_EQ(RunAs("ann", "settings set Scribe TypistName ann", &out), 0) << out;
    ASSERT_EQ(
        RunAs("ann",
            "scribe source add Mail ImapServer=" + dovecot.PlainServer() + " ImapUserName=ann ImapPassword=ann-pw",
            &out),
        0)
        << out;
    ASSERT_EQ(RunAs("ann", "scribe inbox", &out), 0) << out;
    const std::vector<std::string> job = Split(out.substr(0, out.find('\n')), '\t');
    ASSERT_EQ(job.size(), 6u) << out;
    EXPECT_EQ(job[1], "7");
    EXPECT_EQ(job[2], number);
    EXPECT_EQ(job[4], "High");
    ASSERT_EQ(RunAs("ann", "scribe claim " + test::ShellQuote(job[0]), &out), 0) << out;
    ASSERT_TRUE(CreateFolder(File("opened")));
    ASSERT_EQ(RunAs("ann", "scribe open " + test::ShellQuote(job[0]) + " --extract " + Q("opened"), &out), 0) << out;
    EXPECT_EQ(Shell("soxi -D " + Q("opened") + "/*.wav").substr(0, 3), "1.0");
}

// Each fault through the real programs: the pool is reached through the
// cutting proxy (plain text where a cut must find its place), and what the
// server holds afterwards is compared with what the program said.
struct Fault {
    const char* name;
    bool bClaim; // the typist's claim, else the dictator's send
    const char* cut; // where the proxy cuts what the program sends; null: no cut
    size_t nAfter;
    const char* ssl; // Dovecot's
    bool bMove;
    bool bTrusted; // the test certificate in SSL_CERT_FILE
    const char* password;
    const char* said;
};

const Fault kFaults[] = {
    { "CutMidAppend", false, "APPEND", 3000, "no", true, true, "pool-pw", "could not be placed in the typist pool" },
    { "WrongPassword", false, nullptr, 0, "yes", true, true, "wrong", "Unable to log on to the mail server" },
    { "UntrustedCertificate", false, nullptr, 0, "yes", true, false, "pool-pw", "could not be verified" },
    { "CutBeforeTheServerHasTheClaim", true, "UID MOVE", 0, "no", true, true, "pool-pw", "cannot claim" },
    { "CutAfterTheClaimsTicket", true, "HEADER X-Tavrine-Ticket", test::CuttingProxy::kThroughLine, "no", true, true,
        "pool-pw", "cannot claim" },
    { "CutAfterTheServerHasTheClaim", true, "UID MOVE", test::CuttingProxy::kThroughLine, "no", true, true, "pool-pw",
        "cannot claim" },
    { "ClaimWithAWrongPassword", true, nullptr, 0, "yes", true, true, "wrong", "cannot log on" },
    { "ClaimOverAnUntrustedCertificate", true, nullptr, 0, "yes", true, false, "pool-pw", "cannot log on" },
    { "ServerWithoutMove", true, nullptr, 0, "yes", false, true, "pool-pw", "lacks the MOVE capability" },
};

void PrintTo(const Fault& row, std::ostream* pOut)
{
    *pOut << row.name;
}

class CliPoolFault : public CliPool, public ::testing::WithParamInterface<Fault> { };

TEST_P(CliPoolFault, SaysWhatWentWrongAndLosesNothing)
{
    TEST_REQUIRE_TOOL("sox");
    const Fault& row = GetParam();
    test::ImapTestServer::Options options;
    options.ssl = row.ssl;
    options.bMove = row.bMove;
    test::ImapTestServer dovecot(users, options);
    ASSERT_TRUE(dovecot.IsRunning()) << dovecot.Log();
    std::optional<test::TrustCertificate> trust(std::in_place, dovecot.CertFile());
    const bool bPlain = std::string(row.ssl) == "no";
    const std::string direct = dovecot.PlainServer(); // STARTTLS unless ssl is "no"
    test::CuttingProxy proxy(dovecot.PlainPort());
    const std::string number = [&] {
        Dictator("dr", 7, row.bClaim ? direct : proxy.Server(), bPlain, row.bClaim ? "pool-pw" : row.password);
        return Queue("dr", 100);
    }();
    std::string out;
    if (row.bClaim) {
        ASSERT_EQ(RunAs("dr", "queue work", &out), 0) << out;
        Typist("ann", proxy.Server(), bPlain, row.password);
    }
    if (!row.bTrusted)
        trust.reset();
    if (row.cut)
        proxy.CutAt(row.cut, row.nAfter);
    const int nStatus = RunAs(row.bClaim ? "ann" : "dr", row.bClaim ? "scribe claim --next" : "queue work", &out);
    EXPECT_NE(nStatus, 0) << out;
    EXPECT_CONTAINS(out, row.said);
    EXPECT_EQ(proxy.Cuts(), row.cut ? 1 : 0);
    trust.emplace(dovecot.CertFile());

    const Held held = Folders(direct);
    const size_t nWaiting = held.count(kPool) ? held.at(kPool).size() : 0;
    const size_t nClaimed = Count(held, LTypistPool::Folder(kPool, LTypistPool::kClaimed));
    if (row.bClaim) {
        EXPECT_EQ(nWaiting + nClaimed, 1u) << "the dictation is not in exactly one folder";
        if (row.cut) { // and the typist still sees it and can hold it at once
            std::string listed;
            ASSERT_EQ(test::RunShell(As("ann") + "scribe inbox --all 2>/dev/null", &listed), 0);
            EXPECT_EQ(Split(listed, '\n').size(), 1u) << listed;
            RunAs("ann", "scribe claim --next", &out);
            const Held after = Folders(direct);
            EXPECT_EQ(Count(after, LTypistPool::Folder(kPool, LTypistPool::kClaimed)), 1u) << out;
        }
        return;
    }
    // Never "Placed in pool" without a message there: back in Current, unsent.
    EXPECT_EQ(nWaiting, 0u);
    ASSERT_EQ(RunAs("dr", "list", &out), 0);
    EXPECT_EQ(Split(out, '\t').at(0), number) << out;
    EXPECT_EQ(out.find("Placed in pool"), std::string::npos) << out;
    if (row.cut) { // the proxy passes the second try
        ASSERT_EQ(RunAs("dr", "send " + number, &out), 0) << out;
        ASSERT_EQ(RunAs("dr", "queue work", &out), 0) << out;
        EXPECT_EQ(Folders(direct)[kPool].size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Pool, CliPoolFault, ::testing::ValuesIn(kFaults),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

} // namespace
