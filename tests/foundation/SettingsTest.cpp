#include "foundation/LSettings.h"
#include "foundation/LSettingsFile.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using test::ReadFileText;

void PlaceFile(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(test::WriteFileText(path, text));
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

using test::Fork;
using test::Reap;

using Settings = test::EnvTest;

// A boolean written by hand reads as meant; the stored form and every other
// text keep the first-character rule.
TEST_F(Settings, BooleansReadHandWrittenWordsAsMeant)
{
    struct Row {
        const char* szStored;
        bool bDefault;
        bool bRead;
    };
    const Row rows[] = { { "0", true, false }, { "1", false, true }, { "", true, true }, { "", false, false },
        { "false", true, false }, { "FALSE", true, false }, { "No", true, false }, { "oFF", true, false },
        { "true", false, true }, { "yes", false, true }, { "On", false, true }, { "0x1", true, false },
        { "2", false, true }, { "nope", false, true }, { "offline", false, true }, { "false ", false, true } };
    for (const Row& row : rows) {
        ASSERT_TRUE(SetMachineString("Email", "UseMAPI", row.szStored));
        EXPECT_EQ(GetMachineBool("Email", "UseMAPI", row.bDefault), row.bRead) << '"' << row.szStored << '"';
    }
}

TEST_F(Settings, LongValuesAreRefusedRatherThanLostToTheDefault)
{
    std::string longest(kMaxSettingChars, 'x');
    ASSERT_TRUE(SetSettingString("Settings", "Path", longest));
    EXPECT_EQ(GetSettingString("Settings", "Path", "d"), longest);
    EXPECT_FALSE(SetSettingString("Settings", "Path", longest + "y"));
    EXPECT_EQ(GetSettingString("Settings", "Path", "d"), longest) << "a refused write changes nothing";
    EXPECT_FALSE(SetMachineString("Settings", "Path", longest + "y"));
    EXPECT_EQ(GetMachineString("Settings", "Path", "d"), "d");
    // Several values of a section are stored all together or not at all.
    EXPECT_FALSE(SetSettingStrings("Settings", { { "A", "1" }, { "Path", longest + "y" } }));
    EXPECT_EQ(GetSettingString("Settings", "A", "d"), "d");
    ASSERT_TRUE(SetSettingStrings("Settings", { { "A", "1" }, { "B", "" } }));
    EXPECT_EQ(GetSettingString("Settings", "A", "d") + GetSettingString("Settings", "B", "d"), "1");
    // One byte too long, placed by hand (or by an older program): kept in the file, read as missing.
    std::string hand(kMaxSettingChars + 1, '7');
    PlaceFile(GetUserSettingsPath(), "[Settings]\nHand=" + hand + "\n");
    EXPECT_EQ(GetSettingString("Settings", "Hand", "d"), "d");
    ASSERT_TRUE(SetSettingInt("Settings", "Other", 1));
    EXPECT_NE(ReadFileText(GetUserSettingsPath()).find("Hand=" + hand + "\n"), std::string::npos);
}

TEST_F(Settings, OddBytesRoundTripThroughAPlainTextFile)
{
    std::string allBytes;
    for (int c = 1; c < 256; ++c)
        allBytes.push_back(static_cast<char>(c));
    const std::pair<std::string, std::string> values[] = {
        { "All", allBytes },
        { " spaced name ", "  leading and trailing  " },
        { "a=b", "x=y" },
        { "[not a header]", "]" },
        { "#not a comment", "#" },
        { ";nor this", "\\" },
        { "back\\slash", "ends with backslash\\" },
        { "line\nbreak", "\r\n\r\n" },
        { "tab\t", "\t" },
    };
    const std::string sections[] = { "Plain", " Odd]Section[ ", "#Hash", "multi\nline" };
    for (const std::string& section : sections)
        for (const auto& [name, value] : values)
            ASSERT_TRUE(SetSettingString(section, name, value)) << name;
    for (const std::string& section : sections)
        for (const auto& [name, value] : values)
            EXPECT_EQ(GetSettingString(section, name, "<missing>"), value) << section << "/" << name;
    std::string text = ReadFileText(GetUserSettingsPath());
    for (char c : text)
        ASSERT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << "raw control byte " << int(c);
    EXPECT_FALSE(SetSettingString("Plain", std::string("nul\0name", 8), "v"));
    EXPECT_FALSE(SetSettingString("Plain", "Nul", std::string("a\0b", 3)));
    EXPECT_FALSE(SetSettingString("", "Name", "v"));
    EXPECT_FALSE(SetSettingString("Plain", "", "v"));
    EXPECT_EQ(ReadFileText(GetUserSettingsPath()), text);
}

TEST_F(Settings, HostileAndTruncatedFilesAreReadSafely)
{
    std::string hostile = "orphan=1\n"
                          "[Settings]\n"
                          "Good=1\n"
                          "no equals sign\n"
                          "BadEscape=\\q\n"
                          "Nul=\\x00\n"
                          "ShortHex=\\x4\n"
                          "Good=2\n"
                          "  ; indented comment\n"
                          "[Broken\n"
                          "Lost=1\n"
                          "[Trailing] junk\n"
                          "AlsoLost=1\n"
                          "[settings]  \n"
                          "  Spaced  =  value with blanks \t\r\n"
                          "=no name\n"
                          "[]\n"
                          "Raw=a";
    hostile += std::string(1, '\0') + "b\n[Tail]\nCut=\\";
    PlaceFile(GetUserSettingsPath(), hostile);
    EXPECT_EQ(GetSettingString("Settings", "Good", "d"), "1");
    EXPECT_EQ(GetSettingString("Settings", "Spaced", "d"), "value with blanks");
    for (const char* name : { "orphan", "BadEscape", "Nul", "ShortHex", "Lost", "AlsoLost", "Raw" })
        EXPECT_EQ(GetSettingString("Settings", name, "d"), "d") << name;
    EXPECT_EQ(GetSettingString("Broken", "Lost", "d"), "d");
    EXPECT_EQ(GetSettingString("Tail", "Cut", "d"), "d");
    // A write keeps what was understood and drops the rest.
    ASSERT_TRUE(SetSettingString("Tail", "Cut", "whole"));
    std::string text = ReadFileText(GetUserSettingsPath());
    EXPECT_EQ(text.find("Good=2"), std::string::npos) << text;
    LSettingsFile rewritten;
    EXPECT_EQ(rewritten.Parse(text), 0u);
    ASSERT_NE(rewritten.Find("settings", "good"), nullptr);
    EXPECT_EQ(*rewritten.Find("settings", "good"), "1");
    // Every cut of a written file reads the complete lines before the cut.
    LSettingsFile full;
    for (int i = 0; i < 20; ++i)
        full.Set("S" + std::to_string(i % 3), "N" + std::to_string(i), "v\\\x01" + std::to_string(i));
    text = full.Serialise();
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        LSettingsFile part;
        part.Parse(std::string_view(text).substr(0, cut));
        for (int i = 0; i < 20; ++i) {
            std::string line = "N" + std::to_string(i) + "=";
            size_t at = text.find(line);
            if (text.find('\n', at) < cut) {
                const std::string* pValue = part.Find("S" + std::to_string(i % 3), "N" + std::to_string(i));
                ASSERT_NE(pValue, nullptr) << cut;
                EXPECT_EQ(*pValue, "v\\\x01" + std::to_string(i));
            }
        }
    }
    // Something other than a file in its place: no hang, no write through it.
    fs::remove(GetUserSettingsPath());
    ASSERT_EQ(::mkfifo(GetUserSettingsPath().c_str(), 0600), 0);
    EXPECT_EQ(GetSettingString("Tail", "Cut", "d"), "d");
    EXPECT_FALSE(SetSettingString("Tail", "Cut", "again"));
    EXPECT_TRUE(fs::is_fifo(GetUserSettingsPath()));
}

