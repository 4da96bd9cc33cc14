// Delivery to real servers. The mail client against aiosmtpd (with a certificate made here and trusted
// through SSL_CERT_FILE) and against a scripted server for what a real one will not do. FTP against pyftpdlib (plain
// and TLS_FTPHandler), whose own log shows what a typist's program polling the directory saw.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LDelivery.h"
#include "send/LEmailSMTP.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/PySmtpServer.h"
#include "tests/support/Records.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using test::Fields;
using test::PyServer;
using test::ReadText;

std::string MakeFile(const test::TempDir& dir, const std::string& name, size_t nBytes)
{
    std::vector<uint8_t> data(nBytes);
    for (size_t i = 0; i < nBytes; ++i)
        data[i] = static_cast<uint8_t>((i * 7919) >> 3);
    test::WriteFileBytes(dir.File(name), data);
    return dir.File(name);
}

void ExpectFailure(JobResult nResult, const LTestProgress& p, const char* szError)
{
    EXPECT_EQ(JobResult::kFailed, nResult);
    ASSERT_EQ(1u, p.errors.size());
    EXPECT_NE(std::string::npos, p.errors[0].find(szError)) << p.errors[0];
}

class StopProgress : public LTestProgress {
public:
    bool Pump() override { return bStop; }
    std::atomic<bool> bStop { false };
};

class MailTest : public ::testing::Test {
protected:
    LEmailRequest Request(int nPort, const std::vector<std::string>& attachments = {})
    {
        return { "typist@example.org", "ann@example.org", "Tavrine Dictate Dictation", "File: 12-345 Letter\r\n",
            attachments, "127.0.0.1", nPort };
    }
    test::IsolatedEnvironment env;
    test::TempDir dir;
    LTestProgress progress;
    // Short enough that a stalled server ends a case in seconds, long enough for a loaded machine.
    LSMTPOptions quick { 3000, 3000, 3000, 3000, true };
};

TEST_F(MailTest, RealServerReceivesTheMessageOverEveryKindOfConnection)
{
    TEST_REQUIRE_TOOL("openssl");
    if (!test::HaveAiosmtpd())
        GTEST_SKIP() << "python3-aiosmtpd not installed (run scripts/setup.sh)";
    // Self-signed certificates: two trusted through SSL_CERT_FILE, one not.
    for (auto [szName, szSan] : { std::pair { "good", "DNS:localhost,IP:127.0.0.1" }, { "other", "DNS:localhost" },
             { "stranger", "DNS:localhost" } })
        ASSERT_NE(test::MakeTestCertificate(dir, szName, szSan), "");
    test::RunShell("cat " + dir.File("good.crt") + " " + dir.File("other.crt") + " >" + dir.File("trusted.pem"));
    setenv("SSL_CERT_FILE", dir.File("trusted.pem").c_str(), 1);
    std::string transfer = MakeFile(dir, "12-345 Letter by Ann.dct", 100000);
    auto certs = [&](const char* szStem) {
        return std::string(" --cert ") + dir.File(szStem) + ".crt --key " + dir.File(szStem) + ".key";
    };
    struct Case {
        const char* szArgs;
        std::string host;
        bool bTls;
        const char* szError; // empty: delivered
        const char* szCert = "good";
    } cases[] = {
        { "--mode plain --user ann --password 'pa:ss:word'", "127.0.0.1:ann:pa:ss:word", false, "" },
        { "--mode starttls --user ann --password 'x:y'", "localhost:ann:x:y", true, "" },
        { "--mode tls", "localhost", true, "" },
        { "--mode tls", "127.0.0.1", false, "could not be verified (IP address mismatch)", "other" },
        { "--mode starttls", "localhost", false, "could not be verified (self-signed certificate)", "stranger" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szArgs + (" " + c.host));
        std::string args = c.szArgs;
        PyServer server(dir, "smtp_server.py", args + (args.find("plain") != std::string::npos ? "" : certs(c.szCert)));
        LEmailRequest r = Request(server.nPort, { transfer });
        r.hostSetting = c.host;
        r.recipients = "typist@example.org, second@example.org";
        r.body = ".starts with a dot\r\ngc0p4Jq0M2Yt08jU534c0\r\n.\r\nend"; // the boundary of n = 0
        r.bImplicitTls = args.find("mode tls") != std::string::npos;
        LTestProgress p;
        const JobResult nResult = EmailSMTPSendProcess(p, r);
        if (*c.szError) {
            ExpectFailure(nResult, p, c.szError);
            continue;
        }
        ASSERT_EQ(JobResult::kDone, nResult) << (p.errors.empty() ? "" : p.errors[0]);
        Fields m = server.Message(1);
        for (const auto& [key, value] : Fields { { "envelope-to", "typist@example.org,second@example.org" },
                 { "From", "ann@example.org" }, { "Subject", "Tavrine Dictate Dictation" },
                 { "tls", c.bTls ? "True" : "False" }, { "content-type", "multipart/mixed" },
                 { "boundary", "gc0p4Jq0M2Yt08jU534c1" }, { "defects", "0" }, { "body", r.body },
                 { "att0", "application/octet-stream 12-345 Letter by Ann.dct" }, { "att0.bin", ReadText(transfer) } })
            EXPECT_EQ(value, m[key]) << key;
        EXPECT_NEAR(double(time(nullptr)), std::stod(m["date-epoch"]), 10);
        EXPECT_TRUE(m["X-Mailer"].starts_with("Tavrine Dictate ")) << m["X-Mailer"];
    }
    unsetenv("SSL_CERT_FILE");
}

