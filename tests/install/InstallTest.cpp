#include "foundation/LFile.h"
#include "foundation/LSettings.h"
#include "install/LInstallPayload.h"
#include "install/LInstaller.h"
#include "tests/support/LTestProgress.h"
#include "tests/support/TestSupport.h"

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
        for (int i = 0; i < 5; ++i) {
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

TEST_F(InstallTest, PackedFileIsThePayloadsBackToBackThenSizesChecksumAndMarker)
{
    Bytes expected;
    uint32_t sum = 0;
    for (const Bytes& c : contents) {
        expected.insert(expected.end(), c.begin(), c.end());
        for (uint8_t b : c)
            sum += b;
    }
    for (const Bytes& c : contents)
        Le32(expected, uint32_t(c.size()));
    Le32(expected, sum);
    Le32(expected, 0x0F0FF0F0u);
    EXPECT_EQ(test::ReadFileBytes(setup), expected);
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

TEST_F(InstallTest, OneChangedByteInstallsNothing)
{
    Bytes data = test::ReadFileBytes(setup);
    data[7000] ^= 0x10;
    test::WriteFileBytes(setup, data);
    LInstallResult result = Install(setup, layout, nullptr);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.error, kInstallCorruptText);
    EXPECT_TRUE(test::FileNames(layout.programFolder).empty());
}

TEST_F(InstallTest, CancelKeepsWholeFilesOnly)
{
    LTestProgress progress;
    // A pump per block: the checksum pass, then the program's 2 blocks, then the manual's first.
    progress.nStopAtPump = int((GetFileSizeBytes(setup) + 4095) / 4096) + 3;
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
    EXPECT_NE(result.notice.find("/etc/udev/rules.d"), std::string::npos);
    EXPECT_EQ(GetMachineString("Folders", "ProgramFiles", ""), pf);
    std::vector<std::string> entries = { env.DataHome() + "/applications/org.orvane.Tavrine.desktop",
        env.DataHome() + "/applications/org.orvane.Tavrine.Manual.desktop",
        env.DataHome() + "/applications/org.orvane.Tavrine.Uninstall.desktop",
        home + "/Desktop/org.orvane.Tavrine.desktop" };
    if (test::HaveTool("desktop-file-validate") || test::InCI()) {
        for (const std::string& e : entries)
            EXPECT_EQ(test::RunShell("desktop-file-validate " + test::ShellQuote(e) + " 2>&1"), 0) << e;
    }
    EXPECT_NE(test::ReadFileText(entries[2]).find("Name=Tavrine Dictate Uninstall"), std::string::npos);

    // The dictations live inside the program folder: they and it stay.
    test::WriteFileText(pf + "/Dictations/Current/1.ddf", "dictation");
    ASSERT_TRUE(SetSettingString("Settings", "WorkingDataFolder", pf + "/Dictations"));
    std::set<std::string> before = test::FileNames(env.DataHome());
    LUninstallResult gone = Uninstall(layout, nullptr);
    EXPECT_TRUE(gone.bOk) << gone.error;
    EXPECT_EQ(gone.dataFolder, pf + "/Dictations");
    EXPECT_EQ(test::FileNames(pf), (std::set<std::string> { "Dictations", "old" }));
    EXPECT_EQ(test::ReadFileText(pf + "/Dictations/Current/1.ddf"), "dictation");
    EXPECT_EQ(test::FileNames(home + "/.local/bin"), (std::set<std::string> { "other" }));
    EXPECT_EQ(test::FileNames(home + "/Desktop"), (std::set<std::string> { "mine.txt" }));
    EXPECT_TRUE(test::FileNames(env.DataHome() + "/applications").empty());
    EXPECT_FALSE(FileExists(GetUserSettingsPath()));
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