TEST_F(Settings, FilesArePrivateAndLinksStayLinks)
{
    std::string path = GetUserSettingsPath();
    PlaceFile(path, "[Old]\nA=1\n");
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(SetSettingInt("Settings", "FileNumber", 3));
    EXPECT_EQ(ModeOf(path), 0600u);
    fs::remove_all(env.ConfigHome());
    ASSERT_TRUE(SetSettingInt("Settings", "FileNumber", 4));
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ModeOf(env.ConfigHome() + "/Orvane"), 0700u);
    EXPECT_EQ(ModeOf(env.ConfigHome() + "/Orvane/Tavrine"), 0700u);
    // Settings kept in a dotfile folder through a link.
    std::string kept = env.Dir().File("dotfiles/user.conf");
    PlaceFile(kept, "[Settings]\nFileNumber=9\n");
    fs::remove(path);
    fs::create_symlink(kept, path);
    EXPECT_EQ(GetSettingInt("Settings", "FileNumber", 0), 9);
    ASSERT_TRUE(SetSettingInt("Settings", "FileNumber", 10));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(GetSettingInt("Settings", "FileNumber", 0), 10);
    EXPECT_NE(ReadFileText(kept).find("FileNumber=10"), std::string::npos);
}

TEST_F(Settings, FailedWritesChangeNothing)
{
    ASSERT_TRUE(SetSettingString("Settings", "Keep", "old"));
    std::string path = GetUserSettingsPath();
    std::string before = ReadFileText(path);
    // The disk fills up halfway through the new file.
    pid_t child = Fork([&] { return !SetSettingString("Settings", "Big", std::string(200, 'b')); }, before.size() + 16);
    EXPECT_EQ(Reap(child), 0) << "the write should have reported its failure";
    EXPECT_EQ(ReadFileText(path), before);
    const std::set<std::string> kOnlyTheFileAndItsLock { "user.conf", "user.conf.lock" };
    EXPECT_EQ(test::FileNames(fs::path(path).parent_path()), kOnlyTheFileAndItsLock);
    std::string blocker = env.Dir().File("blocker");
    PlaceFile(blocker, "");
    ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    ::setenv("TAVRINE_MACHINE_CONFIG", (blocker + "/machine.conf").c_str(), 1);
    EXPECT_FALSE(SetSettingString("Settings", "Keep", "new"));
    EXPECT_FALSE(SetMachineString("Settings", "Keep", "new")) << "neither the machine file nor the overlay";
    EXPECT_EQ(GetSettingString("Settings", "Keep", "default"), "default");
    EXPECT_EQ(GetMachineString("Settings", "Keep", "default"), "default");
}

