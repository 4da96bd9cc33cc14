#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Engine = LDictationEngineSettings;

class Recipients : public ::testing::Test {
protected:
    static std::vector<int> Walk()
    {
        std::vector<int> numbers;
        for (Engine::SendToIterator it; it.IsValid(); it.Next())
            numbers.push_back(it.GetSendTo());
        return numbers;
    }
    static int Limit() { return GetSettingInt("Settings", "nSendTo", -1); }
    test::IsolatedEnvironment env;
};

TEST_F(Recipients, BookkeepingThroughAddSaveAndRemove)
{
    uint8_t n = kNoRecipient;
    for (int expected : { 0, 1, 2 }) {
        ASSERT_EQ(Engine::AddSendTo("R" + std::to_string(expected), {}, &n), Engine::AddSendToResult::Added);
        EXPECT_EQ(n, expected);
    }
    EXPECT_EQ(Limit(), 3);
    ASSERT_TRUE(Engine::RemoveSendTo(1));
    EXPECT_EQ(Limit(), 3) << "a gap below the highest keeps the count";
    EXPECT_EQ(Walk(), (std::vector<int> { 0, 2 }));
    EXPECT_EQ(Engine::GetNextFreeSendToNumber(), 1);
    ASSERT_TRUE(Engine::RemoveSendTo(2));
    EXPECT_EQ(Limit(), 2) << "removing the highest drops the count by one, not past the gap";
    EXPECT_EQ(Walk(), std::vector<int> { 0 });
    EXPECT_EQ(Engine::GetSendToName(2), "R2") << "a removed recipient's values stay for what was sent to it";
    ASSERT_EQ(Engine::AddSendTo("again", {}, &n), Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 1) << "the lowest free number is reused";
    EXPECT_EQ(Limit(), 2);
    ASSERT_EQ(Engine::AddSendTo("next", {}, &n), Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(Limit(), 3);
    // Saving a number below the count never lowers it.
    ASSERT_TRUE(Engine::SaveSendTo(0));
    EXPECT_EQ(Limit(), 3);
    ASSERT_TRUE(Engine::SaveSendTo(9));
    EXPECT_EQ(Limit(), 10);
    EXPECT_EQ(Walk(), (std::vector<int> { 0, 1, 2, 9 }));
    for (uint8_t k : { 0, 1, 2, 9 })
        ASSERT_TRUE(Engine::RemoveSendTo(k));
    EXPECT_EQ(Limit(), 9);
    EXPECT_TRUE(Walk().empty());
    SetSettingInt("Settings", "nSendTo", 0);
    ASSERT_TRUE(Engine::RemoveSendTo(0));
    EXPECT_EQ(Limit(), 0) << "the count never goes below 0";
}

TEST_F(Recipients, AReusedNumberStartsClean)
{
    uint8_t n = 0;
    ASSERT_EQ(Engine::AddSendTo(
                  "Old", { { "SendMethod", "3" }, { "FtpServer", "ftp.example" }, { "FtpPassword", "secret" } }, &n),
        Engine::AddSendToResult::Added);
    ASSERT_TRUE(Engine::RemoveSendTo(n));
    ASSERT_EQ(Engine::AddSendTo("New", { { "sendmethod", "2" }, { "Folder", "/srv/typing" } }, &n),
        Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetSettingString("SendTo1", "FtpPassword", "gone"), "gone");
    EXPECT_EQ(GetSettingString("SendTo1", "FtpServer", "gone"), "gone");
    EXPECT_EQ(GetSettingInt("SendTo1", "SendMethod", 0), 2);
    std::string text;
    ASSERT_TRUE(Engine::GetSendToDisplayText(0, &text));
    EXPECT_EQ(text, "Folder (/srv/typing)");
    EXPECT_EQ(Engine::GetSendToName(0), "New");
}

// Every method and format stored through the one owner of a recipient's
// section, judged by the file's own text (names, their order, the numbers).
TEST_F(Recipients, StoredAsTheFileHasAlwaysHeldThem)
{
    auto make = [](SendMethod method, TransferFormat format) {
        LRecipient r;
        r.name = "Typing pool";
        r.method = method;
        r.format = format;
        return r;
    };
    LRecipient ftp = make(SendMethod::Ftp, TransferFormat::Dct);
    ftp.ftpServer = "ftp.example", ftp.ftpUserName = "ann", ftp.ftpPassword = " pw ", ftp.ftpDirectory = "in";
    ftp.bFtpAllowPlain = true, ftp.encryptionKey = "k3y", ftp.fileNameFormat = "%filenumber%";
    LRecipient command = make(SendMethod::Command, TransferFormat::Wav);
    command.runCommand = "/usr/bin/true %1", command.nRunCommandTimeoutSeconds = 600;
    LRecipient mail = make(SendMethod::Email, TransferFormat::Dct);
    mail.emailTo = "typist@example.org";
    LRecipient folder = make(SendMethod::Folder, TransferFormat::Wav);
    folder.folder = "/srv/typing";
    LRecipient sealed = folder;
    sealed.sealTo = "age1al6dye0nf9vmhptgc6cvkygfurhquz7879usckdln5cedss6a35qzs5mcg";
    const struct {
        LRecipient recipient;
        const char* szLines; // the section as written, after its header
    } rows[] = {
        { mail,
            "SendMethod=1\nName=Typing pool\nEmailTo=typist@example.org\nFolder=\nFtpServer=\nFtpUserName=\n"
            "FtpPassword=\nFtpDirectory=\nFtpAllowPlain=0\nRunCommand=\nSendFileFormat=0\nEncryptionKey=\n"
            "FileNameFormat=%userid%-%filenumber% %filename% by %username%\nIsUsed=1\n" },
        { folder,
            "SendMethod=2\nName=Typing pool\nEmailTo=\nFolder=/srv/typing\nFtpServer=\nFtpUserName=\nFtpPassword=\n"
            "FtpDirectory=\nFtpAllowPlain=0\nRunCommand=\nSendFileFormat=1\nEncryptionKey=\n"
            "FileNameFormat=%userid%-%filenumber% %filename% by %username%\nIsUsed=1\n" },
        { ftp,
            "SendMethod=3\nName=Typing pool\nEmailTo=\nFolder=\nFtpServer=ftp.example\nFtpUserName=ann\n"
            "FtpPassword=\\x20pw\\x20\nFtpDirectory=in\nFtpAllowPlain=1\nRunCommand=\nSendFileFormat=0\n"
            "EncryptionKey=k3y\nFileNameFormat=%filenumber%\nIsUsed=1\n" },
        { command,
            "SendMethod=4\nName=Typing pool\nEmailTo=\nFolder=\nFtpServer=\nFtpUserName=\nFtpPassword=\n"
            "FtpDirectory=\nFtpAllowPlain=0\nRunCommand=/usr/bin/true %1\nSendFileFormat=1\nEncryptionKey=\n"
            "FileNameFormat=%userid%-%filenumber% %filename% by %username%\nRunCommandTimeout=600\nIsUsed=1\n" },
        { sealed,
            "SendMethod=2\nName=Typing pool\nEmailTo=\nFolder=/srv/typing\nFtpServer=\nFtpUserName=\nFtpPassword=\n"
            "FtpDirectory=\nFtpAllowPlain=0\nRunCommand=\nSendFileFormat=1\nEncryptionKey=\n"
            "FileNameFormat=%userid%-%filenumber% %filename% by %username%\n"
            "SealTo=age1al6dye0nf9vmhptgc6cvkygfurhquz7879usckdln5cedss6a35qzs5mcg\nIsUsed=1\n" },
    };
    uint8_t n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szLines);
        ASSERT_TRUE(Engine::SetRecipient(n, row.recipient));
        const std::string text = test::ReadFileText(GetUserSettingsPath());
        const std::string header = "[SendTo" + std::to_string(n + 1) + "]\n";
        const size_t at = text.find(header);
        ASSERT_NE(at, std::string::npos) << text;
        const size_t end = text.find("\n\n[", at); // sections stand apart by a blank line
        EXPECT_EQ(text.substr(at + header.size(), end == std::string::npos ? end : end + 1 - at - header.size()),
            row.szLines);
        EXPECT_EQ(Engine::GetRecipient(n), row.recipient);
        // Storing what was read changes nothing, the hidden time-out included.
        ASSERT_TRUE(Engine::SetRecipient(n, Engine::GetRecipient(n)));
        EXPECT_EQ(test::ReadFileText(GetUserSettingsPath()), text);
        ++n;
    }
    EXPECT_EQ(Walk(), (std::vector<int> { 0, 1, 2, 3, 4 }));
}

// A hand-edited section reads as clear defaults.
TEST_F(Recipients, HostileStoredValuesReadAsDefaults)
{
    const struct {
        const char* szName;
        const char* szValue;
    } rows[] = { { "SendMethod", "7" }, { "SendMethod", "-1" }, { "SendMethod", "x" }, { "SendFileFormat", "-1" },
        { "SendFileFormat", "2" }, { "RunCommandTimeout", "99999999999" }, { "RunCommandTimeout", "-5" },
        { "RunCommandTimeout", "86401" } };
    const LRecipient defaults;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.szName) + "=" + row.szValue);
        ASSERT_TRUE(SetSettingString("SendTo9", row.szName, row.szValue));
        EXPECT_EQ(Engine::GetRecipient(8), defaults);
        ASSERT_TRUE(DeleteSetting("SendTo9", row.szName));
    }
    std::string text = "unchanged";
    EXPECT_FALSE(Engine::GetSendToDisplayText(8, &text));
    EXPECT_EQ(text, "unchanged");
}

} // namespace