TEST_F(MailTest, EachRefusalEndsTheDialogueWithItsMessageAndNoMessageIsDelivered)
{
    std::string transfer = MakeFile(dir, "big.dct", 2000000);
    // More than the kernel buffers both ends can hold (4 MB sending, a few MB received unread), so the close always
    // meets the message still being written, never only its terminator.
    std::string huge = MakeFile(dir, "huge.dct", 16000000);
    const char* szAuth = "127.0.0.1:ann:pw";
    struct Case {
        std::initializer_list<std::string> replies;
        std::string host;
        const char* szError;
        bool bTrustLoopback = true;
        bool bHuge = false;
    } cases[] = {
        { { "GREETING=554 go away" }, "127.0.0.1", "Mail server not responding" },
        { { "EHLO=502 no", "HELO=501 no" }, "127.0.0.1", "(HELO not accepted)" },
        { { "EHLO=250-x|250 STARTTLS", "STAR=454 later" }, "127.0.0.1", "did not start it" },
        { { "AUTH-PASS=535 no" }, szAuth, "Email authentication username or password not accepted" },
        { {}, szAuth, "offers no encrypted connection", false },
        { { "MAIL=550 no" }, "127.0.0.1", "(MAIL FROM not accepted)" },
        { { "RCPT=550 no" }, "127.0.0.1", "(RCPT TO not accepted). Your server may required authenticated" },
        { { "DATA=451 later" }, "127.0.0.1", "(DATA not accepted)" },
        { { "DATA-CLOSE=1" }, "127.0.0.1", "failed while the message was sent", true, true },
        { { "END=552 too big" }, "127.0.0.1", "(data terminator not accepted)" },
        { {}, "", "you have not entered your SMTP host using Email Settings." },
        { {}, "127.0.0.1:ann:pw\r\nRSET", "the mail server setting contains a line break" },
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.szError);
        PyServer server = test::Scripted(dir, c.replies);
        LEmailRequest r = Request(server.nPort, { c.bHuge ? huge : transfer });
        r.hostSetting = c.host;
        LTestProgress p;
        quick.bTrustLoopback = c.bTrustLoopback;
        auto start = Clock::now();
        ExpectFailure(EmailSMTPSendProcess(p, r, quick), p, c.szError);
        // Ended by the 2 s limits, far short of the real ones (minutes), however loaded the machine.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
        std::string received = server.Received();
        bool bEnded = c.replies.size() && c.replies.begin()->starts_with("END");
        EXPECT_EQ(bEnded, received.find("\r\n.\r\n") != std::string::npos);
        EXPECT_TRUE(c.bTrustLoopback || received.find("AUTH") == std::string::npos) << "password in plain text";
    }
}