TEST_F(Settings, ConcurrentWritersInTwoProcessesLoseNothing)
{
    constexpr int kEach = 200;
    auto writer = [](char tag) {
        return [tag] {
            for (int i = 0; i < kEach; ++i)
                if (!SetSettingInt("Race", std::string(1, tag) + std::to_string(i), i))
                    return false;
            return true;
        };
    };
    pid_t a = Fork(writer('A'));
    pid_t b = Fork(writer('B'));
    ASSERT_EQ(Reap(a), 0);
    ASSERT_EQ(Reap(b), 0);
    int nLost = 0;
    for (char tag : { 'A', 'B' })
        for (int i = 0; i < kEach; ++i)
            nLost += GetSettingInt("Race", std::string(1, tag) + std::to_string(i), -1) != i;
    EXPECT_EQ(nLost, 0);
}

// Every value of the section must be there, whole: a torn file loses its tail.
void ExpectWholeFile(const std::string& path, int nValues, size_t nLength)
{
    LSettingsFile file;
    ASSERT_EQ(file.Parse(ReadFileText(path)), 0u);
    for (int i = 0; i < nValues; ++i) {
        const std::string* pValue = file.Find("Crash", "V" + std::to_string(i));
        ASSERT_NE(pValue, nullptr) << "value " << i << " lost";
        ASSERT_EQ(pValue->size(), nLength);
        ASSERT_EQ(pValue->find_first_not_of(pValue->front()), std::string::npos);
    }
}

TEST_F(Settings, ReadersAndCrashesSeeTheOldOrTheNewFile)
{
    constexpr int kValues = 300;
    constexpr size_t kLength = 200;
    LSettingsFile initial;
    for (int i = 0; i < kValues; ++i)
        initial.Set("Crash", "V" + std::to_string(i), std::string(kLength, 'a'));
    std::string path = GetUserSettingsPath();
    PlaceFile(path, initial.Serialise());
    std::mt19937 random(20240611);
    for (int round = 0; round < 6; ++round) {
        pid_t child = Fork([&] {
            for (int g = 1;; ++g)
                SetSettingString("Crash", "V" + std::to_string(g % kValues), std::string(kLength, 'a' + g % 26));
            return true;
        });
        // Readers take no lock; the rename keeps them from seeing a half-written file.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(40 + random() % 80);
        while (std::chrono::steady_clock::now() < until)
            ExpectWholeFile(path, kValues, kLength);
        ::kill(child, SIGKILL);
        Reap(child);
        ExpectWholeFile(path, kValues, kLength);
        if (HasFatalFailure())
            FAIL() << "round " << round << " (seed 20240611)";
    }
    ASSERT_TRUE(SetSettingString("Crash", "After", "1"));
    EXPECT_EQ(test::FileNames(fs::path(path).parent_path()), (std::set<std::string> { "user.conf", "user.conf.lock" }));
}

} // namespace
