// One dictation through the real tavrine-cli ('send', then 'queue work') to each way a typist receives it:
// a folder, aiosmtpd with STARTTLS, pyftpdlib plain and with TLS, and a command, in each transfer format,
// and ending each way a delivery can end: delivered, refused, cut off mid-transfer or stopped (SIGINT).
// Each row judges where the dictation ends, its send status, what queue work said, and what the typist's
// side holds: the whole file under its final name (decoded by sox, or by the program's own DCT reader), or
// nothing at all.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "tests/app/CliFixture.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/PySmtpServer.h"

#include <cctype>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sys/stat.h>

namespace {

enum Method { kFolder, kSmtp, kFtp, kFtpTls, kCommand };
enum Format { kDct, kDctKey, kWav };
enum Outcome { kDelivered, kRefused, kCutOff, kStopped };

struct Row {
    Method method;
    Format format;
    Outcome outcome;
    const char* szSaid = ""; // what 'queue work' prints (a regular expression)
};

const char* const kMethodNames[] = { "Folder", "Smtp", "FtpPlain", "FtpTls", "Command" };
const char* const kFormatNames[] = { "Dct", "DctKey", "Wav" };
const char* const kOutcomeNames[] = { "Delivered", "Refused", "CutOff", "Stopped" };
const char* const kStatusSent[] = { "Copied into Folder", "Emailed", "Uploaded", "Uploaded", "" };
const char* const kStopping = "stopping; the job being sent stays queued";

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (Method method : { kFolder, kSmtp, kFtp, kFtpTls, kCommand })
        for (Format format : { kDct, kDctKey, kWav })
            rows.push_back({ method, format, kDelivered });
    // The other outcomes once per method, the formats turning.
    const Row others[] = {
        { kFolder, kDct, kRefused, R"(into the send folder ".*typist"\. The folder is on a read-only file system)" },
        { kSmtp, kDctKey, kRefused, R"(\(RCPT TO not accepted\))" },
        { kFtp, kWav, kRefused, R"(Unable to logon to ftp server "127\.0\.0\.1:\d+" with user name "typist")" },
        { kFtpTls, kDct, kRefused, R"(Ftp upload of file "12-\d+_letter_by_ann_lee\.dct" failed)" },
        { kCommand, kDctKey, kRefused, R"(exited with status 3\.\s+the typist's share is offline)" },
        { kFolder, kWav, kCutOff, R"(into the send folder ".*typist"\. The disk holding the folder is full)" },
        // A message the kernel buffers whole has left before the server hangs up: only the end finds out.
        { kSmtp, kDct, kCutOff, "failed while the message was sent|data terminator not accepted" },
        { kFtp, kDctKey, kCutOff, R"(Ftp upload of file "12-\d+_letter_by_ann_lee\.dct" failed)" },
        { kFtpTls, kWav, kCutOff, R"(Ftp upload of file "12-\d+_letter_by_ann_lee\.wav" failed)" },
        { kCommand, kDct, kCutOff, "did not end in time and was ended" },
        { kFolder, kDctKey, kStopped, kStopping },
        { kSmtp, kWav, kStopped, kStopping },
        { kFtp, kDct, kStopped, kStopping },
        { kFtpTls, kDctKey, kStopped, kStopping },
        { kCommand, kWav, kStopped, kStopping },
    };
    rows.insert(rows.end(), std::begin(others), std::end(others));
    return rows;
}

void PrintTo(const Row& row, std::ostream* pOut)
{
    *pOut << kMethodNames[row.method] << ' ' << kFormatNames[row.format] << ' ' << kOutcomeNames[row.outcome];
}

bool HavePython(const std::string& modules)
{
    static std::map<std::string, bool> known; // asked once a run: an import of pyOpenSSL takes a while
    if (!known.count(modules))
        known[modules] = test::RunShell("/usr/bin/python3 -c 'import " + modules + "' 2>/dev/null") == 0;
    return known[modules];
}

class DeliveryTable : public CliTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        TEST_REQUIRE_TOOL("openssl");
        const Row& row = GetParam();
        const char* szModules = row.method == kSmtp       ? "aiosmtpd"
            : row.method >= kFtp && row.method <= kFtpTls ? "pyftpdlib, OpenSSL"
                                                          : "sys";
        if (!HavePython(szModules)) {
            if (test::InCI())
                FAIL() << "python3 modules required in CI: " << szModules;
            GTEST_SKIP() << "python3 modules missing: " << szModules << " (run scripts/setup.sh)";
        }
        ASSERT_TRUE(std::filesystem::create_directory(typist));
        // A read-only or full folder needs a file system of its own, even for root: a private tmpfs.
        if (row.method == kFolder && (row.outcome == kRefused || row.outcome == kCutOff)
            && test::RunShell("unshare -rm sh -c " + test::ShellQuote("mount -t tmpfs tmpfs " + Q("typist"))) != 0)
            GTEST_SKIP() << "no private mount namespace (unshare -rm) for a read-only or full folder";
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }
    // The certificate both servers present, trusted through SSL_CERT_FILE as the system's would be.
    void TrustCertificate()
    {
        ASSERT_NE(test::MakeTestCertificate(env.Dir(), "typist", "IP:127.0.0.1,DNS:localhost"), "");
        setenv("SSL_CERT_FILE", File("typist.crt").c_str(), 1);
    }
    // What the typist's side holds: each name with its bytes.
    std::map<std::string, std::string> Held(const std::string& folder)
    {
        std::map<std::string, std::string> held;
        for (const std::string& name : test::FileNames(folder))
            held[name] = test::ReadFileText(FilePathCat(folder, name));
        return held;
    }

    std::string typist = File("typist");
};