TEST_F(MailTest, SendingLogsOnWithTheUsersOwnLogonAndMovesAnOldOneOutOfTheMachineFile)
{
    if (!test::HaveAiosmtpd())
        GTEST_SKIP() << "python3-aiosmtpd not installed (run scripts/setup.sh)";
    PyServer server(dir, "smtp_server.py", "--mode plain --user ann --password 'pa:ss'"); // refuses mail without AUTH
    LDeliveryRequest request;
    ASSERT_EQ(LDictationEngineSettings::AddSendTo(
                  "Typist", { { "SendMethod", "1" }, { "EmailTo", "t@example.org" } }, &request.uSendTo),
        LDictationEngineSettings::AddSendToResult::Added);
    // What a typist's program lists the mailbox by; names and notes only when not sealed.
    request.uUserID = 4000000000u;
    request.uFileNumber = 345;
    request.uPriority = 200;
    request.dictationName = "Befund Müller";
    request.userName = "Dr. Jürgen Weiß";
    request.notes = "Bitte bis Freitag – danke";
    request.nLengthMs = 61000;
    request.tCreated = 1796000000;
    // The machine-wide value and the user's own password for ann (null: none); the user's own wins.
    const std::pair<const char*, const char*> cases[]
        = { { "127.0.0.1:ann:pa:ss", nullptr }, { "127.0.0.1", "pa:ss" }, { "127.0.0.1:ann:old", "pa:ss" } };
    for (int i = 0; auto [szMachine, szUserPassword] : cases) {
        SCOPED_TRACE(szMachine);
        DeleteSetting("Email", "MailSMTPUser");
        for (auto [szName, value] : { std::pair { "UseMAPI", std::string("0") }, { "MailSMTPHost", szMachine },
                 { "MailSMTPPort", std::to_string(server.nPort) } })
            ASSERT_TRUE(SetMachineString("Email", szName, value));
        if (szUserPassword)
            SetSettingStrings("Email", { { "MailSMTPUser", "ann" }, { "MailSMTPPassword", szUserPassword } });
        LTestProgress p;
        std::string status;
        request.bSealed = i == 1;
        EXPECT_EQ(JobResult::kDone, DeliverByMail(request, p, &status)) << (p.errors.empty() ? "" : p.errors[0]);
        Fields m = server.Message(++i);
        EXPECT_EQ("t@example.org", m["envelope-to"]);
        for (const auto& [key, value] :
            Fields { { "x-tavrine-kind", "dictation" }, { "x-tavrine-author", "4000000000" },
                { "x-tavrine-file-number", "345" }, { "x-tavrine-priority", "200" }, { "x-tavrine-length-ms", "61000" },
                { "x-tavrine-created", "1796000000" },
                { "x-tavrine-name", request.bSealed ? "" : request.dictationName },
                { "x-tavrine-author-name", request.bSealed ? "" : request.userName },
                { "x-tavrine-notes", request.bSealed ? "" : request.notes } })
            EXPECT_EQ(value, m[key]) << key;
        EXPECT_EQ("127.0.0.1 ann pa:ss",
            GetMachineString("Email", "MailSMTPHost", "") + " " + GetSettingString("Email", "MailSMTPUser", "") + " "
                + GetSettingString("Email", "MailSMTPPassword", ""));
        EXPECT_EQ(std::string::npos, ReadText(GetMachineSettingsPath()).find("pa:ss"));
        struct stat st { };
        EXPECT_TRUE(stat(GetUserSettingsPath().c_str(), &st) == 0 && (st.st_mode & 07777) == 0600);
    }
}

TEST(MailDate, OffsetInForceEastAndWestWithAndWithoutSummerTime)
{
    const char* saved = getenv("TZ");
    for (const char* szZone :
        { "AEST-10AEDT,M10.1.0,M4.1.0/3", "EST5EDT,M3.2.0,M11.1.0", "NST3:30NDT,M3.2.0,M11.1.0" }) {
        for (time_t t : { time_t(1768478400), time_t(1784116800) }) { // mid-January and mid-July 2026
            setenv("TZ", szZone, 1);
            tzset();
            std::string expected;
            test::RunShell("TZ=" + test::ShellQuote(szZone)
                    + " /usr/bin/python3 -c 'import time; print(time.strftime(\"%a, %d %b %Y %H:%M:%S %z\", "
                      "time.localtime("
                    + std::to_string(t) + ")), end=\"\")'",
                &expected);
            EXPECT_EQ(expected, EmailDateText(t)) << szZone;
        }
    }
    saved ? setenv("TZ", saved, 1) : unsetenv("TZ");
    tzset();
}

