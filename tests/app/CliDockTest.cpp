// tavrine-cli dock over a folder tree made here: WAV, MP3 and VOX files by
// sox and lame at three levels with chosen modification times. Each case is
// a tree and a series of docks, each with the files it must load, in order.
#include "foundation/LPath.h"
#include "tests/app/CliFixture.h"
#include "tests/support/DctBuilder.h"

#include <filesystem>

namespace {

struct TreeFile {
    const char* szPath; // under the docked folder
    int64_t t; // modification time, seconds since 1970
};
struct Dock {
    std::vector<std::string> removeBefore; // files the user takes away before this dock
    const char* szArgs;
    std::vector<std::string> loaded; // the files printed, in order
    int nStatus;
    std::vector<std::string> gone; // files no longer there afterwards
    std::vector<TreeFile> replaceBefore = {}; // files made again, good, before this dock
    bool bToldRefused = false; // says that a file cannot be loaded and how to clear it
};
struct Case {
    const char* szName;
    std::vector<TreeFile> files;
    std::vector<Dock> docks;
};

// A file named "bad" holds no audio and fails to load.
const Case kCases[] = {
    { "TwoLevelsOfSubfoldersInTheirOrderAndNotTheThird",
        { { "top.wav", 100 }, { "A/x.mp3", 100 }, { "A/y.wav", 100 }, { "A/B/b.vox", 100 }, { "A/B/a.wav", 100 },
            { "A/B/C/deep.wav", 100 }, { "Z/z.wav", 100 }, { ".hidden/h.wav", 100 }, { "A/notes.txt", 100 } },
        { { {}, "--all", { "A/B/a.wav", "A/B/b.vox", "A/y.wav", "A/x.mp3", "Z/z.wav", "top.wav" }, 0, {} } } },
    // The old fault: the WAV's newer time hid the older MP3 met after it.
    { "OnlyNewLoadsEveryFileNewerThanTheLastDockAndNothingTwice",
        { { "A/B/new.wav", 5000 }, { "A/old.mp3", 1000 }, { "A/older.vox", 500 } },
        { { {}, "--only-new", { "A/B/new.wav", "A/old.mp3", "A/older.vox" }, 0, {} }, { {}, "", {}, 0, {} },
            { {}, "--all", { "A/B/new.wav", "A/old.mp3", "A/older.vox" }, 0, {} } } },
    // A file that cannot be loaded is told once and stays; the files after it
    // still load, later docks pass it over, and a good copy in its place loads.
    { "AnUnreadableFileIsToldOnceAndPassedOverUntilReplaced",
        { { "c.wav", 5000 }, { "a_bad.mp3", 3000 }, { "b.mp3", 1000 }, { "S/d.vox", 2000 } },
        { { {}, "--only-new --delete", { "S/d.vox", "c.wav", "b.mp3" }, 1, { "S/d.vox", "c.wav", "b.mp3" }, {}, true },
            { {}, "--all --delete", {}, 0, {} },
            { {}, "--all --delete", { "a_bad.mp3" }, 0, { "a_bad.mp3" }, { { "a_bad.mp3", 3000 } } },
            { {}, "--all --delete", {}, 0, {} } } },
    { "ACancelNoticeIsNoDictationAndStays", { { "notice.dct", 100 }, { "a.wav", 100 } },
        { { {}, "--all --delete", { "a.wav" }, 1, { "a.wav" }, {}, true } } },
};

class CliDock : public CliTest, public ::testing::WithParamInterface<Case> {
protected:
    void Make(const TreeFile& file, bool bGood = false)
    {
        const std::string path = File(std::string("dock/") + file.szPath);
        std::filesystem::create_directories(_GetFolderFromPath(path));
        const std::string ext = GetFileExtension(path);
        if (ext == ".dct") // a cancel notice
            ASSERT_TRUE(test::WriteFileBytes(path, test::DctBuilder::Plain(1, 7)));
        else if ((!bGood && std::string(file.szPath).find("bad") != std::string::npos) || ext == ".txt")
            ASSERT_TRUE(test::WriteFileBytes(path, std::vector<uint8_t>(5000, 0x55)));
        else if (ext == ".mp3")
            Shell("sox -R -n -r 16000 -c 1 " + Q("s.wav") + " synth 0.5 sine 440 && lame --quiet " + Q("s.wav") + " "
                + test::ShellQuote(path));
        else
            Shell("sox -R -n -r 8000 -c 1 " + (ext == ".vox" ? "-t vox " : std::string()) + test::ShellQuote(path)
                + " synth 0.5 sine 440");
        Shell("touch -d @" + std::to_string(file.t) + " " + test::ShellQuote(path));
    }
};

TEST_P(CliDock, LoadsTheFilesInOrder)
{
    TEST_REQUIRE_TOOL("lame");
    const Case& c = GetParam();
    for (const TreeFile& file : c.files)
        Make(file);
    const std::string top = File("dock");
    std::vector<std::string> gone;
    for (const Dock& dock : c.docks) {
        for (const std::string& path : dock.removeBefore) {
            std::filesystem::remove(top + "/" + path);
            gone.push_back(path);
        }
        for (const TreeFile& file : dock.replaceBefore)
            Make(file, true);
        std::string out;
        EXPECT_EQ(Run("dock --folder " + test::ShellQuote(top) + " " + dock.szArgs, &out, {}, nullptr), dock.nStatus)
            << dock.szArgs << "\n"
            << out;
        std::vector<std::string> loaded;
        for (const std::string& line : Split(out, '\n')) {
            const size_t nTab = line.find('\t');
            if (nTab == std::string::npos || line.compare(0, top.size() + 1, top + "/") != 0)
                continue;
            EXPECT_GT(std::stoul(line.substr(nTab + 1)), 0u) << line;
            loaded.push_back(line.substr(top.size() + 1, nTab - top.size() - 1));
        }
        EXPECT_EQ(loaded, dock.loaded) << dock.szArgs << "\n" << out;
        EXPECT_EQ(
            out.find("later docks pass it over. To clear this, delete it") != std::string::npos, dock.bToldRefused)
            << out;
        for (const std::string& path : dock.gone) {
            EXPECT_FALSE(std::filesystem::exists(top + "/" + path)) << path;
            gone.push_back(path);
        }
        // What was not loaded is never deleted.
        for (const TreeFile& file : c.files) {
            if (std::find(gone.begin(), gone.end(), file.szPath) == gone.end()
                && !std::filesystem::exists(top + "/" + file.szPath))
                ADD_FAILURE() << file.szPath << " is gone";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, CliDock, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.szName); });

TEST_F(CliTest, DockRefusesAMissingFolderAndSendingWithoutARecipient)
{
    std::string out;
    EXPECT_EQ(Run("dock --folder " + Q("nowhere"), &out), 1);
    EXPECT_CONTAINS(out, "is not a folder");
    std::filesystem::create_directories(File("d"));
    EXPECT_EQ(Run("dock --folder " + Q("d") + " --send", &out), 2) << out;
    EXPECT_CONTAINS(out, "--send needs a default recipient");
}

} // namespace