TEST_P(DeliveryTable, TheDictationEndsWhereItsOutcomeSaysAndTheTypistHoldsAllOrNothing)
{
    const Row& row = GetParam();
    const bool bWav = row.format == kWav;
    std::string out;
    for (const char* szSetting : { "UserInfo Name 'Ann Lee'", "UserInfo UserID 12", "UserInfo Email ann@example.org" })
        ASSERT_EQ(Run(std::string("settings set ") + szSetting, &out), 0) << out;
    // Ten minutes take the packer long enough to be stopped in; three seconds fill a one-page tmpfs.
    const int nSeconds = row.method == kFolder && row.outcome == kStopped ? 600 : 3;
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth " + std::to_string(nSeconds) + " pinknoise");
    const std::string number = NewDictation(" --name Letter");
    ASSERT_EQ(Run("record " + number + " --from " + Q("in.wav"), &out), 0) << out;
    const std::string finalName = "12-" + number + " Letter by Ann Lee" + (bWav ? ".wav" : ".dct");

    std::vector<std::string> values { "SendFileFormat=" + std::string(bWav ? "1" : "0") };
    if (row.format == kDctKey)
        values.push_back("EncryptionKey=Blue fish");
    std::optional<test::PyServer> smtp;
    std::unique_ptr<test::FtpServer> ftp;
    std::function<bool()> began; // the transfer is under way: the moment to stop it
    std::string work = std::string(TAVRINE_CLI) + " queue work"; // as run by the shell
    std::function<std::map<std::string, std::string>()> held = [&] { return Held(typist); };
    std::string heldName = finalName;
    switch (row.method) {
    case kFolder: {
        values.push_back("SendMethod=2");
        values.push_back("Folder=" + typist);
        began = [&] {
            std::error_code ec;
            for (auto it = std::filesystem::recursive_directory_iterator(File("tmp"), ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file())
                    return true;
            return false;
        };
        if (row.outcome == kRefused || row.outcome == kCutOff) {
            // What the typist's folder held is read before the private file system goes with its namespace.
            work = "unshare -rm sh -c "
                + test::ShellQuote("mount -t tmpfs -o " + std::string(row.outcome == kRefused ? "ro" : "size=4k")
                    + " tmpfs " + Q("typist") + " && " + work + "; s=$?; ls -A " + Q("typist") + " >" + Q("held")
                    + "; exit $s");
            held = [&] {
                std::map<std::string, std::string> names;
                for (const std::string& name : Split(test::ReadFileText(File("held")), '\n'))
                    names[name] = "(listed only)";
                return names;
            };
        }
        break;
    }
    case kSmtp: {
        TrustCertificate();
        const char* szMode = row.outcome == kRefused ? " --refuse"
            : row.outcome == kCutOff                 ? " --cut-after 2000 --cut drop"
            : row.outcome == kStopped                ? " --cut-after 2000 --cut stall"
                                                     : "";
        smtp.emplace(env.Dir(), "smtp_server.py",
            "--mode starttls --cert " + Q("typist.crt") + " --key " + Q("typist.key") + szMode);
        ASSERT_NE(smtp->nPort, 0) << "aiosmtpd did not start";
        for (const std::string& setting : { std::string("Email UseMAPI 0"), std::string("Email MailSMTPHost 127.0.0.1"),
                 "Email MailSMTPPort " + std::to_string(smtp->nPort) })
            ASSERT_EQ(Run("settings set --machine " + setting, &out), 0) << out;
        values.push_back("SendMethod=1");
        values.push_back("EmailTo=typist@example.org");
        began = [&] { return smtp->Cut(); };
        held = [&] {
            std::map<std::string, std::string> mail;
            for (const std::string& n : smtp->Messages()) {
                test::Fields m = smtp->Message(std::stoi(n));
                mail[m["att0"].substr(m["att0"].find(' ') + 1)] = m["att0.bin"];
            }
            return mail;
        };
        break;
    }
    case kFtp:
    case kFtpTls: {
        if (row.method == kFtpTls)
            TrustCertificate();
        const char* szMode = row.outcome == kRefused && row.method == kFtpTls ? "--read-only"
            : row.outcome == kCutOff                                          ? "--cut-after 2000 --cut drop"
            : row.outcome == kStopped                                         ? "--cut-after 2000 --cut stall"
                                                                              : "";
        ftp = std::make_unique<test::FtpServer>(row.method == kFtpTls ? File("typist.pem") : "", szMode);
        values.push_back("SendMethod=3");
        values.push_back("FtpServer=" + ftp->Server());
        values.push_back("FtpUserName=typist");
        values.push_back(row.outcome == kRefused && row.method == kFtp ? "FtpPassword=wrong" : "FtpPassword=secret");
        values.push_back(row.method == kFtp ? "FtpAllowPlain=1" : "FtpAllowPlain=0");
        began = [&] { return !ftp->Lines("CUT").empty(); };
        held = [&] { return Held(ftp->Root()); };
        for (char& c : heldName)
            c = c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        break;
    }
    case kCommand: {
        ASSERT_TRUE(test::WriteFileText(File("deliver.sh"),
            "#!/bin/sh\n# $1: what to do, $2: the transfer file\ncase \"$1\" in\ncopy) exec cp \"$2\" " + Q("typist")
                + "/ ;;\nfail) echo \"the typist's share is offline\" >&2; exit 3 ;;\nhang) : >" + Q("started")
                + "; exec sleep 60 ;;\nesac\n"));
        ASSERT_EQ(::chmod(File("deliver.sh").c_str(), 0700), 0);
        const char* szDo = row.outcome == kDelivered ? "copy" : row.outcome == kRefused ? "fail" : "hang";
        values.push_back("SendMethod=4");
        values.push_back("RunCommand=" + Q("deliver.sh") + " " + szDo + " %filepath%");
        values.push_back("RunCommandTimeout=1");
        began = [&] { return FileExists(File("started")); };
        break;
    }
    }
    std::string recipient = "recipient add Typist";
    for (const std::string& value : values)
        recipient += " " + test::ShellQuote(value);
    ASSERT_EQ(Run(recipient, &out), 0) << out;
    // The file the program makes for this recipient, to compare with what arrives.
    ASSERT_EQ(Run("save-as " + number + " " + Q(bWav ? "made.wav" : "made.dct") + " --to 0", &out), 0) << out;
    ASSERT_EQ(Run("send " + number, &out), 0) << out;

    int nStatus;
    if (row.outcome == kStopped) {
        setenv("TMPDIR", File("tmp").c_str(), 1); // where the folder row sees the packing begin
        ASSERT_TRUE(std::filesystem::create_directory(File("tmp")));
        const pid_t pid = Start("queue work", File("work.out"));
        unsetenv("TMPDIR");
        const bool bBegan = test::WaitUntil(began, 30000);
        ::kill(pid, SIGINT);
        nStatus = test::ReapWithin(pid, 30000);
        out = test::ReadFileText(File("work.out"));
        ASSERT_TRUE(bBegan) << "the transfer never began:\n" << out;
    } else {
        nStatus = test::RunShell(work + " 2>&1", &out);
    }
    EXPECT_EQ(nStatus, row.outcome == kDelivered ? 0 : 1) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(row.szSaid))) << "no /" << row.szSaid << "/ in:\n" << out;

    // A delivered or stopped dictation stays in Send (a stopped one with its job); any other goes back.
    LDictationEngineSettings engine;
    const bool bInSend = row.outcome == kDelivered || row.outcome == kStopped;
    const std::string path = FilePathCat(bInSend ? engine.GetSentFolder() : engine.GetCurrentFolder(), number + ".ddf");
    LDictation dictation(path);
    ASSERT_TRUE(dictation.IsValid()) << path << "\n" << out;
    EXPECT_FALSE(
        FileExists(FilePathCat(bInSend ? engine.GetCurrentFolder() : engine.GetSentFolder(), number + ".ddf")));
    EXPECT_EQ(std::string(dictation.GetSendStatus()), row.outcome == kDelivered ? kStatusSent[row.method] : "");
    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_EQ(out, row.outcome == kStopped ? "send\t" + number + "\t0\tTypist\n" : "");

    const std::map<std::string, std::string> got = held();
    if (row.outcome != kDelivered) {
        EXPECT_TRUE(got.empty()) << "the typist holds " << got.begin()->first;
        return;
    }
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got.begin()->first, heldName);
    EXPECT_EQ(got.begin()->second, test::ReadFileText(File(bWav ? "made.wav" : "made.dct"))) << "not the whole file";
    ASSERT_TRUE(test::WriteFileText(File(heldName), got.begin()->second));
    std::string wav = File(heldName);
    if (!bWav) {
        ASSERT_EQ(Run("dct " + Q(heldName) + (row.format == kDctKey ? " --key 'Blue fish'" : "") + " --extract "
                          + Q("opened"),
                      &out),
            0)
            << out;
        EXPECT_CONTAINS(out, row.format == kDctKey ? "Version: 2\n" : "Version: 0\n");
        wav = File("opened/Letter.wav");
    }
    EXPECT_EQ(Shell("soxi -s " + test::ShellQuote(wav)), "33280\n"); // 3 s in whole GSM blocks of 320 frames
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayOut, DeliveryTable, ::testing::ValuesIn(Rows()), [](const ::testing::TestParamInfo<Row>& info) {
        return std::string(kMethodNames[info.param.method]) + kFormatNames[info.param.format]
            + kOutcomeNames[info.param.outcome];
    });

} // namespace
