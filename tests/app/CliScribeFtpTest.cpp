// The typist's side over an FTP directory through the real tavrine-cli and
// pyftpdlib: a dictation uploaded by the dictator is listed, claimed and
// typed with its status back, a recovered one is cancelled, and two typists racing over one directory
// claim every job exactly once.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "tests/app/CliFixture.h"
#include "tests/support/DctBuilder.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/Records.h"

#include <map>
#include <set>

namespace {

class CliScribeFtp : public CliTest {
protected:
    std::string FtpValues() const
    {
        return "FtpServer=" + server.Server() + " FtpUserName=typist FtpPassword=secret FtpAllowPlain=1";
    }
    std::string SentStatus()
    {
        std::string out;
        Run("status-update", &out);
        EXPECT_EQ(Run("list --sent", &out), 0);
        return Split(out.substr(0, out.find('\n')), '\t').at(6);
    }
    test::FtpServer server { {}, "--max-seconds 400" };
};

TEST_F(CliScribeFtp, AnUploadedDictationIsListedClaimedAndTypedWithItsStatusBack)
{
    TEST_REQUIRE_TOOL("sox");
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 1 sine 440");
    Run("settings set UserInfo UserID 42");
    ASSERT_EQ(Run("recipient add Typist SendMethod=3 " + FtpValues()), 0);
    ASSERT_EQ(Run("scribe source add Office " + FtpValues()), 0);
    ASSERT_EQ(Run("settings set Scribe TypistName 'Ann B.'"), 0);
    std::string number = NewDictation(" --name Letter --priority 100 --notes '<client>Smith</client>'");
    ASSERT_EQ(Run("record " + number + " --from " + Q("in.wav")), 0);
    ASSERT_EQ(Run("send " + number), 0);
    std::string out, err;
    ASSERT_EQ(Run("queue work", &out), 0) << out;

    ASSERT_EQ(Run("scribe inbox", &out, {}, &err), 0) << err;
    std::vector<std::string> job = Split(out.substr(0, out.find('\n')), '\t');
    ASSERT_EQ(job.size(), 6u) << out;
    EXPECT_EQ(job[1], "42");
    EXPECT_EQ(job[2], number);
    EXPECT_EQ(job[3], "Letter");
    EXPECT_EQ(job[4], "High");
    EXPECT_EQ(job[5], "Waiting");
    const std::string id = test::ShellQuote(job[0]);
    ASSERT_EQ(Run("scribe claim " + id, &out), 0) << out;
    EXPECT_TRUE(FileExists(FilePathCat(server.Root(), "Claimed/AnnB/" + job[0].substr(7))));
    EXPECT_EQ(SentStatus(), "Typing");
    ASSERT_EQ(Run("scribe open " + id + " --extract " + Q(""), &out), 0) << out;
    EXPECT_EQ(test::ReadFileText(File("Letter.txt")), "<client>Smith</client>");
    ASSERT_EQ(Run("scribe done " + id, &out), 0) << out;
    EXPECT_EQ(SentStatus(), "Typed");

    // The author takes a second one back while Ann holds it.
    const std::string second = NewDictation(" --name Second --priority 100");
    ASSERT_EQ(Run("record " + second + " --from " + Q("in.wav")), 0);
    ASSERT_EQ(Run("send " + second), 0);
    ASSERT_EQ(Run("queue work", &out), 0) << out;
    ASSERT_EQ(Run("scribe inbox", &out), 0);
    ASSERT_EQ(Run("scribe claim " + test::ShellQuote(out.substr(0, out.find('\t'))), &out), 0) << out;
    ASSERT_EQ(Run("recover " + second, &out), 0) << out;
    ASSERT_EQ(Run("queue work", &out), 0) << out;
    ASSERT_EQ(Run("scribe inbox", &out, {}, &err), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_CONTAINS(err, "Cancelled by the author");
    ASSERT_EQ(Run("scribe inbox --all", &out), 0);
    EXPECT_CONTAINS(out, "\tSecond\tHigh\tCancelled by the author\n");
    EXPECT_EQ(test::FileNames(FilePathCat(server.Root(), "Cancelled")).size(), 1u);
    EXPECT_FALSE(FileExists(FilePathCat(server.Root(), tplprintf("dcan42-%s.dct", second))));
    // Only the final names ever held a status: the temporary one was renamed.
    for (const std::string& line : server.Lines("CMD STOR"))
        EXPECT_EQ(line.find(".sta "), std::string::npos) << line;
}

TEST_F(CliScribeFtp, TwoTypistsRacingOverFiftyJobsClaimEachExactlyOnce)
{
    constexpr int kJobs = 50;
    for (int i = 0; i < kJobs; ++i)
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(server.Root(), tplprintf("job%d.dct", int32_t { i })),
            test::DctBuilder::Plain(0, 1000 + i, "n")));
    std::string script;
    for (const char* typist : { "ann", "bob" }) {
        const std::string envs = "XDG_CONFIG_HOME=" + test::ShellQuote(File(std::string("cfg-") + typist)) + " ";
        Shell(envs + TAVRINE_CLI + " scribe source add Office " + FtpValues());
        Shell(envs + TAVRINE_CLI + " settings set Scribe TypistName " + typist);
        script += "(i=0; while [ $i -lt " + std::to_string(kJobs) + " ]; do " + envs + TAVRINE_CLI
            + " scribe claim Office:job$i.dct; i=$((i+1)); done >" + Q(typist) + " 2>&1) & ";
    }
    Shell("timeout 300 sh -c " + test::ShellQuote(script + "wait"));
    std::set<std::string> ann = test::FileNames(FilePathCat(server.Root(), "Claimed/ann"));
    std::set<std::string> bob = test::FileNames(FilePathCat(server.Root(), "Claimed/bob"));
    EXPECT_EQ(ann.size() + bob.size(), size_t { kJobs });
    for (const std::string& name : ann)
        EXPECT_EQ(bob.count(name), 0u) << name;

