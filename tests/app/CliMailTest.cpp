// A dictation sent to an e-mail recipient arrives at a real SMTP server as a DCT that tavrine-cli reads.
#include "tests/app/CliFixture.h"
#include "tests/support/PySmtpServer.h"

namespace {

class CliMail : public CliTest { };

TEST_F(CliMail, ADictationSentByEmailArrivesAsADctThatTheCliReads)
{
    TEST_REQUIRE_TOOL("sox");
    if (!test::HaveAiosmtpd())
        GTEST_SKIP() << "python3-aiosmtpd not installed (run scripts/setup.sh)";
    test::PyServer server(env.Dir(), "smtp_server.py", "");
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("speech.wav") + " synth 2 sine 440");
    std::string number, recipient, out;
    for (std::string setting : std::vector<std::string> { "--machine Email UseMAPI 0",
             "--machine Email MailSMTPHost 127.0.0.1", "--machine Email MailSMTPPort " + std::to_string(server.nPort),
             "UserInfo Email ann@example.org", "UserInfo Name 'Ann Lee'", "UserInfo UserID 12" })
        ASSERT_EQ(Run("settings set " + setting, &out), 0) << out;
    number = NewDictation(" --name Letter");
    ASSERT_EQ(Run("record " + number + " --from " + Q("speech.wav"), &out), 0) << out;
    ASSERT_EQ(Run("recipient add Typist SendMethod=1 EmailTo=typist@example.org", &recipient), 0) << recipient;
    recipient.pop_back();
    ASSERT_EQ(Run("send " + number + " --to " + recipient, &out), 0) << out;
    ASSERT_EQ(Run("queue work", &out), 0) << out;

    test::Fields mail = server.Message(1);
    EXPECT_EQ("application/octet-stream 12-" + number + " Letter by Ann Lee.dct", mail["att0"]);
    test::WriteFileBytes(env.Dir().File("got.dct"), { mail["att0.bin"].begin(), mail["att0.bin"].end() });
    ASSERT_EQ(Run("dct " + Q("got.dct") + " --extract " + Q("x"), &out), 0) << out;
    for (const char* szLine : { "Name: Letter\n", "User e-mail: ann@example.org\n" })
        EXPECT_NE(std::string::npos, out.find(szLine)) << out;
    EXPECT_NEAR(2.0, std::stod(Shell("soxi -D " + Q("x") + "/*.wav")), 0.05) << "the dictation's audio";
    ASSERT_EQ(Run("list --sent", &out), 0) << out;
    EXPECT_NE(std::string::npos, out.find("\tLetter\t")) << out;
    EXPECT_NE(std::string::npos, out.find("\tEmailed\t")) << out;
}

} // namespace
