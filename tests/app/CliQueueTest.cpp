// tavrine-cli queue: the jobs of the Send folder's queue file, as a script reads them.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "send/LProcessListFile.h"
#include "tests/app/CliFixture.h"

namespace {

class CliQueue : public CliTest {
protected:
    std::string QueuePath() const { return FilePathCat(LDictationEngineSettings().GetSentFolder(), "sending.dat"); }
};

TEST_F(CliQueue, ListsKindDictationAndRecipientOfEachJob)
{
    std::string out;
    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_EQ(out, "") << "no queue file: nothing waits";

    ASSERT_EQ(Run("recipient add Anna SendMethod=2 Folder=/srv/typing", &out), 0) << out;
    ASSERT_EQ(Run("recipient add 'Bob B' SendMethod=1 EmailTo=bob@example.org", &out), 0) << out;
    LDictationEngineSettings engine;
    LDictation letter(engine.GetSentFolder(), "Letter");
    letter.MutableHeader().uSendTo = 1;
    ASSERT_TRUE(letter.Save());
    SendJobItem job;
    ASSERT_TRUE(SendJobItem::MakeSendJob(letter.GetPath(), &job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), SendJobItem::MakeNotice(0, 12, 345)));
    // A job whose dictation is gone, or lies elsewhere, shows its path.
    ASSERT_TRUE(SendJobItem::MakeSendJob("/elsewhere/9\t.ddf", &job));
    ASSERT_TRUE(LProcessListFile::Append(QueuePath(), job));

    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_EQ(out,
        "send\t" + std::to_string(letter.GetFileNumber()) + "\t1\tBob B\n" + "notice\t12-345\t0\tAnna\n"
            + "send\t/elsewhere/9 .ddf\t\t\n");
    EXPECT_EQ(Run("queue --all", &out), 2);
}

TEST_F(CliQueue, AFileThatCannotBeWorkedIsAnErrorAndACutJobANote)
{
    std::string out;
    const std::string path = QueuePath();
    test::WriteFileBytes(path, { 2, 0, 0, 0, 13, 1, 0, 0 });
    EXPECT_EQ(Run("queue", &out), 1);
    EXPECT_CONTAINS(out, "another version");

    // A header and part of a first job: nothing can be worked.
    std::vector<uint8_t> bytes = { 1, 0, 0, 0, 13, 1, 0, 0 };
    bytes.resize(8 + 100, 'x');
    test::WriteFileBytes(path, bytes);
    EXPECT_EQ(Run("queue", &out), 1);
    EXPECT_CONTAINS(out, "cut short");

    // A whole notice, then part of another.
    bytes.assign({ 1, 0, 2, 0, 13, 1, 0, 0 });
    bytes.resize(8 + 269 + 30, 0);
    bytes[8 + 260] = 0xFF;
    bytes[8 + 261] = 7;
    test::WriteFileBytes(path, bytes);
    ASSERT_EQ(Run("queue", &out), 0) << out;
    EXPECT_CONTAINS(out, "notice\t7-0\t\t\n");
    EXPECT_CONTAINS(out, "begun 2 time(s)");
    EXPECT_CONTAINS(out, "30 bytes");
    EXPECT_EQ(test::ReadFileBytes(path), bytes) << "listing changes nothing";
}

} // namespace
