// Passwords and keys judged by a real Secret Service (gnome-keyring on a
// private bus, see tests/app/CMakeLists.txt): what tavrine-cli stores,
// secret-tool reads back and the settings files no longer hold; secrets left
// in user.conf move in; without a service they stay in user.conf (0600) with
// one notice; a send whose secret only an absent or locked keyring holds fails
// with the fix named.
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "tests/app/CliFixture.h"

#include <sys/stat.h>

namespace {

class CliKeyring : public CliTest {
protected:
    void SetUp() override
    {
        if (const char* mark = std::getenv("TAVRINE_PRIVATE_KEYRING"); !mark || std::string(mark) != "1")
            GTEST_SKIP() << "runs on a private keyring (ctest cli_keyring_private_bus)";
        TEST_REQUIRE_TOOL("secret-tool");
    }
    // What the keyring holds for the attributes, as secret-tool reads it; "-" for nothing.
    static std::string Lookup(const std::string& kind, const std::string& name)
    {
        std::string out;
        const int nStatus = test::RunShell(
            "secret-tool lookup application tavrine kind " + kind + " name " + test::ShellQuote(name), &out);
        return nStatus == 0 ? out : "-";
    }
    std::string UserConf() const
    {
        return test::ReadFileText(FilePathCat(env.ConfigHome(), "Orvane/Tavrine/user.conf"));
    }
    std::string MachineConf() const { return test::ReadFileText(env.MachineConfig()); }
};

// The child started while this lives sees no session bus at all.
class NoBus {
public:
    NoBus()
        : m_address(std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("XDG_RUNTIME_DIR", "", 1);
    }
    ~NoBus() { setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1); }

private:
    std::string m_address;
};

TEST_F(CliKeyring, StoredAndMovedSecretsAreInTheKeyringAndNotInTheFiles)
{
    struct Row {
        const char* szLabel;
        const char* szUserConf; // left by an older version; empty: none
        std::vector<std::string> commands;
        const char* szKind;
        const char* szName;
        const char* szSecret;
    };
    const Row rows[] = {
        { "recipient's FTP password", "",
            { "recipient add Ftp1 SendMethod=3 FtpServer=127.0.0.1 FtpUserName=u FtpPassword=ftp-pw-1" },
            "ftp-password", "Ftp1", "ftp-pw-1" },
        { "recipient's DCT key", "", { "recipient add Keyed2 SendMethod=2 Folder=/srv EncryptionKey=dct-key-2" },
            "encryption-key", "Keyed2", "dct-key-2" },
        { "mail password", "",
            { "settings set Email MailSMTPUser bob3", "settings set Email MailSMTPPassword mail-pw-3" },
            "smtp-password", "bob3", "mail-pw-3" },
        { "Scribe source's FTP password", "", { "scribe source add Src9 FtpServer=h FtpPassword=scribe-pw-9" },
            "scribe-ftp-password", "Src9", "scribe-pw-9" },
        { "Scribe source's IMAP password", "",
            { "scribe source add Pool12 ImapServer=h ImapPool=1 ImapFolder=Pool ImapPassword=imap-pw-12" },
            "scribe-imap-password", "Pool12", "imap-pw-12" },
        { "Scribe's IMAP password moved",
            "[ScribeSources]\nPool13=1\n[ScribeSource Pool13]\nImapServer=h\nImapPassword=old-imap-13\n",
            { "scribe sources" }, "scribe-imap-password", "Pool13", "old-imap-13" },
        { "Scribe's DCT key", "", { "scribe key add --author 7 scribe-key-10" }, "scribe-key", "Key1",
            "7:scribe-key-10" },
        { "Scribe's key moved", "[ScribeKeys]\nKey3=*:old-key-11\n", { "scribe sources" }, "scribe-key", "Key3",
            "*:old-key-11" },
        { "FTP password moved",
            "[SendTo1]\nName=Old4\nSendMethod=3\nFtpServer=h\nFtpPassword=old-pw-4\nIsUsed=1\n"
            "[Settings]\nnSendTo=1\n",
            { "recipients" }, "ftp-password", "Old4", "old-pw-4" },
        { "mail password moved", "[Email]\nMailSMTPUser=carol5\nMailSMTPPassword=old-mail-5\n", { "recipients" },
            "smtp-password", "carol5", "old-mail-5" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.szLabel);
        test::IsolatedEnvironment fresh;
        const std::string conf = FilePathCat(fresh.ConfigHome(), "Orvane/Tavrine/user.conf");
        ASSERT_TRUE(!*row.szUserConf || test::WriteFileText(conf, row.szUserConf));
        std::string out, err;
        for (const std::string& command : row.commands)
            ASSERT_EQ(Run(command, &out, {}, &err), 0) << out << err;
        EXPECT_EQ(err, "") << "a keyring is there: no notice";
        EXPECT_EQ(Lookup(row.szKind, row.szName), row.szSecret);
        const std::string left = test::ReadFileText(conf);
        EXPECT_EQ(left.find(row.szSecret), std::string::npos) << left;
        EXPECT_EQ(test::ReadFileText(fresh.MachineConfig()).find(row.szSecret), std::string::npos);
    }
    // What the send path reads is what the keyring gives.
    std::string out;
    ASSERT_EQ(Run("settings set Email MailSMTPUser dave", &out), 0) << out;
    ASSERT_EQ(Run("settings set Email MailSMTPPassword pw-6", &out), 0) << out;
    ASSERT_EQ(Run("settings get Email MailSMTPPassword", &out), 0) << out;
    EXPECT_EQ(out, "pw-6\n");
}

