// FTP delivery against a real server (pyftpdlib, plain and TLS_FTPHandler)
// whose own log shows what a typist's program polling the directory saw.
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LDelivery.h"
#include "tests/send/FtpTestServer.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>

namespace {

const std::string kFinal = "12-345_letter_by_ann_lee.dct";

// Asks for a stop once the progress has passed the given fraction.
class StopPast : public LTestProgress {
public:
    explicit StopPast(double f)
        : m_f(f)
    {
    }
    bool Pump() override { return !fractions.empty() && fractions.back() >= m_f; }

private:
    double m_f;
};

class FtpDelivery : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!FtpTestServer::Available()) {
            if (test::InCI())
                FAIL() << "python3-pyftpdlib and python3-openssl are required in CI";
            GTEST_SKIP() << "python3-pyftpdlib or python3-openssl not installed (run scripts/setup.sh)";
        }
        TEST_REQUIRE_TOOL("openssl");
        std::mt19937 random(23);
        payload.resize(300000);
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(random());
        transfer = dir.File("12-345 Letter by Ann Lee.dct");
        ASSERT_TRUE(test::WriteFileBytes(transfer, payload));
        Set("SendMethod", "3");
        Set("FtpUserName", "typist");
        Set("FtpPassword", "secret");
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }

    static void Set(const std::string& key, const std::string& value) { SetSettingString("SendTo1", key, value); }

    // A certificate and key for subjectAltName san in one PEM; *pCert gets the certificate alone.
    std::string MakeCert(const std::string& name, const std::string& san, std::string* pCert)
    {
        std::string key = dir.File(name + ".key");
        *pCert = dir.File(name + ".crt");
        std::string pem = dir.File(name + ".pem");
        int rc = test::RunShell("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=test -addext "
            + test::ShellQuote("subjectAltName=" + san) + " -keyout " + test::ShellQuote(key) + " -out "
            + test::ShellQuote(*pCert) + " 2>/dev/null && cat " + test::ShellQuote(*pCert) + " " + test::ShellQuote(key)
            + " > " + test::ShellQuote(pem));
        EXPECT_EQ(rc, 0);
        return pem;
    }
    // A TLS server whose certificate the trust store holds (SSL_CERT_FILE).
    std::unique_ptr<FtpTestServer> TrustedTlsServer()
    {
        std::string cert;
        std::string pem = MakeCert("good", "IP:127.0.0.1", &cert);
        setenv("SSL_CERT_FILE", cert.c_str(), 1);
        return std::make_unique<FtpTestServer>(pem);
    }

    int Deliver(FtpTestServer& server, LProgressReporter& progress)
    {
        EXPECT_NE(server.Port(), 0u) << "the test server did not start";
        Set("FtpServer", server.Server());
        LDeliveryRequest request;
        request.transferPath = transfer;
        request.baseName = "12-345 Letter by Ann Lee";
        request.uUserID = 12;
        request.sentFolder = engine.GetSentFolder();
        return DeliverByFtp(request, progress, &status);
    }

    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    test::TempDir dir;
    std::vector<uint8_t> payload;
    std::string transfer;
    std::string status;
};

TEST_F(FtpDelivery, UploadsUnderATemporaryNameRenamedToAFreeFinalName)
{
    struct Case {
        bool bTls;
        std::string directory;
    } cases[] = { { false, "" }, { true, "" }, { true, "in box" } };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bTls ? "TLS" : "plain") + " directory '" + c.directory + "'");
        std::unique_ptr<FtpTestServer> server = c.bTls ? TrustedTlsServer() : std::make_unique<FtpTestServer>();
        Set("FtpAllowPlain", c.bTls ? "0" : "1");
        Set("FtpDirectory", c.directory);
        std::string folder = server->Root() + (c.directory.empty() ? "" : "/" + c.directory);
        test::RunShell("mkdir -p " + test::ShellQuote(folder));
        for (const std::string& name : { kFinal, std::string("12-345_letter_by_ann_lee_(2).dct") }) {
            LTestProgress progress;
            status.clear();
            ASSERT_EQ(Deliver(*server, progress), 0) << (progress.errors.empty() ? "" : progress.errors[0]);
            EXPECT_TRUE(progress.errors.empty()) << "no status files on the server is no failure";
            EXPECT_EQ(status, "Uploaded");
            EXPECT_EQ(test::ReadFileBytes(folder + "/" + name), payload) << name;
            EXPECT_FALSE(std::ifstream(folder + "/" + name + "_").good());
            std::string path = (c.directory.empty() ? "" : c.directory + "/") + name;
            std::vector<std::string> seen = server->LogLines("RECEIVED " + name + "_ ");
            ASSERT_EQ(seen.size(), 1u) << server->Log();
            for (const std::string& line : server->LogLines("DATA "))
                seen.push_back(line);
            for (const std::string& line : seen)
                EXPECT_FALSE(FtpTestServer::Lists(line, path)) << "the final name before the upload was complete";
        }
        EXPECT_EQ(test::ReadFileBytes(folder + "/" + kFinal), payload) << "the uncollected file is kept";
        EXPECT_EQ(server->LogLines("CMD USER").size(), 2u) << "one connection for all steps of a delivery";
        EXPECT_EQ(server->LogLines("CMD CWD").empty(), c.directory.empty()) << server->Log();
        for (const std::string& line : server->LogLines("CMD PASS"))
            EXPECT_NE(line.find(c.bTls ? "tls=1" : "tls=0"), std::string::npos) << line;
    }
}

