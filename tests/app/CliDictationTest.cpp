#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <string>

namespace {

using CliDictation = CliTest;

TEST_F(CliDictation, NewThenShowRoundTrip)
{
    std::string out;
    ASSERT_EQ(Run("new --name 'Letter to Dr. Ames' --priority 100 --notes 'Two\nlines'", &out), 0) << out;
    EXPECT_EQ(out, "2\n");
    ASSERT_EQ(Run("new", &out), 0) << out;
    EXPECT_EQ(out, "3\n");

    // What the command wrote is what the engine reads.
    LDictationEngineSettings engine;
    LDictation d(engine.GetCurrentFolder() + "/2.ddf");
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.GetName(), "Letter to Dr. Ames");
    EXPECT_EQ(d.Header().uPriority, 100);
    EXPECT_EQ(d.GetNotes(), "Two\nlines");
    EXPECT_EQ(engine.GetCurrentFolder(), env.DataHome() + "/Tavrine/Current");

    ASSERT_EQ(Run("show 2", &out), 0) << out;
    EXPECT_CONTAINS(out, "Name: Letter to Dr. Ames\n");
    EXPECT_CONTAINS(out, "Priority: High (100)\n");
    EXPECT_CONTAINS(out, "Notes:\nTwo\nlines\n");
}

TEST_F(CliDictation, BadInputIsRefusedClearly)
{
    std::string out;
    EXPECT_EQ(Run("show 99", &out), 1);
    EXPECT_CONTAINS(out, "no dictation 99");
    EXPECT_EQ(Run("show ../../etc/passwd", &out), 2) << out;
    EXPECT_EQ(Run("show 0", &out), 2) << out;
    EXPECT_EQ(Run("new --priority 300", &out), 2) << out;
    EXPECT_EQ(Run("new --name", &out), 2) << out;
    EXPECT_EQ(Run("frobnicate", &out), 2) << out;
}

TEST_F(CliDictation, AnUncreatableDataFolderIsReported)
{
    // A data folder that is a file: nothing can be created below it.
    ASSERT_TRUE(test::WriteFileBytes(File("blocker"), { 1 }));
    ASSERT_TRUE(SetSettingString("Settings", "WorkingDataFolder", File("blocker") + "/Tavrine"));
    std::string out;
    EXPECT_EQ(Run("new", &out), 1);
    EXPECT_CONTAINS(out, "Cannot create the folder");
}

} // namespace
