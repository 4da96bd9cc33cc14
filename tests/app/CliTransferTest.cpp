// tavrine-cli save-as, load and dct end to end: a dictation recorded from a
// sox-made file travels as DCT and back, the encrypted file is read with the
// typist's key, and the WAV it extracts is judged by soxi.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "tests/app/CliFixture.h"

namespace {

using CliTransfer = CliTest;

TEST_F(CliTransfer, SaveAsLoadAndReadWithTheKey)
{
    TEST_REQUIRE_TOOL("soxi");
    std::string out;
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 2 sine 300-900 vol 0.5");
    ASSERT_EQ(Run("new --name 'Letter to Dr. Ames' --priority 100", &out), 0);
    const std::string n = out.substr(0, out.find('\n'));
    ASSERT_EQ(Run("record " + n + " --from " + Q("in.wav"), &out), 0) << out;
    const std::vector<uint8_t> doc { 'd', 'o', 'c' };
    test::WriteFileBytes(env.Dir().File("report.final.doc"), doc);
    LDictationEngineSettings engine;
    {
        LDictation d(engine.GetCurrentFolder() + "/" + n + ".ddf");
        ASSERT_TRUE(d.AddAttachment(env.Dir().File("report.final.doc")) && d.SetNotes("Ward\x1b[2J\nTwo\xc2\x9b"));
    }
    ASSERT_EQ(Run("save-as " + n + " " + Q("out.dct"), &out), 0) << out;
    ASSERT_EQ(Run("load " + Q("out.dct"), &out), 0) << out;
    const std::string m = out.substr(0, out.find('\n'));
    // Without a recipient both are 16-bit PCM: the same audio gives the same bytes.
    ASSERT_EQ(Run("save-as " + n + " " + Q("a.wav"), &out) + Run("save-as " + m + " " + Q("b.wav"), &out), 0);
    EXPECT_EQ(Shell("soxi -e " + Q("a.wav")), "Signed Integer PCM\n");
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("a.wav")), test::ReadFileBytes(env.Dir().File("b.wav")));
    LDictation back(engine.GetCurrentFolder() + "/" + m + ".ddf");
    EXPECT_EQ(back.GetName(), "Letter to Dr. Ames");
    EXPECT_EQ(back.Header().uPriority, 100);
    EXPECT_EQ(back.GetNotes(), "Ward\x1b[2J\nTwo\xc2\x9b");
    ASSERT_EQ(back.GetAttachments().Count(), 1u);
    EXPECT_EQ(test::ReadFileBytes(*back.GetAttachments().begin()), doc);

    // Encrypted for a recipient: readable with its key only, never loaded.
    ASSERT_EQ(Run("recipient add Typist EncryptionKey=s3cret", &out), 0) << out;
    ASSERT_EQ(Run("save-as " + n + " " + Q("enc.dct") + " --to " + out.substr(0, out.find('\n')), &out), 0) << out;
    ASSERT_EQ(Run("dct " + Q("enc.dct"), &out), 0) << out;
    EXPECT_NE(out.find("Flags: 6 (encrypted) (attachments)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("give --key to read them"), std::string::npos) << out;
    EXPECT_EQ(Run("dct " + Q("enc.dct") + " --key wrong", &out), 1);
    EXPECT_NE(out.find("key check"), std::string::npos) << out;
    EXPECT_EQ(Run("load " + Q("enc.dct"), &out), 1);
    EXPECT_NE(out.find("You cannot load encrypted dct files"), std::string::npos) << out;
    ASSERT_EQ(Run("dct " + Q("enc.dct") + " --key s3cret --extract " + Q("x"), &out), 0) << out;
    EXPECT_NE(out.find("Notes: Ward\\x1B[2J\\x0ATwo\\xC2\\x9B\n"), std::string::npos) << "escaped: " << out;
    EXPECT_NE(out.find("Attachment 1: \".doc\", 3 bytes\n"), std::string::npos) << out;
    EXPECT_EQ(test::ReadFileBytes(env.Dir().File("x/Letter to Dr Ames.doc")), doc);
    EXPECT_EQ(Shell("soxi -e " + Q("x/Letter to Dr Ames.wav")), "GSM\n");

    // A cut file loads as nothing; bad arguments are refused.
    std::vector<uint8_t> bytes = test::ReadFileBytes(env.Dir().File("out.dct"));
    bytes.resize(bytes.size() - 100);
    test::WriteFileBytes(env.Dir().File("cut.dct"), bytes);
    EXPECT_EQ(Run("load " + Q("cut.dct"), &out), 1);
    EXPECT_NE(out.find("(Length check failed)"), std::string::npos) << out;
    ASSERT_EQ(Run("list", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_EQ(Run("save-as " + n + " " + Q("out.mp3"), &out), 2) << out;
    EXPECT_EQ(Run("save-as " + n + " " + Q("out.dct") + " --to 7", &out), 2) << out;
}

} // namespace
