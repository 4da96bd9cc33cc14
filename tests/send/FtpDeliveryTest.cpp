// FTP delivery against a real server (pyftpdlib, plain and TLS_FTPHandler)
// whose own log shows what a typist's program polling the directory saw.
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LDelivery.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

namespace {

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
        std::string key = ShellQuote(dir.File(name + ".key")), crt = ShellQuote(dir.File(name + ".crt"));
        EXPECT_EQ(test::RunShell("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=test -addext "
                      + ShellQuote("subjectAltName=" + san) + " -keyout " + key + " -out " + crt
                      + " 2>/dev/null && cat " + crt + " " + key + " > " + ShellQuote(dir.File(name + ".pem"))),
            0);
        return dir.File(name + ".pem");
    }
    enum Kind { kPlain, kTrusted, kOtherHost, kUnknownIssuer };
    // Plain FTP, or TLS with a certificate the trust store holds (for another host name, or not).
    std::unique_ptr<FtpServer> Server(Kind kind)
    {
        if (kind == kPlain)
            return std::make_unique<FtpServer>();
        std::string trusted = MakeCert("good", kind == kOtherHost ? "DNS:typist.example" : "IP:127.0.0.1");
        setenv("SSL_CERT_FILE", dir.File("good.crt").c_str(), 1);
        return std::make_unique<FtpServer>(kind == kUnknownIssuer ? MakeCert("unknown", "IP:127.0.0.1") : trusted);
    }
    int Deliver(const FtpServer& server, LProgressReporter& progress)
    {
        Set("FtpServer", server.Server());
        LDeliveryRequest request { transfer, "12-345 Letter by Ann Lee", 0, 12, "Ann Lee", "", engine.GetSentFolder() };
        status.clear();
        return DeliverByFtp(request, progress, &status);
    }

    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    test::TempDir dir;
    std::vector<uint8_t> payload = std::vector<uint8_t>(300000);
    std::string transfer = dir.File("12-345 Letter by Ann Lee.dct");
    std::string status;
};

TEST_F(FtpDelivery, UploadsUnderATemporaryNameRenamedToAFreeFinalName)
{
    for (auto [bTls, directory] : { std::pair { false, "" }, { true, "" }, { true, "in box" } }) {
        SCOPED_TRACE(std::string(bTls ? "TLS" : "plain") + " directory '" + directory + "'");
        std::unique_ptr<FtpServer> server = Server(bTls ? kTrusted : kPlain);
        Set("FtpAllowPlain", bTls ? "0" : "1");
        Set("FtpDirectory", directory);
        std::string folder = std::string(directory) + (*directory ? "/" : "");
        test::RunShell("mkdir -p " + ShellQuote(server->Root() + "/" + folder));
        for (const std::string& name : { kFinal, std::string("12-345_letter_by_ann_lee_(2).dct") }) {
            LTestProgress progress;
            ASSERT_EQ(Deliver(*server, progress), 0) << (progress.errors.empty() ? "" : progress.errors[0]);
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
        EXPECT_EQ(server->Lines("CMD USER").size(), 2u) << "one connection for all steps of a delivery";
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
            "send to this server in plain text, set the recipient's value FtpAllowPlain to 1." },
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
        EXPECT_EQ(Deliver(*server, progress), 2);
        ASSERT_EQ(progress.errors.size(), 1u);
        std::string expected = tplprintf(c.szMessage, server->Server());
        EXPECT_EQ(progress.errors[0].substr(0, c.kind > kTrusted ? expected.size() : std::string::npos), expected);
        EXPECT_TRUE(server->Lines("CMD STOR").empty());
        EXPECT_EQ(server->Lines("CMD PASS").empty(), c.kind != kTrusted) << "no password in clear text";
    }
}

TEST_F(FtpDelivery, StatusFilesOfTheUserAreFetchedAndApplied)
{
    LDictationList sent;
    LDictation* pTyped = sent.NewDictation(engine.GetSentFolder(), "a");
    LDictation* pBusy = sent.NewDictation(engine.GetSentFolder(), "b");
    ASSERT_TRUE(pTyped && pBusy);
    std::unique_ptr<FtpServer> server = Server(kTrusted);
    for (auto [name, pDictation, text] : { std::tuple { "s0000012.sta", pTyped, "Typed" },
             { "s0000012-1.sta", pBusy, "In progress" }, { "s0000013-1.sta", pTyped, "Not this user" } }) {
        uint32_t n = pDictation->GetFileNumber();
        std::vector<uint8_t> b = { 0, 0, 0, 0, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24) };
        std::string field(text);
        field.resize(16, '\0'); // version 0, one record of a 16-byte text
        b.insert(b.end(), field.begin(), field.end());
        ASSERT_TRUE(test::WriteFileBytes(server->Root() + "/" + name, b));
    }
    LTestProgress progress;
    ASSERT_EQ(Deliver(*server, progress), 0);
    EXPECT_EQ(LDictation(pTyped->GetPath()).GetSendStatus(), "Typed");
    EXPECT_EQ(LDictation(pBusy->GetPath()).GetSendStatus(), "In progress");
    EXPECT_EQ(server->Lines("CMD RETR").size(), 2u);
}

TEST_F(FtpDelivery, AStopDuringTheUploadLeavesNothingUnderTheFinalName)
{
    payload.resize(64u << 20);
    ASSERT_TRUE(test::WriteFileBytes(transfer, payload));
    std::unique_ptr<FtpServer> server = Server(kTrusted);
    StopPast progress;
    EXPECT_EQ(Deliver(*server, progress), 1);
    EXPECT_TRUE(progress.errors.empty());
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal).good());
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal + "_").good()) << "the partial upload is deleted";
    EXPECT_EQ(server->Lines("CMD STOR").size(), 1u) << "stopped during, not before, the upload";
    EXPECT_TRUE(server->Lines("CMD RNFR").empty());
}

} // namespace