TEST_F(FtpDelivery, FailuresBeforeTheUploadNameTheirCause)
{
    struct Case {
        const char* szWhat;
        bool bTls;
        const char* szDirectory;
        const char* szPassword;
        std::string message;
        bool bPasswordSent;
    } cases[] = {
        { "wrong directory", true, "missing", "secret",
            "Ftp upload failed because the directory \"missing\" was not found on the server \"%s\".", true },
        { "wrong password", true, "", "wrong",
            "Unable to logon to ftp server \"%s\" with user name \"typist\" and the entered password.", true },
        { "plain server", false, "", "secret",
            "The ftp server \"%s\" does not offer an encrypted connection (TLS), so the password was not sent. To "
            "send to this server in plain text, set the recipient's value FtpAllowPlain to 1.",
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szWhat);
        std::unique_ptr<FtpTestServer> server = c.bTls ? TrustedTlsServer() : std::make_unique<FtpTestServer>();
        Set("FtpDirectory", c.szDirectory);
        Set("FtpPassword", c.szPassword);
        LTestProgress progress;
        EXPECT_EQ(Deliver(*server, progress), 2);
        ASSERT_EQ(progress.errors.size(), 1u);
        EXPECT_EQ(progress.errors[0], tplprintf(c.message.c_str(), server->Server()));
        EXPECT_TRUE(server->LogLines("CMD STOR").empty()) << server->Log();
        EXPECT_EQ(server->LogLines("CMD PASS").empty(), !c.bPasswordSent) << server->Log();
    }
}

// Plain text is allowed here, to show that a failed verification never falls back to it.
TEST_F(FtpDelivery, ACertificateThatDoesNotVerifySendsNothing)
{
    std::string goodCert;
    std::string otherHost = MakeCert("other", "DNS:typist.example", &goodCert);
    std::string unknownCert;
    std::string unknown = MakeCert("unknown", "IP:127.0.0.1", &unknownCert);
    Set("FtpAllowPlain", "1");
    for (const std::string& pem : { otherHost, unknown }) {
        SCOPED_TRACE(pem);
        setenv("SSL_CERT_FILE", goodCert.c_str(), 1); // trusts "other" only
        FtpTestServer server(pem);
        LTestProgress progress;
        EXPECT_EQ(Deliver(server, progress), 2);
        ASSERT_EQ(progress.errors.size(), 1u);
        EXPECT_EQ(progress.errors[0].rfind(tplprintf("The identity of the ftp server \"%s\" could not be verified, "
                                                     "so nothing was sent",
                                               server.Server()),
                      0),
            0u)
            << progress.errors[0];
        EXPECT_TRUE(server.LogLines("CMD PASS").empty()) << server.Log();
        EXPECT_TRUE(server.LogLines("CMD USER").empty()) << server.Log();
    }
}

TEST_F(FtpDelivery, StatusFilesOfTheUserAreFetchedAndApplied)
{
    LDictationList sent;
    LDictation* pTyped = sent.NewDictation(engine.GetSentFolder(), "a");
    LDictation* pBusy = sent.NewDictation(engine.GetSentFolder(), "b");
    ASSERT_TRUE(pTyped && pBusy);
    std::unique_ptr<FtpTestServer> server = TrustedTlsServer();
    auto statusFile = [&](const std::string& name, uint32_t uFileNumber, const std::string& text) {
        std::vector<uint8_t> b = { 0, 0, 0, 0 };
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(uFileNumber >> (8 * i)));
        b.insert(b.end(), text.begin(), text.end());
        b.resize(b.size() + 16 - text.size(), 0);
        ASSERT_TRUE(test::WriteFileBytes(server->Root() + "/" + name, b));
    };
    statusFile("s0000012.sta", pTyped->GetFileNumber(), "Typed");
    statusFile("s0000012-1.sta", pBusy->GetFileNumber(), "In progress");
    statusFile("s0000013-1.sta", pTyped->GetFileNumber(), "Not this user");
    LTestProgress progress;
    ASSERT_EQ(Deliver(*server, progress), 0);
    EXPECT_EQ(LDictation(pTyped->GetPath()).GetSendStatus(), "Typed");
    EXPECT_EQ(LDictation(pBusy->GetPath()).GetSendStatus(), "In progress");
    EXPECT_EQ(server->LogLines("CMD RETR").size(), 2u) << server->Log();
}

TEST_F(FtpDelivery, AStopDuringTheUploadLeavesNothingUnderTheFinalName)
{
    payload.resize(64u << 20);
    ASSERT_TRUE(test::WriteFileBytes(transfer, payload));
    std::unique_ptr<FtpTestServer> server = TrustedTlsServer();
    StopPast progress(0.3);
    EXPECT_EQ(Deliver(*server, progress), 1);
    EXPECT_TRUE(progress.errors.empty());
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal).good());
    EXPECT_FALSE(std::ifstream(server->Root() + "/" + kFinal + "_").good()) << "the partial upload is deleted";
    EXPECT_EQ(server->LogLines("CMD STOR").size(), 1u) << "stopped during, not before, the upload";
    EXPECT_TRUE(server->LogLines("CMD RNFR").empty());
}

} // namespace