using test::FtpServer;
using test::ShellQuote;
const std::string kFinal = "12-345_letter_by_ann_lee.dct";

// Asks for a stop once the progress has passed the given fraction.
struct StopPast : LTestProgress {
    double f = 0.3;
    bool Pump() override { return !fractions.empty() && fractions.back() >= f; }
};

class FtpDelivery : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::RunShell("/usr/bin/python3 -c 'import pyftpdlib, OpenSSL' 2>/dev/null") != 0) {
            if (test::InCI())
                FAIL() << "python3-pyftpdlib and python3-openssl are required in CI";
            GTEST_SKIP() << "python3-pyftpdlib or python3-openssl not installed (run scripts/setup.sh)";
        }
        TEST_REQUIRE_TOOL("openssl");
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        ASSERT_TRUE(test::WriteFileBytes(transfer, payload));
        for (auto [key, value] :
            { std::pair { "SendMethod", "3" }, { "FtpUserName", "typist" }, { "FtpPassword", "secret" } })
            Set(key, value);
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }

    static void Set(const std::string& key, const std::string& value) { SetSettingString("SendTo1", key, value); }
    // A certificate (name.crt) and a PEM with it and its key (returned) for subjectAltName san.
    std::string MakeCert(const std::string& name, const std::string& san)
    {
        return test::MakeTestCertificate(dir, name, san);
    }
    enum Kind { kPlain, kTrusted, kOtherHost, kUnknownIssuer };
    // Plain FTP, or TLS with a certificate the trust store holds (for another host name, or not).
    std::unique_ptr<FtpServer> Server(Kind kind, const std::string& options = {})
    {
        if (kind == kPlain)
            return std::make_unique<FtpServer>("", options);
        std::string trusted = MakeCert("good", kind == kOtherHost ? "DNS:typist.example" : "IP:127.0.0.1");
        setenv("SSL_CERT_FILE", dir.File("good.crt").c_str(), 1);
        return std::make_unique<FtpServer>(
            kind == kUnknownIssuer ? MakeCert("unknown", "IP:127.0.0.1") : trusted, options);
    }
    JobResult Deliver(const FtpServer& server, LProgressReporter& progress, uint32_t uStatusFileMs = 15000,
        uint32_t uStatusFetchMs = 60000)
    {
        Set("FtpServer", server.Server());
        LDeliveryRequest request;
        request.transferPath = transfer;
        request.baseName = "12-345 Letter by Ann Lee";
        request.uUserID = 12;
        request.userName = "Ann Lee";
        request.sentFolder = engine.GetSentFolder();
        request.uStatusFileMs = uStatusFileMs;
        request.uStatusFetchMs = uStatusFetchMs;
        status.clear();
        return DeliverByFtp(request, progress, &status);
    }
    std::string Sent(uint32_t n) const { return FilePathCat(engine.GetSentFolder(), std::to_string(n) + ".ddf"); }

    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    test::TempDir dir;
    std::vector<uint8_t> payload = std::vector<uint8_t>(300000);
    std::string transfer = dir.File("12-345 Letter by Ann Lee.dct");
    std::string status;
};

