// A typist's session in the real window on Qt's offscreen platform, by the
// pedal double and keys alone: a sox-made dictation in a shared folder is
// chosen with the arrow key, claimed, played under the pedal (pausing goes
// back by the auto-rewind time) and marked done, on the scripted sound device.
#include "app/scribe/LCompactBar.h"
#include "app/scribe/LInboxWatch.h"
#include "app/scribe/LScribeApp.h"
#include "app/scribe/LScribeWindow.h"
#include "app/scribe/LSourcesPage.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LInputKeys.h"
#include "foundation/LSettings.h"
#include "platform/LImapClient.h"
#include "scribe/LImapPoolSource.h"
#include "scribe/LScribeSettings.h"
#include "tests/support/ImapTestServer.h"
#include "tests/support/PedalDouble.h"
#include "tests/support/ScriptedPcmBackend.h"
#include "tests/support/TestSupport.h"
#include "ui/LQtMainLoop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>

namespace {

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "scribe_app_tests";
    static char* argv[] = { name, nullptr };
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Neither the test's display nor its session bus: no key is grabbed and no
    // name taken outside the test.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    static QApplication* pApp = new QApplication(argc, argv);
    return *pApp;
}

bool PumpUntil(const std::function<bool()>& done, int nMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

class ScribeSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        if (!test::HaveTool("sox"))
            GTEST_SKIP() << "needs sox";
        backend.Install();
        backend.SetPlaybackManual(true);
        inbox = env.Dir().File("inbox");
        std::filesystem::create_directories(inbox);
        ASSERT_EQ(test::RunShell("sox -n -r 8000 -c 1 -b 16 " + test::ShellQuote(inbox + "/Letter.wav")
                      + " synth 4 sine 440 vol 0.3"),
            0);
        LScribeSourceConfig config;
        config.name = "office";
        config.values.emplace_back("Folder", inbox);
        std::string why;
        ASSERT_TRUE(LScribeSettings::SaveSource(config, &why)) << why;
        SetSettingString(LScribeSettings::kSection, LScribeSettings::kTypistName, "Ann Typist");
        InputKeys::kControlPort.Set(HardwareControl::kUsbPedals);
    }
    void TearDown() override
    {
        app.reset();
        backend.Uninstall();
    }

    void Pedal(uint8_t uBits)
    {
        pedal.Set(uBits, [](const std::function<bool()>& done) { return PumpUntil(done); });
        PumpUntil([] { return false; }, 10);
    }

    test::IsolatedEnvironment env;
    test::ScriptedPcmBackend backend;
    test::PedalDouble pedal { env.Dir().File("pedal") };
    LQtMainLoop loop;
    std::string inbox;
    std::unique_ptr<LScribeApp> app;
};

TEST_F(ScribeSession, ChosenClaimedPlayedUnderThePedalAndDoneByKeysAlone)
{
    std::vector<std::string> problems;
    app = std::make_unique<LScribeApp>(LScribeInbox::FromSettings(&problems), loop);
    ASSERT_TRUE(problems.empty()) << problems.front();
    // The commands the typist binds to keys and pedals name this program.
    EXPECT_EQ(LCommandSetTable::Name(LCommandId::kSetOpen), "Open Tavrine Scribe");
    app->StartInputs(true, { pedal.Roots(), {}, {} });
    LScribeWindow& window = app->Window();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    app->Session().Refresh();
    QTreeWidget* pList = window.List();
    ASSERT_EQ(pList->topLevelItemCount(), 1);
    pList->setFocus();

    QTest::keyClick(pList, Qt::Key_Down);
    ASSERT_TRUE(app->Session().HasCurrent());
    EXPECT_EQ(app->Session().Length(), 4000);

    QTest::keyClick(pList, Qt::Key_L, Qt::ControlModifier);
    ASSERT_NE(app->Session().CurrentJob(), nullptr);
    EXPECT_EQ(app->Session().CurrentJob()->state, LScribeJobState::Claimed);
    EXPECT_TRUE(std::filesystem::exists(inbox + "/Claimed/AnnTypist/Letter.wav"));

    // The middle pedal plays while held; letting go goes back one second.
    Pedal(2);
    ASSERT_TRUE(app->Session().IsPlaying());
    // A dictation arriving meanwhile is listed without F5, and the one playing plays on.
    std::filesystem::copy_file(inbox + "/Claimed/AnnTypist/Letter.wav", inbox + "/.Reply.wav");
    std::filesystem::rename(inbox + "/.Reply.wav", inbox + "/Reply.wav");
    EXPECT_TRUE(PumpUntil([&] { return pList->topLevelItemCount() == 2; }));
    EXPECT_TRUE(app->Session().IsPlaying());
    ASSERT_NE(pList->currentItem(), nullptr);
    EXPECT_EQ(pList->currentItem()->text(LScribeWindow::kColName), "Letter");
    EXPECT_TRUE(PumpUntil([&] {
        backend.AdvancePlayback(160);
        return app->Session().Position() >= 1500;
    }));
    Pedal(0);
    EXPECT_FALSE(app->Session().IsPlaying());
    const int32_t nPaused = app->Session().Position();
    EXPECT_GE(nPaused, 500);
    EXPECT_LT(nPaused, 1500);
    const size_t uWritten = backend.PlaybackSamples().size();
    // Holding the left pedal scans back, and lets go without playing.
    Pedal(1);
    EXPECT_TRUE(app->Session().IsScanning());
    Pedal(0);
    EXPECT_FALSE(app->Session().IsPlaying());
    EXPECT_GT(backend.PlaybackSamples().size(), uWritten);
    // A tap plays only while it lasts, where the window's play key would latch.
    Pedal(2);
    EXPECT_TRUE(app->Session().IsPlaying());
    Pedal(0);
    EXPECT_FALSE(app->Session().IsPlaying());

    QTest::keyClick(pList, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(pList->topLevelItemCount(), 1);
    EXPECT_FALSE(app->Session().HasCurrent());
    EXPECT_FALSE(std::filesystem::exists(inbox + "/Claimed/AnnTypist/Letter.wav"));
}

} // namespace

