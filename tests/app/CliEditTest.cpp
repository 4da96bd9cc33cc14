// tavrine-cli record, edit and export: the expected audio is cut and joined by sox itself; a take may be
// any kind of file convert reads (here AIFF).
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

namespace {

class CliEdit : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    std::set<std::string> CutFiles(const std::string& number)
    {
        std::set<std::string> out;
        LDictationEngineSettings engine;
        for (const auto& e : std::filesystem::directory_iterator(engine.GetCurrentFolder())) {
            std::string name = e.path().filename().string();
            if (name.rfind(number + "_", 0) == 0)
                out.insert(name);
        }
        return out;
    }
};

TEST_F(CliEdit, RecordCommandsAndAnEditScriptGiveWhatSoxCutsAndJoins)
{
    // b recorded into a at 1500 ms (frame 16537), c over from 3000 ms (frame 33075) to past the end.
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("a.wav") + " synth 3 sine 300-900 vol 0.5");
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("b.aiff") + " synth 0.7 square 440 vol 0.3");
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("c.wav") + " synth 1.1 sine 1200 vol 0.4");
    const long nB = std::stol(Shell("soxi -s " + Q("b.aiff")));
    Shell("sox " + Q("a.wav") + " " + Q("a1.wav") + " trim 0s 16537s");
    Shell("sox " + Q("a.wav") + " " + Q("a2.wav") + " trim 16537s " + std::to_string(33075 - 16537 - nB) + "s");
    Shell("sox " + Q("a1.wav") + " " + Q("b.aiff") + " " + Q("a2.wav") + " " + Q("c.wav") + " " + Q("expected.wav"));
    const std::string n = NewDictation();
    std::string out;
    ASSERT_EQ(Run("record " + n + " --from " + Q("a.wav"), &out), 0) << out;
    ASSERT_EQ(Run("record " + n + " --from " + Q("b.aiff") + " --mode insert --at 1500", &out), 0) << out;
    ASSERT_EQ(Run("record " + n + " --mode overwrite --at 0:00:03.000 --from " + Q("c.wav"), &out), 0) << out;
    ASSERT_EQ(Run("export " + n + " " + Q("out.wav"), &out), 0) << out;
    const std::vector<uint8_t> expected = SoxBytes("expected.wav");
    ASSERT_GT(expected.size(), 60000u);
    EXPECT_TRUE(SoxBytes("out.wav") == expected) << "exported audio differs from sox's";
    ASSERT_EQ(Run("show " + n, &out), 0) << out;
    EXPECT_CONTAINS(out, "Duration: 4 s\n");

    // The same through edit, with a take undone and one undone and redone on the way.
    const std::string m = NewDictation();
    const std::string actions = "record " + File("a.wav") + "\n" + "record " + File("b.aiff") + " insert 1500\n"
        + "# a take over everything, taken back\n" + "record \"" + File("a.wav") + "\" overwrite 0\n" + "undo\n" + "\n"
        + "record " + File("c.wav") + " overwrite 3000\n" + "undo\n" + "redo\n" + "export " + File("edited.wav") + "\n";
    ASSERT_EQ(Run("edit " + m, &out, actions), 0) << out;
    // Each action prints the undo and redo it leaves: after the undone take's undo, its redo.
    EXPECT_CONTAINS(out, "Undo Record Insert @ 0:00:01.500\nRedo Record Overwrite @ 0:00:00.000\n");
    EXPECT_TRUE(SoxBytes("edited.wav") == expected) << "edited audio differs from sox's";
}

TEST_F(CliEdit, RefusalsAreClearAndChangeNothing)
{
    const std::string n = NewDictation();
    Shell("sox -n -r 11025 -c 1 -b 16 " + Q("ok.wav") + " synth 0.2 sine 500");
    Shell("sox -n -r 44100 -c 1 -b 16 " + Q("fast.wav") + " synth 0.2 sine 500");
    std::string out;
    ASSERT_EQ(Run("record " + n + " --from " + Q("ok.wav"), &out), 0) << out;
    LDictationEngineSettings engine;
    const std::string ddf = engine.GetCurrentFolder() + "/" + n + ".ddf";
    const std::vector<uint8_t> before = test::ReadFileBytes(ddf);
    const std::set<std::string> filesBefore = CutFiles(n);
    ASSERT_EQ(filesBefore.size(), 1u);

    EXPECT_EQ(Run("record " + n + " --from " + Q("fast.wav"), &out), 1);
    EXPECT_CONTAINS(out, "44100 Hz but the dictation records at 11025 Hz");
    EXPECT_EQ(Run("record " + n + " --from " + Q("ok.wav") + " --mode insert", &out), 2) << out;
    EXPECT_EQ(Run("record 77 --from " + Q("ok.wav"), &out), 1);
    EXPECT_CONTAINS(out, "no dictation 77");
    EXPECT_EQ(test::ReadFileBytes(ddf), before);
    EXPECT_EQ(CutFiles(n), filesBefore);

    // Inside edit a bad line is reported with its number and the rest goes on.
    // Undo history does not outlive a process: edit starts with none.
    EXPECT_EQ(
        Run("edit " + n, &out, "undo\nrecord " + File("ok.wav") + "\nundo\nundo\nfly away\nrecord \"unclosed\nredo\n"),
        2);
    EXPECT_CONTAINS(out, "line 4: nothing to undo");
    EXPECT_CONTAINS(out, "line 5: unknown action");
    EXPECT_CONTAINS(out, "line 6: unbalanced quote");
    EXPECT_CONTAINS(out, "Undo\nRedo Record at End\n");
    const std::string last = "Undo Record at End\nRedo\n"; // the redo on line 5 brought it back
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), last.size())), last) << out;

    // A sent dictation is not recorded into.
    std::filesystem::rename(ddf, engine.GetSentFolder() + "/" + n + ".ddf");
    EXPECT_EQ(Run("record " + n + " --from " + Q("ok.wav"), &out), 1);
    EXPECT_CONTAINS(out, "has been sent");
}

} // namespace
