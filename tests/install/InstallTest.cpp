#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LSettings.h"
#include "install/LInstallPayload.h"
#include "install/LInstaller.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<uint8_t>;

void Le32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

unsigned Mode(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Five entries like the real table's, the CLI left out (size 0).
class InstallTest : public test::EnvTest {
protected:
    void SetUp() override
    {
        m_oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        home = dir.File("home");
        setenv("HOME", home.c_str(), 1);
        test::WriteFileText(env.ConfigHome() + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");
        test::WriteFileText(home + "/Desktop/mine.txt", "before");
        test::WriteFileText(home + "/.local/bin/other", "before");
        for (int i = 0; i < int(GetInstallFileTable().size()); ++i) {
            Bytes data;
            for (int k = 0; k < (i == 3 ? 0 : 5000 + 977 * i); ++k)
                data.push_back(uint8_t(k * 7 + i));
            inputs.push_back(dir.File("in" + std::to_string(i)));
            test::WriteFileBytes(inputs.back(), data);
            contents.push_back(data);
        }
        setup = dir.File("tavrine-setup");
        std::string error;
        ASSERT_TRUE(PackSetupFile(inputs, setup, &error)) << error;
        layout = GetInstallLayout(false);
    }
    void TearDown() override
    {
        setenv("HOME", m_oldHome.c_str(), 1);
        ::umask(022);
    }

    std::string home, setup;
    std::vector<std::string> inputs;
    std::vector<Bytes> contents;
    LInstallLayout layout;
    std::string m_oldHome;
};

TEST_F(InstallTest, PackedFileIsThePayloadsBackToBackThenTheirDigestsSizesChecksumAndMarker)
{
    const Bytes file = test::ReadFileBytes(setup);
    Bytes expected;
    for (const Bytes& c : contents)
        expected.insert(expected.end(), c.begin(), c.end());
    // After the list: each entry's size, the list's, the checksum and the marker.
    const Bytes list(file.begin() + expected.size(), file.end() - long(4 * (contents.size() + 3)));
    // sha256sum judges the list against the files under their installed names.
    const std::string folder = dir.File("entries");
    for (size_t i = 0; i < contents.size(); ++i)
        test::WriteFileText(
            folder + "/" + GetInstallFileTable()[i], std::string(contents[i].begin(), contents[i].end()));
    test::WriteFileBytes(folder + "/SHA256SUMS", list);
    EXPECT_EQ(
        test::RunShell("cd " + test::ShellQuote(folder) + " && sha256sum --check --strict --quiet SHA256SUMS"), 0);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), long(contents.size()) - 1); // the absent entry has no line
    expected.insert(expected.end(), list.begin(), list.end());
    const uint32_t sum = std::accumulate(expected.begin(), expected.end(), 0u);
    for (const Bytes& c : contents)
        Le32(expected, uint32_t(c.size()));
    for (uint32_t v : { uint32_t(list.size()), sum, 0x0F0FF0F0u })
        Le32(expected, v);
    EXPECT_EQ(file, expected);
    uint32_t marker = 0;
    EXPECT_TRUE(ReadInstallMarker(setup, &marker));
    EXPECT_EQ(marker, 0x0F0FF0F0u);
}

