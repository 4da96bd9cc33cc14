// The setup file as a user meets it: run for real under a private X server
// in a private home, its dialogs answered by keys typed with xdotool, and
// what it leaves judged from outside (desktop-file-validate, the files'
// bytes, the installed program starting).
#include "foundation/LSettings.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Waits for the window with this title, gives it the focus and types keys.
bool Answer(const std::string& title, const std::string& keys)
{
    // Typed through XTEST to the focus, as a person types; keys sent to a
    // window directly are marked synthetic.
    return test::RunShell("timeout 30 xdotool search --sync --onlyvisible --name " + test::ShellQuote("^" + title + "$")
               + " windowfocus --sync >/dev/null 2>&1 && sleep 0.5 && xdotool key --delay 100 " + keys)
        == 0;
}

bool WindowShown(const std::string& title)
{
    return test::RunShell("xdotool search --onlyvisible --name " + test::ShellQuote("^" + title + "$") + " >/dev/null")
        == 0;
}

class SetupTest : public test::EnvTest {
protected:
    void SetUp() override
    {
        REQUIRE_X_TOOLS();
        ASSERT_TRUE(server.Start());
        home = env.Dir().File("home");
        run = env.Dir().File("run");
        for (const std::string& folder : { home + "/Desktop", run, env.Dir().File("tmp") })
            fs::create_directories(folder);
        fs::permissions(run, fs::perms::owner_all);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(home));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(run));
        environment.insert("TMPDIR", QString::fromStdString(env.Dir().File("tmp")));
        // No bus: a running program answers on its socket in XDG_RUNTIME_DIR.
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QString::fromStdString(run) + "/no-bus");
        environment.insert("QT_QPA_PLATFORM", "xcb");
    }
    // Root would install for the whole machine: the programs run as nobody
    // then, over a private area that nobody owns.
    void HandOver()
    {
        if (geteuid() == 0) {
            ASSERT_EQ(test::RunShell("chown -R 65534:65534 " + test::ShellQuote(env.Dir().Path())), 0);
        }
    }
    // Starts the program; it runs on while the test answers its windows.
    void Start(QProcess& process, const std::string& program, const QStringList& args = {})
    {
        process.setProcessEnvironment(environment);
        QString name = QString::fromStdString(program);
        QStringList all = args;
        if (geteuid() == 0) {
            all = QStringList { "--reuid=65534", "--regid=65534", "--clear-groups", "--", name } + args;
            name = "setpriv";
        }
        process.start(name, all);
        ASSERT_TRUE(process.waitForStarted(5000)) << program;
    }
    // Its exit status; -1 when it had to be killed.
    static int Ended(QProcess& process, int nMs)
    {
        if (process.waitForFinished(nMs) || process.state() == QProcess::NotRunning)
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        process.kill();
        process.waitForFinished(2000);
        return -1;
    }

    test::PrivateXServer server;
    std::string home, run;
    QProcessEnvironment environment;
};