namespace {

TEST_F(ScribeSession, SourcesPageStoresAnFtpDirectoryOnlyOnOk)
{
    LScribeSourceConfig ftp;
    ftp.name = "remote";
    ftp.values = { { "FtpServer", "127.0.0.1:2121" }, { "FtpUserName", "ann" }, { "FtpPassword", "s3cret" },
        { "FtpDirectory", "in" }, { "FtpAllowPlain", "1" }, { "PollSeconds", "15" } };
    auto stored = [](const std::string& name) {
        for (const LScribeSourceConfig& config : LScribeSettings::LoadSources())
            if (config.name == name)
                return config;
        return LScribeSourceConfig {};
    };
    {
        LSourcesPage cancelled;
        ASSERT_TRUE(cancelled.AddSource(ftp));
        EXPECT_EQ(cancelled.List()->topLevelItemCount(), 2);
    }
    EXPECT_TRUE(stored("remote").name.empty());
    LSourcesPage page;
    ASSERT_TRUE(page.AddSource(ftp));
    ASSERT_TRUE(page.Store());
    const LScribeSourceConfig back = stored("remote");
    EXPECT_EQ(back.Get("FtpServer"), "127.0.0.1:2121");
    EXPECT_EQ(back.Get("FtpPassword"), "s3cret");
    EXPECT_EQ(back.Get("PollSeconds"), "15");
    const std::string conf = std::string(getenv("XDG_CONFIG_HOME")) + "/Orvane/Tavrine/user.conf";
    EXPECT_EQ(std::filesystem::status(conf).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

} // namespace

namespace {

// The media pictures are drawn in the palette's ink: light on a dark bar.
TEST_F(ScribeSession, CompactBarIconsTakeTheDarkPalettesInk)
{
    std::vector<std::string> problems;
    app = std::make_unique<LScribeApp>(LScribeInbox::FromSettings(&problems), loop);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::ButtonText, QColor(0xf0, 0xf0, 0xf0));
    app->Bar().setPalette(dark);
    int nButtons = 0;
    for (QToolButton* pButton : app->Bar().findChildren<QToolButton*>()) {
        if (pButton->toolTip() == "Job list")
            continue;
        const QImage image = pButton->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        int nInk = 0, nLight = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (const QColor c = image.pixelColor(x, y); c.alpha() > 128)
                    ++nInk, nLight += c.lightness() > 160;
        EXPECT_GT(nInk, 0) << pButton->toolTip().toStdString();
        EXPECT_EQ(nLight, nInk) << pButton->toolTip().toStdString();
        ++nButtons;
    }
    EXPECT_EQ(nButtons, 3);
}

} // namespace

namespace {

// A change in a pool reaches the window's watch within seconds: by IDLE on a
// connection of the watch's own, or by the listing every 5 s where the
// server has no IDLE.
TEST(ScribeInboxWatch, APoolsNewDictationIsNoticedWithinSeconds)
{
    TEST_REQUIRE_TOOL("dovecot");
    TestApp();
    for (const bool bIdle : { true, false }) {
        SCOPED_TRACE(bIdle ? "IDLE" : "no IDLE");
        test::IsolatedEnvironment env;
        test::ImapTestServer::Options options;
        options.bIdle = bIdle;
        test::ImapTestServer server({ { "pool", "pool-pw" } }, options);
        ASSERT_TRUE(server.IsRunning()) << server.Log();
        test::TrustCertificate trust(server.CertFile());
        LImapClient admin;
        ASSERT_TRUE(admin.LogOn(server.PlainServer(), "pool", "pool-pw") && admin.CreateFolder("Pool"));
        LScribeInbox inbox;
        inbox.AddSource(std::make_unique<LImapPoolSource>("pool", "anne",
            LScribeSourceConfig { "pool",
                { { "ImapServer", server.PlainServer() }, { "ImapUserName", "pool" }, { "ImapPassword", "pool-pw" },
                    { "ImapFolder", "Pool" }, { "ImapPool", "1" } } }));
        LInboxWatch watch;
        QStringList changed;
        QObject::connect(&watch, &LInboxWatch::Changed, [&](const QStringList& sources) { changed << sources; });
        watch.Watch(inbox);
        // Until the watch is waiting a change may come before it looks: one
        // more every 2 s. With IDLE the watch has no timer, so only the
        // server's word can end this.
        const std::string message = "From: a@example.org\r\nSubject: x\r\n\r\nx\r\n";
        for (int i = 0; i < 8 && changed.isEmpty(); ++i) {
            ASSERT_TRUE(admin.Append("Pool", message));
            PumpUntil([&] { return !changed.isEmpty(); }, 2000);
        }
        EXPECT_EQ(changed.value(0), "pool");
        watch.Stop();
    }
}

} // namespace
