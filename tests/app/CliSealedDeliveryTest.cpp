// Sealed dictations end to end with the real binaries: a dictation sealed to
// two typists is delivered by folder and by FTP (pyftpdlib), listed by each
// typist's Scribe with its own key and by no third key; its author opens the
// delivered copy with their own key, and the age tool opens it too. A copy
// with one byte changed is listed by nobody.
#include "foundation/LPath.h"
#include "send/LSealIdentity.h"
#include "tests/app/CliFixture.h"
#include "tests/support/FtpTestServer.h"

namespace {

struct Row {
    const char* name;
    bool bFtp;
};
const Row kRows[] = { { "Folder", false }, { "Ftp", true } };

class CliSealedDelivery : public CliTest, public ::testing::WithParamInterface<Row> {
protected:
    // A typist's own settings and data, as another user of the machine.
    std::string As(const std::string& typist) const
    {
        return "XDG_CONFIG_HOME=" + Q("cfg-" + typist) + " XDG_DATA_HOME=" + Q("data-" + typist) + " " + TAVRINE_CLI
            + " ";
    }
    int RunAs(const std::string& typist, const std::string& args, std::string* pOut, std::string* pErr)
    {
        pOut->clear();
        const int status = test::RunShell(As(typist) + args + " 2>" + Q("err-" + typist), pOut);
        *pErr = test::ReadFileText(File("err-" + typist));
        return status;
    }
    std::unique_ptr<test::FtpServer> server;
};

TEST_P(CliSealedDelivery, EachTypistOpensItTheAuthorTooAThirdKeyAndAChangedByteNever)
{
    TEST_REQUIRE_TOOL("sox");
    TEST_REQUIRE_TOOL("age");
    std::string values, root = File("inbox");
    if (GetParam().bFtp) {
        server = std::make_unique<test::FtpServer>(std::string(), "--max-seconds 400");
        values = "FtpServer=" + server->Server() + " FtpUserName=typist FtpPassword=secret FtpAllowPlain=1";
        root = server->Root();
    } else {
        Shell("mkdir " + Q("inbox"));
        values = "Folder=" + Q("inbox");
    }
    std::string out, err, keys;
    for (const char* typist : { "ann", "bob", "eve" }) {
        ASSERT_EQ(RunAs(typist, "scribe key show", &out, &err), 0) << err;
        ASSERT_EQ(out.rfind("age1", 0), 0u) << out;
        if (typist[0] != 'e')
            keys += (keys.empty() ? "" : ",") + out.substr(0, out.find('\n'));
        ASSERT_EQ(RunAs(typist, "scribe source add Office " + values, &out, &err), 0) << err;
    }
    EXPECT_EQ(Run("recipient add Pool SealTo=age1nokey"), 2);
    Run("settings set UserInfo UserID 42");
    ASSERT_EQ(Run(std::string("recipient add Pool SendMethod=") + (GetParam().bFtp ? "3 " : "2 ") + values
                  + " EncryptionKey=blowfish SealTo=" + keys),
        0);
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440");
    const std::string number = NewDictation(" --name Letter --notes '<client>Smith</client>'");
    ASSERT_EQ(Run("record " + number + " --from " + Q("in.wav")), 0);
    ASSERT_EQ(Run("send " + number), 0);
    ASSERT_EQ(Run("queue work", &out), 0) << out;

    std::string sealed;
    for (const std::string& name : test::FileNames(root))
        if (name.find(".dct") != std::string::npos)
            sealed = name;
    ASSERT_TRUE(sealed.size() > 8 && sealed.substr(sealed.size() - 8) == ".dct.age") << sealed;
    const std::string path = FilePathCat(root, sealed);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    std::vector<uint8_t> changed = bytes;
    changed[changed.size() / 2] ^= 0x01;
    ASSERT_TRUE(test::WriteFileBytes(FilePathCat(root, "changed.dct.age"), changed));

    for (const char* typist : { "ann", "bob" }) {
        ASSERT_EQ(RunAs(typist, "scribe inbox", &out, &err), 0) << err;
        EXPECT_EQ(out, "Office:" + sealed + "\t42\t" + number + "\tLetter\tNormal\tWaiting\n") << typist;
        EXPECT_CONTAINS(err, "\"changed.dct.age\": it was changed or cut after it was sealed");
        const std::string copy = File(std::string("age-") + typist + ".dct");
        Shell("age -d -i " + Q(std::string("cfg-") + typist + "/Orvane/Tavrine/scribe-identity.txt") + " -o "
            + test::ShellQuote(copy) + " " + test::ShellQuote(path));
        // Sealed instead of Blowfish: the DCT inside is the plain form.
        EXPECT_EQ(test::ReadFileBytes(copy).at(0), 0u);
    }
    ASSERT_EQ(RunAs("eve", "scribe inbox", &out, &err), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_CONTAINS(err, "\"" + sealed + "\": it is sealed for other keys, not for this typist's");
    EXPECT_EQ(test::ReadFileBytes(path), bytes);

    ASSERT_EQ(Run("unseal " + test::ShellQuote(path) + " --identity " + test::ShellQuote(LSealIdentity::DictatorPath())
                      + " --out " + Q("own.dct"),
                  &out),
        0)
        << out;
    EXPECT_EQ(test::ReadFileBytes(File("own.dct")), test::ReadFileBytes(File("age-ann.dct")));
}

INSTANTIATE_TEST_SUITE_P(
    Methods, CliSealedDelivery, ::testing::ValuesIn(kRows), [](const auto& info) { return info.param.name; });

} // namespace