TEST_F(InstallTest, HostileTablesAreRefused)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> sizes;
        size_t payload;
        uint32_t marker;
    };
    const Case cases[] = {
        { "sizes beyond the file", { 10, 20 }, 20, kInstallMarker },
        { "sizes short of the file", { 10, 5 }, 20, kInstallMarker },
        { "a sum that wraps in 32 bits", { 0x7FFFFFFFu, 0x7FFFFFFFu, 4 }, 2, kInstallMarker },
        { "a negative size hiding bytes", { 0xFFFFFFF6u, 30 }, 20, kInstallMarker },
        { "the uninstaller's marker", { 10 }, 10, kUninstallMarker },
        { "129 entries", std::vector<uint32_t>(129, 0), 0, kInstallMarker },
    };
    for (const Case& c : cases) {
        Bytes file(c.payload, 1);
        for (uint32_t s : c.sizes)
            Le32(file, s);
        Le32(file, uint32_t(c.payload));
        Le32(file, c.marker);
        LInstallTable table;
        std::string error;
        EXPECT_FALSE(ParseInstallTable(
            file.data() + c.payload, file.size() - c.payload, file.size(), c.sizes.size(), &table, &error))
            << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

// Each row moves bytes between entries in the table (0: changes one byte
// instead), keeping the sum; nothing may be made: no folder, value, link or entry.
TEST_F(InstallTest, RefusedSetupFilesLeaveNothingBehind)
{
    const struct {
        const char* what;
        size_t from, to;
        int32_t nMoved; // < 0: the whole entry
    } cases[] = { { "one changed byte", 0, 0, 0 }, { "the program's entry missing", 0, 1, -1 },
        { "an entry boundary moved", 0, 1, 100 }, { "no digest list", 5, 4, -1 } };
    const Bytes good = test::ReadFileBytes(setup);
    const std::string tree
        = "find " + test::ShellQuote(env.Dir().Path()) + " " + test::ShellQuote(dir.Path()) + " | sort";
    std::string before, after;
    test::RunShell(tree, &before);
    for (const auto& c : cases) {
        Bytes bytes = good;
        int32_t sizes[6]; // little-endian host
        std::memcpy(sizes, bytes.data() + bytes.size() - 32, sizeof sizes);
        const int32_t nMoved = c.nMoved < 0 ? sizes[c.from] : c.nMoved;
        sizes[c.from] -= nMoved, sizes[c.to] += nMoved, bytes[7000] ^= nMoved ? 0 : 0x10;
        std::memcpy(bytes.data() + bytes.size() - 32, sizes, sizeof sizes);
        test::WriteFileBytes(setup, bytes);
        EXPECT_EQ(Install(setup, layout, nullptr).error, kInstallCorruptText) << c.what;
        after.clear();
        test::RunShell(tree, &after);
        EXPECT_EQ(after, before) << c.what;
    }
}

TEST_F(InstallTest, CancelKeepsWholeFilesOnly)
{
    LTestProgress check, progress;
    LInstallTable table;
    bool bCancelled = false;
    std::string error;
    ASSERT_TRUE(CheckSetupFile(setup, GetInstallFileTable(), &check, &bCancelled, &table, &error)) << error;
    // A pump per block: the check, then the program's 2 blocks, then the manual's first.
    progress.nStopAtPump = check.nPumps + 3;
    LInstallResult result = Install(setup, layout, &progress);
    EXPECT_TRUE(result.bCancelled);
    EXPECT_EQ(
        test::FileNames(layout.programFolder), (std::set<std::string> { "install-manifest", "tavrine", "uninst" }));
}

TEST_F(InstallTest, InstallsThenUninstallsEverythingButTheDictations)
{
    ::umask(0); // the folders' modes must not come from the umask
    // A folder left open to everyone (as older installs made it) is closed.
    ASSERT_TRUE(test::WriteFileText(layout.programFolder + "/old", "x"));
    ::chmod(layout.programFolder.c_str(), 0777);
    LInstallResult result = Install(setup, layout, nullptr);
    ASSERT_TRUE(result.bOk) << result.error;
    const std::string& pf = layout.programFolder;
    EXPECT_EQ(pf, env.DataHome() + "/Orvane/Tavrine");
    EXPECT_EQ(Mode(pf), 0755u);
    Bytes program = contents[0], uninst = contents[0];
    Le32(program, 0);
    Le32(uninst, 0xF0F00F0Fu);
    EXPECT_EQ(test::ReadFileBytes(result.program), program);
    EXPECT_EQ(test::ReadFileBytes(pf + "/uninst"), uninst);
    EXPECT_EQ(Mode(pf + "/tavrine") & 0111, 0111u);
    EXPECT_EQ(Mode(pf + "/uninst") & 0111, 0111u);
    EXPECT_EQ(test::ReadFileBytes(pf + "/Test.wav"), contents[2]);
    EXPECT_FALSE(FileExists(pf + "/tavrine-cli"));
    EXPECT_FALSE(FileExists(home + "/.local/bin/tavrine-cli"));
    EXPECT_EQ(test::ReadFileBytes(home + "/.local/bin/tavrine"), program);
    EXPECT_EQ(test::ReadFileBytes(home + "/.local/bin/tavrine-scribe"), contents[5]);
    EXPECT_NE(result.notice.find("/etc/udev/rules.d"), std::string::npos);
    EXPECT_EQ(GetMachineString("Folders", "ProgramFiles", ""), pf);
    std::vector<std::string> entries = { env.DataHome() + "/applications/org.orvane.Tavrine.desktop",
        env.DataHome() + "/applications/org.orvane.Tavrine.Manual.desktop",
        env.DataHome() + "/applications/org.orvane.Tavrine.Uninstall.desktop",
        home + "/Desktop/org.orvane.Tavrine.desktop",
        env.DataHome() + "/applications/org.orvane.TavrineScribe.desktop" };
    if (test::HaveTool("desktop-file-validate") || test::InCI()) {
        for (const std::string& e : entries)
            EXPECT_EQ(test::RunShell("desktop-file-validate " + test::ShellQuote(e) + " 2>&1"), 0) << e;
    }
    EXPECT_NE(test::ReadFileText(entries[2]).find("Name=Tavrine Dictate Uninstall"), std::string::npos);
    // The typist's program with its own icon, installed beside it.
    EXPECT_NE(test::ReadFileText(entries[4]).find("Icon=" + pf + "/tavrine-scribe.svg\n"), std::string::npos);

    // The dictations live inside the program folder: they and it stay.
    test::WriteFileText(pf + "/Dictations/Current/1.ddf", "dictation");
    ASSERT_TRUE(SetSettingString("Settings", "WorkingDataFolder", pf + "/Dictations"));
    LDictationEngineSettings::TakeNextFileNumber({}); // its lock file lies beside the settings
    LUninstallResult gone = Uninstall(layout, nullptr);
    EXPECT_TRUE(gone.bOk) << gone.error;
    EXPECT_EQ(gone.dataFolder, pf + "/Dictations");
    EXPECT_EQ(test::FileNames(pf), (std::set<std::string> { "Dictations", "old" }));
    EXPECT_EQ(test::ReadFileText(pf + "/Dictations/Current/1.ddf"), "dictation");
    EXPECT_EQ(test::FileNames(home + "/.local/bin"), (std::set<std::string> { "other" }));
    EXPECT_EQ(test::FileNames(home + "/Desktop"), (std::set<std::string> { "mine.txt" }));
    EXPECT_TRUE(test::FileNames(env.DataHome() + "/applications").empty());
    EXPECT_FALSE(FileExists(env.ConfigHome() + "/Orvane"));
    EXPECT_EQ(GetMachineString("Folders", "ProgramFiles", ""), "");
}

TEST_F(InstallTest, ManifestNamingAnotherPlaceIsRefused)
{
    ASSERT_TRUE(Install(setup, layout, nullptr).bOk);
    const std::string precious = home + "/Desktop/mine.txt";
    test::WriteFileText(GetManifestPath(layout),
        "file\t" + layout.programFolder + "/Test.wav\nentry\t" + layout.programFolder
            + "/../../../../home/Desktop/mine.txt\n");
    EXPECT_FALSE(Uninstall(layout, nullptr).bOk);
    EXPECT_TRUE(FileExists(precious));
    EXPECT_TRUE(FileExists(layout.programFolder + "/Test.wav"));
}

TEST_F(InstallTest, UninstallerCopyLiesInAPrivateFolderAndRemovesOnlyItself)
{
    const std::string runtime = dir.File("run");
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    const char* szOld = std::getenv("XDG_RUNTIME_DIR");
    const std::string old = szOld ? szOld : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::string error;
    const std::string copy = CopyUninstallerToPrivateFolder(inputs[0], &error);
    ASSERT_FALSE(copy.empty()) << error;
    EXPECT_EQ(Mode(copy.substr(0, copy.rfind('/'))), 0700u);
    EXPECT_EQ(test::ReadFileBytes(copy), contents[0]);
    RemoveUninstallerCopy(inputs[0]);
    EXPECT_TRUE(FileExists(inputs[0]));
    RemoveUninstallerCopy(copy);
    EXPECT_TRUE(test::FileNames(runtime).empty());
    setenv("XDG_RUNTIME_DIR", old.c_str(), 1);
}

} // namespace