// An empty user name is the anonymous log-on, which carries no secret: plain text needs no permission.
TEST_F(FtpDelivery, UploadsUnderATemporaryNameRenamedToAFreeFinalName)
{
    for (auto [bTls, directory, user] :
        { std::tuple { false, "", "typist" }, { true, "in box", "typist" }, { false, "", "" }, { true, "", "" } }) {
        SCOPED_TRACE(std::string(bTls ? "TLS" : "plain") + " directory '" + directory + "' user '" + user + "'");
        std::unique_ptr<FtpServer> server = Server(bTls ? kTrusted : kPlain, *user ? "" : "--anonymous");
        Set("FtpAllowPlain", bTls || !*user ? "0" : "1");
        Set("FtpUserName", user);
        Set("FtpDirectory", directory);
        std::string folder = std::string(directory) + (*directory ? "/" : "");
        test::RunShell("mkdir -p " + ShellQuote(server->Root() + "/" + folder));
        for (const std::string& name : { kFinal, std::string("12-345_letter_by_ann_lee_(2).dct") }) {
            LTestProgress progress;
            ASSERT_EQ(Deliver(*server, progress), JobResult::kDone)
                << (progress.errors.empty() ? "" : progress.errors[0]);
            EXPECT_TRUE(progress.errors.empty()) << "no status files on the server is no failure";
            EXPECT_EQ(status, "Uploaded");
            EXPECT_EQ(test::ReadFileBytes(server->Root() + "/" + folder + name), payload) << name;
            std::vector<std::string> seen = server->Lines("RECEIVED " + name + "_ ");
            ASSERT_EQ(seen.size(), 1u) << "uploaded under the temporary name";
            for (const std::string& line : server->Lines("DATA "))
                seen.push_back(line);
            for (const std::string& line : seen)
                EXPECT_FALSE(FtpServer::Lists(line, folder + name)) << "final name before the upload was complete";
        }
        EXPECT_FALSE(std::ifstream(server->Root() + "/" + folder + kFinal + "_").good());
        EXPECT_EQ(server->Lines("CMD USER " + std::string(*user ? user : "anonymous") + " ").size(), 2u)
            << "one connection for all steps of a delivery";
        EXPECT_EQ(server->Lines("CMD CWD").empty(), !*directory) << "no directory request for an empty setting";
        for (const std::string& line : server->Lines("CMD PASS"))
            EXPECT_NE(line.find(bTls ? "tls=1" : "tls=0"), std::string::npos) << line;
    }
}

// Plain text is allowed for the certificates, to show that a failed verification never falls back to it.
TEST_F(FtpDelivery, FailuresBeforeTheUploadNameTheirCause)
{
    const char* szUnverified = "The identity of the ftp server \"%s\" could not be verified, so nothing was sent (";
    struct Case {
        Kind kind;
        const char *szDirectory, *szPassword, *szMessage;
    } cases[] = {
        { kTrusted, "missing", "secret",
            "Ftp upload failed because the directory \"missing\" was not found on the server \"%s\"." },
        { kTrusted, "", "wrong",
            "Unable to logon to ftp server \"%s\" with user name \"typist\" and the entered password." },
        { kPlain, "", "secret",
            "The ftp server \"%s\" does not offer an encrypted connection (TLS), so the password was not sent. To "
            "send to this server in plain text, tick \"Allow sending to this server without encryption\" in the "
            "recipient's properties." },
        { kOtherHost, "", "secret", szUnverified },
        { kUnknownIssuer, "", "secret", szUnverified },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szMessage);
        std::unique_ptr<FtpServer> server = Server(c.kind);
        Set("FtpDirectory", c.szDirectory);
        Set("FtpPassword", c.szPassword);
        Set("FtpAllowPlain", c.kind > kPlain ? "1" : "0");
        LTestProgress progress;
        EXPECT_EQ(Deliver(*server, progress), JobResult::kFailed);
        ASSERT_EQ(progress.errors.size(), 1u);
        std::string expected = tplprintf(c.szMessage, server->Server());
        EXPECT_EQ(progress.errors[0].substr(0, c.kind > kTrusted ? expected.size() : std::string::npos), expected);
        EXPECT_TRUE(server->Lines("CMD STOR").empty());
        EXPECT_EQ(server->Lines("CMD PASS").empty(), c.kind != kTrusted) << "no password in clear text";
    }
}

// A data connection reset before the server read the last bytes still gets "226" from some servers.
TEST_F(FtpDelivery, AnUploadTheServerKeptShortIsAFailureAndLeavesNoFile)
{
    std::unique_ptr<FtpServer> server = Server(kTrusted, "--lose-tail 100");
    LTestProgress progress;
    EXPECT_EQ(Deliver(*server, progress), JobResult::kFailed);
    ASSERT_EQ(progress.errors.size(), 1u);
    EXPECT_EQ(progress.errors[0], "Ftp upload of file \"" + kFinal + "\" failed.");
    EXPECT_NE(status, "Uploaded");
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal).good());
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal + "_").good()) << "the short upload is deleted";
    EXPECT_TRUE(server->Lines("CMD RNFR").empty());
    EXPECT_EQ(server->Lines("CMD STOR").size(), 2u) << "tried once more";
}