TEST_F(CliKeyring, WithoutAServiceTheUserFileHoldsThemWithOneNotice)
{
    std::string out, err;
    {
        NoBus none;
        ASSERT_EQ(Run("recipient add Plain7 SendMethod=3 FtpServer=h FtpPassword=file-pw-7 EncryptionKey=file-key-7",
                      &out, {}, &err),
            0)
            << out << err;
    }
    const std::string path = FilePathCat(env.ConfigHome(), "Orvane/Tavrine/user.conf");
    EXPECT_CONTAINS(UserConf(), "FtpPassword=file-pw-7");
    EXPECT_CONTAINS(UserConf(), "EncryptionKey=file-key-7");
    struct stat st { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(MachineConf().find("file-"), std::string::npos);
    const std::string notice = "No desktop keyring";
    EXPECT_CONTAINS(err, notice);
    EXPECT_EQ(err.find(notice), err.rfind(notice)) << "said once: " << err;
    EXPECT_EQ(Lookup("ftp-password", "Plain7"), "-");
}

TEST_F(CliKeyring, ASendWhoseSecretTheKeyringCannotGiveFailsNamingTheFix)
{
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("gdbus");
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440");
    ASSERT_EQ(Run("recipient add Typist8 SendMethod=3 FtpServer=127.0.0.1 FtpUserName=u FtpPassword=ftp-pw-8"), 0);
    ASSERT_EQ(Lookup("ftp-password", "Typist8"), "ftp-pw-8");
    LDictationEngineSettings engine;
    // The keyring absent, silent (its own bus: a service that never answers),
    // then locked (last: it stays locked for this run).
    enum Keyring { Absent, Silent, Locked };
    for (const Keyring keyring : { Absent, Silent, Locked }) {
        SCOPED_TRACE(keyring);
        const std::string number = NewDictation(" --name Letter");
        ASSERT_EQ(Run("record " + number + " --from " + Q("in.wav")), 0);
        ASSERT_EQ(Run("send " + number), 0);
        std::string out;
        int nStatus = 0;
        if (keyring == Silent) {
            nStatus = test::RunShell("dbus-run-session -- /usr/bin/python3 " TAVRINE_SOURCE_DIR
                                     "/tests/support/silent_secret_service.py timeout 60 "
                    + std::string(TAVRINE_CLI) + " queue work 2>&1",
                &out);
        } else if (keyring == Locked) {
            Shell("gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets --method "
                  "org.freedesktop.Secret.Service.Lock \"['/org/freedesktop/secrets/collection/login']\"");
            nStatus = test::RunShell("timeout 60 " + std::string(TAVRINE_CLI) + " queue work 2>&1", &out);
        } else {
            NoBus none;
            nStatus = test::RunShell("timeout 60 " + std::string(TAVRINE_CLI) + " queue work 2>&1", &out);
        }
        EXPECT_EQ(nStatus, 1) << out; // not 124: no wait for the time-out
        EXPECT_CONTAINS(out, "kept in the desktop's keyring, which cannot be reached");
        EXPECT_CONTAINS(out, "Unlock the keyring");
        if (keyring == Silent)
            EXPECT_CONTAINS(out, "did not answer in time"); // our bound, not the bus's 25 s
        EXPECT_TRUE(FileExists(FilePathCat(engine.GetCurrentFolder(), number + ".ddf"))) << "back in the list";
    }
}

} // namespace