    // Each typist goes on with one job it holds: its last word is no longer "Typing".
    std::map<uint32_t, std::string> expected;
    for (const char* typist : { "ann", "bob" }) {
        const std::string said = test::ReadFileText(File(typist));
        EXPECT_EQ(static_cast<size_t>(std::count(said.begin(), said.end(), '\n')), size_t { kJobs }) << said;
        const std::set<std::string>& held = typist[0] == 'a' ? ann : bob;
        size_t told = 0;
        for (size_t at = said.find(std::string("claimed by ") + typist); at != std::string::npos;
             at = said.find(std::string("claimed by ") + typist, at + 1))
            ++told;
        EXPECT_EQ(told, held.size()) << said;
        for (const std::string& name : held)
            expected[1000 + std::atoi(name.c_str() + 3)] = "Typing";
        if (held.empty())
            continue;
        const std::string envs = "XDG_CONFIG_HOME=" + test::ShellQuote(File(std::string("cfg-") + typist)) + " ";
        Shell(envs + TAVRINE_CLI + " scribe status Office:" + *held.begin() + " Proofing-" + typist);
        expected[1000 + std::atoi(held.begin()->c_str() + 3)] = std::string("Proofing-") + typist;
    }
    // The dictator's side: every job's status is the one its claimer wrote last.
    LDictationEngineSettings engine;
    for (int i = 0; i < kJobs; ++i)
        ASSERT_TRUE(test::WriteFileBytes(
            FilePathCat(engine.GetSentFolder(), tplprintf("%d.ddf", 1000 + i)), test::DdfBytes(1000 + i)));
    Run("settings set UserInfo UserID 3");
    ASSERT_EQ(Run("recipient add Typist SendMethod=3 " + FtpValues()), 0);
    std::string out;
    ASSERT_EQ(Run("status-update", &out), 0) << out;
    ASSERT_EQ(expected.size(), size_t { kJobs });
    for (const auto& [uNumber, status] : expected)
        EXPECT_EQ(LDictation(FilePathCat(engine.GetSentFolder(), tplprintf("%d.ddf", uNumber))).GetSendStatus(), status)
            << uNumber;
}

} // namespace