// Without a listing only a 550 to SIZE frees the final name; otherwise the upload takes the numbered name with the
// time in it, since a rename may replace the typist's uncollected file.
TEST_F(FtpDelivery, WithoutAListingTheTypistsUncollectedFileIsNeverReplaced)
{
    Set("FtpAllowPlain", "1");
    const std::vector<uint8_t> typists { 'o', 'l', 'd' };
    for (std::string nlst : { "fail", "huge" }) {
        for (bool bTaken : { true, false }) {
            SCOPED_TRACE(nlst + (bTaken ? " taken" : " free"));
            std::unique_ptr<FtpServer> server = Server(kPlain, "--nlst " + nlst);
            ASSERT_TRUE(!bTaken || test::WriteFileBytes(server->Root() + "/" + kFinal, typists));
            LTestProgress progress;
            ASSERT_EQ(Deliver(*server, progress), JobResult::kDone);
            std::set<std::string> names; // the final name sorts first
            for (const auto& entry : std::filesystem::directory_iterator(server->Root()))
                names.insert(entry.path().filename());
            ASSERT_EQ(names.size(), bTaken ? 2u : 1u);
            EXPECT_EQ(test::ReadFileBytes(server->Root() + "/" + kFinal), bTaken ? typists : payload);
            EXPECT_EQ(test::ReadFileBytes(server->Root() + "/" + *names.rbegin()), payload);
            EXPECT_TRUE(!bTaken
                || std::regex_match(*names.rbegin(), std::regex(R"(12-345_letter_by_ann_lee_\(\d{8}-\d{6}\)\.dct)")))
                << *names.rbegin();
        }
    }
}

// A status file sent a byte a time is cut off at its bound and skipped with a line; the files after it are still read,
// until the whole fetch's bound runs out. Bounds above a second: libcurl 7.88 at times starts a passive data connection
// only at its next wake-up, a second later.
TEST_F(FtpDelivery, StatusFilesThatComeTooSlowlyAreSkippedWithinTheirBounds)
{
    // The record of s0000012.sta, then of s0000012-1.sta to -3.sta.
    const std::pair<uint32_t, const char*> records[] { { 7, "Typing" }, { 8, "Slow" }, { 9, "Done" }, { 8, "Last" } };
    const std::string slowly = "\" skipped: the server sent it too slowly";
    struct Case {
        const char* szDrip;
        uint32_t uFileMs, uFetchMs;
        std::vector<std::string> statuses, skipped; // statuses of 7, 8 and 9; the skip lines' beginnings
    } cases[] = {
        { "s0000012-1.sta", 2500, 30000, { "Typing", "Last", "Done" }, { "s0000012-1.sta" + slowly } },
        // The second is cut at its own bound or at the whole fetch's, as the machine's load decides.
        { "s0000012-[12].sta", 2500, 4000, { "Typing", "", "" },
            { "s0000012-1.sta" + slowly,
                "s0000012-2.sta\" skipped: ", "s0000012-3.sta\" skipped: the time for reading status files ran out" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szDrip);
        std::unique_ptr<FtpServer> server = Server(kPlain, std::string("--drip '") + c.szDrip + "'");
        Set("FtpAllowPlain", "1");
        for (uint32_t i = 0; i < 4; ++i) {
            std::vector<uint8_t> bytes { 0, 0, 0, 0 };
            test::StatusRecord(bytes, 0, records[i].first, records[i].second);
            ASSERT_TRUE(
                test::WriteFileBytes(server->Root() + (i ? tplprintf("/s0000012-%d.sta", i) : "/s0000012.sta"), bytes));
            ASSERT_TRUE(!i || test::WriteFileBytes(Sent(6 + i), test::DdfBytes(6 + i)));
        }
        LTestProgress progress;
        ASSERT_EQ(Deliver(*server, progress, c.uFileMs, c.uFetchMs), JobResult::kDone);
        EXPECT_EQ(status, "Uploaded");
        std::vector<std::string> statuses, skipped;
        for (uint32_t n : { 7, 8, 9 })
            statuses.emplace_back(LDictation(Sent(n)).GetSendStatus());
        for (const std::string& text : progress.texts)
            if (text.starts_with("Status file \""))
                skipped.push_back(text.substr(13));
        EXPECT_EQ(statuses, c.statuses);
        ASSERT_EQ(skipped.size(), c.skipped.size());
        for (size_t i = 0; i < skipped.size(); ++i)
            EXPECT_TRUE(skipped[i].starts_with(c.skipped[i])) << skipped[i];
    }
}

} // namespace
