// The setup file run for real under a private X server in a private home, its
// dialogs answered by keys typed with xdotool, what it leaves judged from outside.
#include "foundation/LSettings.h"
#include "install/LInstallPayload.h"
#include "tests/support/PrivateXServer.h"

#include <QProcess>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// What xdotool said comes with a failure, so a dialog that did not take its keys says why. Finding and focusing
// the dialog once failed at once while the program's other windows were closing; it is tried up to three times.
testing::AssertionResult Answer(const std::string& title, const std::string& keys)
{
    std::string said;
    for (int nTry = 0; nTry < 3; ++nTry) {
        said += "\n";
        if (test::RunShell("timeout 30 xdotool search --sync --onlyvisible --name "
                    + test::ShellQuote("^" + title + "$") + " windowfocus --sync 2>&1",
                &said)
            != 0)
            continue;
        if (test::RunShell("sleep 0.5 && xdotool key --delay 100 " + keys + " 2>&1", &said) == 0)
            return testing::AssertionSuccess();
        break;
    }
    return testing::AssertionFailure() << title << ": " << said;
}

class SetupTest : public test::EnvTest {
protected:
    void SetUp() override
    {
        REQUIRE_X_TOOLS();
        ASSERT_TRUE(server.Start());
        fs::create_directories(home + "/Desktop"), fs::create_directories(run);
        const std::pair<QString, std::string> vars[] = { { "HOME", home }, { "XDG_RUNTIME_DIR", run },
            { "QT_QPA_PLATFORM", "xcb" }, { "DISPLAY", getenv("DISPLAY") },
            // No bus: a running program answers on its socket in XDG_RUNTIME_DIR.
            { "DBUS_SESSION_BUS_ADDRESS", "unix:path=" + run + "/no-bus" } };
        for (const auto& [name, value] : vars)
            environment.insert(name, QString::fromStdString(value));
    }
    // Starts the program; its exit status when nMs is given (-1: still running).
    int Run(QProcess& process, const std::string& program, const QStringList& args = {}, int nMs = 0)
    {
        QStringList all = QStringList { QString::fromStdString(program) } + args;
        // Root would install for the whole machine: the programs run as
        // nobody then, over a private area that nobody owns.
        if (geteuid() == 0) {
            all = QStringList { "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--" } + all;
            test::RunShell("chown -R 65534:65534 " + test::ShellQuote(env.Dir().Path()));
        }
        process.setProcessEnvironment(environment);
        process.start(all.takeFirst(), all);
        return nMs && process.waitForFinished(nMs) ? process.exitCode() : -1;
    }

    test::PrivateXServer server;
    const std::string home = env.Dir().File("home"), run = env.Dir().File("run");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(SetupTest, InstallsForTheUserStartsAndUninstallsKeepingTheDictations)
{
    TEST_REQUIRE_TOOL("desktop-file-validate");
    const std::string setup = TAVRINE_SETUP_FILE, folder = env.DataHome() + "/Orvane/Tavrine",
                      applications = env.DataHome() + "/applications";
    ASSERT_TRUE(SetSettingBool("Settings", "InstallWizRun", true)); // no first-run wizard
    QProcess declined, installer, timed, uninstaller;
    Run(declined, setup);
    ASSERT_TRUE(Answer("Licence Agreement", "Escape"));
    EXPECT_TRUE(declined.waitForFinished(10000) && declined.exitCode() == 1 && !fs::exists(env.DataHome() + "/Orvane"));
    Run(installer, setup);
    ASSERT_TRUE(Answer("Licence Agreement", "alt+a"));
    ASSERT_TRUE(Answer("Installation Complete", "Return"));
    ASSERT_TRUE(installer.waitForFinished(30000) && installer.exitCode() == 0);
    EXPECT_TRUE(fs::is_regular_file(folder + "/tavrine-manual.html") && fs::is_regular_file(folder + "/Test.wav"));
    EXPECT_EQ(fs::canonical(home + "/.local/bin/tavrine"), fs::path(folder + "/tavrine"));
    for (const std::string& place : { applications, home + "/Desktop" })
        EXPECT_EQ(test::RunShell("cd " + test::ShellQuote(place) + " && desktop-file-validate *.desktop"), 0) << place;
    // The program and the uninstaller: the first entry, then a marker each.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(setup), program = test::ReadFileBytes(folder + "/tavrine"),
                               uninst = test::ReadFileBytes(folder + "/uninst");
    const uint8_t* pFirst = &bytes.at(bytes.size() - (GetInstallEntryCount() + 2) * 4);
    const size_t nFirst = pFirst[0] | pFirst[1] << 8 | pFirst[2] << 16 | size_t(pFirst[3]) << 24; // little-endian
    std::vector<uint8_t> zero(bytes.begin(), bytes.begin() + std::min(nFirst, bytes.size())), mark = zero;
    zero.insert(zero.end(), 4, 0), mark.insert(mark.end(), { 0x0F, 0x0F, 0xF0, 0xF0 });
    EXPECT_TRUE(program == zero && uninst == mark);
    // The program the installer started runs; another one starts too.
    EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(run + "/tavrine-dictate.socket"); }, 15000));
    EXPECT_EQ(Run(timed, folder + "/tavrine", { "--startup-time" }, 20000), 0);
    EXPECT_TRUE(timed.readAllStandardOutput().startsWith("startup_ms "));
    const std::string dictation = env.DataHome() + "/Tavrine/Current/1.dau";
    ASSERT_TRUE(test::WriteFileText(dictation, "a dictation"));
    ASSERT_TRUE(test::WriteFileText(applications + "/other.desktop", "not ours"));
    EXPECT_EQ(Run(uninstaller, folder + "/uninst", {}, 10000), 0);
    ASSERT_TRUE(Answer("Uninstall Tavrine Dictate", "alt+y"));
    ASSERT_TRUE(Answer("Uninstall Complete", "Return"));
    // The running program was closed, and the uninstaller's private copy is gone.
    EXPECT_TRUE(test::WaitUntil([&] { return test::FileNames(run).empty(); }, 10000));
    EXPECT_FALSE(fs::exists(folder) || fs::exists(home + "/.local/bin/tavrine") || fs::exists(GetUserSettingsPath()));
    EXPECT_TRUE(test::FileNames(home + "/Desktop").empty()
        && test::FileNames(applications) == std::set<std::string> { "other.desktop" });
    EXPECT_EQ(test::ReadFileText(dictation), "a dictation");
}

// A setup file that lost its payload says so and opens nothing else.
TEST_F(SetupTest, ASetupNamedFileWithoutItsMarkerReportsTheCorruptFile)
{
    QProcess corrupt;
    fs::copy_file(TAVRINE_DESKTOP, env.Dir().File("my-SeTuP"));
    Run(corrupt, env.Dir().File("my-SeTuP"));
    ASSERT_EQ(test::RunShell("timeout 20 xdotool search --sync --onlyvisible --name '^Install Error$' >/dev/null"), 0);
    EXPECT_NE(test::RunShell("xdotool search --onlyvisible --name '^Tavrine Dictate$' >/dev/null"), 0);
    ASSERT_TRUE(Answer("Install Error", "Return"));
    EXPECT_TRUE(corrupt.waitForFinished(10000) && corrupt.exitCode() == 1 && !fs::exists(env.DataHome() + "/Tavrine"));
}

} // namespace
