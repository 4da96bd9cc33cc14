// Hot keys on a real X server: a private Xvfb, another client (xmessage)
// holding the focus, keys typed by xdotool, and a sink that records what came.
#include "app/desktop/input/LCommandSink.h"
#include "app/desktop/input/LHotKeys.h"
#include "tests/desktop/DesktopFixture.h"

#include <QMainWindow>
#include <QStatusBar>

#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct SinkEvent {
    bool bPress;
    int nCommand;
    int nHoldLimitMs;
    qint64 nAtMs;
};

class RecordingSink : public LCommandSink {
public:
    RecordingSink() { m_clock.start(); }
    void CommandPress(int n) override { events.push_back({ true, n, 0, m_clock.elapsed() }); }
    void CommandRelease(int n) override { events.push_back({ false, n, 0, m_clock.elapsed() }); }
    void CommandReleaseHeld(int n, int nLimit) override { events.push_back({ false, n, nLimit, m_clock.elapsed() }); }
    std::vector<SinkEvent> events;

private:
    QElapsedTimer m_clock;
};

constexpr uint32_t kCtrl = 1u << 17;
constexpr uint32_t kVkK = 0x4B;
constexpr uint32_t kVkF5 = 0x74;
constexpr uint32_t kVkF6 = 0x75;
constexpr uint32_t kVkF7 = 0x76;

class HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        TEST_REQUIRE_TOOL("Xvfb");
        TEST_REQUIRE_TOOL("xdotool");
        TEST_REQUIRE_TOOL("xmessage");
        ASSERT_TRUE(StartServer());
        ASSERT_EQ(test::RunShell("xmessage -name tavrinefocus focus >/dev/null 2>&1 & echo $!", &m_focusPid), 0);
        ASSERT_EQ(test::RunShell("timeout 5 xdotool search --sync --classname tavrinefocus windowfocus"), 0);
    }
    void TearDown() override
    {
        if (!m_focusPid.empty())
            test::RunShell("kill " + m_focusPid);
        if (m_serverPid > 0) {
            kill(m_serverPid, SIGTERM);
            waitpid(m_serverPid, nullptr, 0);
        }
        if (m_savedDisplay)
            setenv("DISPLAY", m_savedDisplay->c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

    // Xvfb picks a free display itself and writes its number to the pipe.
    bool StartServer()
    {
        if (const char* szDisplay = getenv("DISPLAY"))
            m_savedDisplay = std::string(szDisplay);
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_serverPid = fork();
        if (m_serverPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "640x480x24",
                static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd pfd { fds[0], POLLIN, 0 };
        char c = 0;
        while (poll(&pfd, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }
    static void Xdotool(const std::string& args) { ASSERT_EQ(test::RunShell("xdotool " + args), 0) << args; }
    bool WaitEvents(size_t uCount, int nMs = 3000)
    {
        return PumpUntil([&] { return sink.events.size() >= uCount; }, nMs);
    }

    RecordingSink sink;
    pid_t m_serverPid = -1;
    std::string m_focusPid;
    std::optional<std::string> m_savedDisplay;
};

TEST_F(HotKeysTest, TapAndHoldGiveOnePressAndOneReleaseWithControlGrabbed)
{
    LHotKeys keys(sink);
    ASSERT_TRUE(keys.Open());
    EXPECT_EQ(keys.KeyText(kCtrl | kVkK), "Ctrl+K");
    ASSERT_EQ(keys.Start({ { kCtrl | kVkK, 3 }, { kVkF5, 4 } }), 2);

    // K alone is not the hot key: it goes to the focused window.
    Xdotool("key k");
    PumpFor(200);
    EXPECT_TRUE(sink.events.empty());

    Xdotool("key ctrl+k");
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_TRUE(sink.events[0].bPress);
    EXPECT_EQ(sink.events[0].nCommand, 3);
    EXPECT_FALSE(sink.events[1].bPress);
    EXPECT_EQ(sink.events[1].nCommand, 3);
    EXPECT_EQ(sink.events[1].nHoldLimitMs, 820);

    // Held past the server's auto-repeat delay: still one press, and the
    // release comes when the key goes up, not before.
    sink.events.clear();
    Xdotool("keydown F5");
    PumpFor(1000);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_TRUE(sink.events[0].bPress);
    Xdotool("keyup F5");
    ASSERT_TRUE(WaitEvents(2));
    PumpFor(200);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_FALSE(sink.events[1].bPress);
    EXPECT_EQ(sink.events[1].nCommand, 4);
    EXPECT_GE(sink.events[1].nAtMs - sink.events[0].nAtMs, 900);
    EXPECT_FALSE(keys.IsCommandHeld());
}

TEST_F(HotKeysTest, KeyTakenByAnotherClientIsSkippedAndTheOthersWork)
{
    LX11HotKeyGrabber other;
    ASSERT_TRUE(other.Open());
    ASSERT_EQ(other.Grab({ { 0xFFC3 /* F6 */, 0 } }), std::vector<bool> { true });

    LHotKeys keys(sink);
    ASSERT_TRUE(keys.Open());
    keys.Start({ { kVkF6, 9 }, { kVkF7, 16 } });
    EXPECT_EQ(keys.Grabbed(), (std::vector<bool> { false, true }));
    Xdotool("key F6 F7");
    ASSERT_TRUE(WaitEvents(2));
    PumpFor(200);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].nCommand, 16);
    EXPECT_TRUE(sink.events[0].bPress);
}

// A source that repeats its message while the key is down and sends no
// release: the command stays held until the repeats stop.
TEST(HotKeysEmulation, RepeatsHoldTheCommandUntilTheyStop)
{
    TestApp();
    RecordingSink sink;
    LHotKeys keys(sink);
    keys.Start({ { kVkF5, 4 }, { kVkF6, 9 } });
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 7; ++i) {
        keys.EvHotKey(i == 2 ? 1 : 0);
        PumpFor(100);
    }
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_TRUE(keys.IsCommandHeld());
    ASSERT_TRUE(PumpUntil([&] { return sink.events.size() == 2; }, 2000));
    // Released 250 ms after the last repeat (at about 600 ms), not 600 ms
    // after the first message.
    EXPECT_GE(clock.elapsed(), 800);
    EXPECT_LT(clock.elapsed(), 1100);
    EXPECT_EQ(sink.events[1].nCommand, 4);
    EXPECT_EQ(sink.events[1].nHoldLimitMs, 820);

    // One message alone: released 600 ms after it.
    sink.events.clear();
    clock.restart();
    keys.EvHotKey(1);
    ASSERT_TRUE(PumpUntil([&] { return sink.events.size() == 2; }, 2000));
    EXPECT_GE(clock.elapsed(), 580);
    EXPECT_EQ(sink.events[0].nCommand, 9);
}

// Without an X display (Wayland without XWayland) stored hot keys cannot be
// grabbed: the status bar says so and names the way out.
TEST_F(DesktopTest, WithoutAnXDisplayTheStatusBarSaysHotKeysAreUnavailable)
{
    ASSERT_TRUE(SetSettingInt("Keys", "Count", 1));
    ASSERT_TRUE(SetSettingInt("Keys", "Key0", static_cast<int>(kCtrl | kVkK)));
    ASSERT_TRUE(SetSettingInt("Keys", "Key0Command", 3));
    const char* szDisplay = getenv("DISPLAY");
    const std::string saved = szDisplay ? szDisplay : "";
    unsetenv("DISPLAY");
    Open();
    RecordingSink sink;
    app->StartHotKeys(sink);
    if (szDisplay)
        setenv("DISPLAY", saved.c_str(), 1);
    ASSERT_NE(app->HotKeys(), nullptr);
    EXPECT_FALSE(app->HotKeys()->IsAvailable());
    const QString message = app->MainWindow().statusBar()->currentMessage();
    EXPECT_TRUE(message.contains("unavailable on this desktop")) << message.toStdString();
    EXPECT_TRUE(message.contains("tavrine-cli command")) << message.toStdString();
}

} // namespace