#ifdef TAVRINE_SETUP_FILE
TEST_F(SetupTest, InstallsForTheUserStartsAndUninstallsKeepingTheDictations)
{
    TEST_REQUIRE_TOOL("desktop-file-validate");
    const std::string setup = TAVRINE_SETUP_FILE;
    const std::string folder = env.DataHome() + "/Orvane/Tavrine";
    const std::string applications = env.DataHome() + "/applications";
    // No first-run wizard in the program the installer starts.
    ASSERT_TRUE(SetSettingBool("Settings", "InstallWizRun", true));
    HandOver();

    // Not agreeing installs nothing.
    QProcess declined;
    Start(declined, setup);
    ASSERT_TRUE(Answer("Licence Agreement", "Escape"));
    EXPECT_EQ(Ended(declined, 10000), 1);
    EXPECT_FALSE(fs::exists(env.DataHome() + "/Orvane"));

    QProcess installer;
    Start(installer, setup);
    ASSERT_TRUE(Answer("Licence Agreement", "alt+a"));
    ASSERT_TRUE(Answer("Installation Complete", "Return"));
    ASSERT_EQ(Ended(installer, 30000), 0) << installer.readAllStandardError().toStdString();

    for (const char* szName : { "tavrine", "tavrine-manual.html", "Test.wav", "tavrine-cli", "uninst" })
        EXPECT_TRUE(fs::is_regular_file(folder + "/" + szName)) << szName;
    for (const char* szLink : { "tavrine", "tavrine-cli" })
        EXPECT_TRUE(fs::equivalent(home + "/.local/bin/" + szLink, folder + "/" + szLink)) << szLink;
    std::string entries;
    for (const std::string& place : { applications, home + "/Desktop" }) {
        EXPECT_FALSE(test::FileNames(place).empty()) << place;
        for (const std::string& name : test::FileNames(place)) {
            EXPECT_EQ(test::RunShell("desktop-file-validate " + test::ShellQuote(place + "/" + name)), 0) << name;
            entries += test::ReadFileText(place + "/" + name);
        }
    }
    EXPECT_NE(entries.find("Name=Tavrine Dictate Uninstall"), std::string::npos);

    // The installed program and the uninstaller are the setup file's first
    // entry with a marker of their own after it.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(setup);
    const std::vector<uint8_t> program = test::ReadFileBytes(folder + "/tavrine");
    const std::vector<uint8_t> uninst = test::ReadFileBytes(folder + "/uninst");
    ASSERT_GT(bytes.size(), 28u);
    const uint8_t* pFirstSize = &bytes[bytes.size() - 28];
    const size_t nFirst = pFirstSize[0] | pFirstSize[1] << 8 | pFirstSize[2] << 16 | size_t(pFirstSize[3]) << 24;
    ASSERT_EQ(program.size(), nFirst + 4);
    ASSERT_EQ(uninst.size(), nFirst + 4);
    EXPECT_TRUE(std::equal(program.begin(), program.end() - 4, bytes.begin()));
    EXPECT_TRUE(std::equal(program.begin(), program.end() - 4, uninst.begin()));
    EXPECT_EQ(std::vector<uint8_t>(program.end() - 4, program.end()), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(std::vector<uint8_t>(uninst.end() - 4, uninst.end()), (std::vector<uint8_t> { 0x0F, 0x0F, 0xF0, 0xF0 }));

    // The program the installer started runs; a second one starts too.
    const std::string socket = run + "/tavrine-dictate.socket";
    EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(socket); }, 15000));
    QProcess timed;
    Start(timed, folder + "/tavrine", { "--startup-time" });
    EXPECT_EQ(Ended(timed, 20000), 0);
    EXPECT_TRUE(timed.readAllStandardOutput().startsWith("startup_ms "));

    const std::string dictation = env.DataHome() + "/Tavrine/Current/1.dau";
    ASSERT_TRUE(test::WriteFileText(dictation, "a dictation"));
    ASSERT_TRUE(test::WriteFileText(applications + "/other.desktop", "not ours"));
    HandOver();

    QProcess uninstaller;
    Start(uninstaller, folder + "/uninst");
    EXPECT_EQ(Ended(uninstaller, 10000), 0);
    ASSERT_TRUE(Answer("Uninstall Tavrine Dictate", "alt+y"));
    ASSERT_TRUE(Answer("Uninstall Complete", "Return"));
    // The running program was closed, and the uninstaller's private copy is gone.
    EXPECT_TRUE(test::WaitUntil([&] { return test::FileNames(run).empty(); }, 10000))
        << testing::PrintToString(test::FileNames(run));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(home + "/.local/bin/tavrine"));
    EXPECT_EQ(test::FileNames(applications), std::set<std::string> { "other.desktop" });
    EXPECT_TRUE(test::FileNames(home + "/Desktop").empty());
    EXPECT_FALSE(fs::exists(GetUserSettingsPath()));
    EXPECT_EQ(test::ReadFileText(dictation), "a dictation");
}
#endif

// A setup file that lost its payload says so and opens nothing else.
TEST_F(SetupTest, ASetupNamedFileWithoutItsMarkerReportsTheCorruptFile)
{
    const std::string copy = env.Dir().File("my-SeTuP");
    fs::copy_file(TAVRINE_DESKTOP, copy);
    HandOver();
    QProcess corrupt;
    Start(corrupt, copy);
    ASSERT_TRUE(
        test::RunShell("timeout 20 xdotool search --sync --onlyvisible --name '^Install Error$' >/dev/null") == 0);
    EXPECT_FALSE(WindowShown("Tavrine Dictate"));
    ASSERT_TRUE(Answer("Install Error", "Return"));
    EXPECT_EQ(Ended(corrupt, 10000), 1);
    EXPECT_FALSE(fs::exists(env.DataHome() + "/Tavrine"));
}

} // namespace
