// Hot keys on a real X server: a private Xvfb, another client (xmessage)
// holding the focus, keys typed by xdotool, and a sink that records what came;
// and the desktop portal's shortcuts against a stand-in portal.
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LCommandSink.h"
#include "app/shared/input/LHotKeys.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/PrivateXServer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using test::PrivateXServer;

// Hot keys store the command set's numbers.
LCommandId Set(int n)
{
    return LCommandSetTable::Id(n);
}

struct SinkEvent {
    bool bPress;
    int nCommand;
    int nHoldLimitMs;
    qint64 nAtMs;
};

class RecordingSink : public LCommandSink {
public:
    RecordingSink() { m_clock.start(); }
    void CommandPress(LCommandId id) override { events.push_back({ true, Number(id), 0, m_clock.elapsed() }); }
    void CommandRelease(LCommandId id) override { events.push_back({ false, Number(id), 0, m_clock.elapsed() }); }
    void CommandReleaseHeld(LCommandId id, int nLimit) override
    {
        events.push_back({ false, Number(id), nLimit, m_clock.elapsed() });
    }
    std::vector<SinkEvent> events;
    // "+3" a press, "-3/820" a release with its hold limit.
    std::string Log() const
    {
        std::string log;
        for (const SinkEvent& e : events)
            log += (log.empty() ? "" : " ") + std::string(e.bPress ? "+" : "-") + std::to_string(e.nCommand)
                + (e.nHoldLimitMs ? "/" + std::to_string(e.nHoldLimitMs) : "");
        return log;
    }

private:
    static int Number(LCommandId id) { return LCommandSetTable::Number(id); }
    QElapsedTimer m_clock;
};

constexpr uint32_t kCtrl = 1u << 17;
constexpr uint32_t kVkK = 0x4B;
constexpr uint32_t kVkF5 = 0x74;
constexpr uint32_t kVkF6 = 0x75;

void Xdotool(const std::string& args)
{
    ASSERT_EQ(test::RunShell("xdotool " + args), 0) << args;
}

class HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        REQUIRE_X_TOOLS();
        ASSERT_TRUE(server.Start());
    }
    bool WaitEvents(size_t uCount, int nMs = 3000)
    {
        return PumpUntil([&] { return sink.events.size() >= uCount; }, nMs);
    }

    RecordingSink sink;
    PrivateXServer server;
};

TEST_F(HotKeysTest, TapAndHoldGiveOnePressAndOneReleaseWithControlGrabbed)
{
    LHotKeys keys(sink);
    ASSERT_TRUE(keys.Open());
    EXPECT_EQ(keys.KeyText(kCtrl | kVkK), "Ctrl+K");
    ASSERT_EQ(keys.Start({ { kCtrl | kVkK, Set(3) }, { kVkF5, Set(4) } }), 2);

    // K alone is not the hot key: it goes to the focused window.
    Xdotool("key k");
    PumpFor(200);
    EXPECT_TRUE(sink.events.empty());

    Xdotool("key ctrl+k");
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(sink.Log(), "+3 -3/820");

    // Held past the server's auto-repeat delay: still one press, and the
    // release comes when the key goes up, not before.
    sink.events.clear();
    Xdotool("keydown F5");
    PumpFor(1000);
    EXPECT_EQ(sink.Log(), "+4");
    Xdotool("keyup F5");
    ASSERT_TRUE(WaitEvents(2));
    PumpFor(200);
    ASSERT_EQ(sink.Log(), "+4 -4/820");
    EXPECT_GE(sink.events[1].nAtMs - sink.events[0].nAtMs, 900);
    EXPECT_FALSE(keys.IsCommandHeld());
}

// The desktop portal's shortcuts against a stand-in portal (fake_portal.py)
// on a private session bus, as a Wayland session without an X display.
class PortalShortcuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
            GTEST_SKIP() << "runs only on a private session bus (ctest desktop_portal_private_bus)";
        if (test::RunShell("/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null") != 0) {
            if (test::InCI())
                FAIL() << "python3-dbus and python3-gi are needed";
            GTEST_SKIP() << "python3-dbus or python3-gi missing (run scripts/setup.sh)";
        }
        m_saved = qgetenv("DISPLAY");
        unsetenv("DISPLAY");
        setenv("WAYLAND_DISPLAY", "wayland-test", 1);
        ASSERT_EQ(test::RunShell("/usr/bin/python3 " TAVRINE_SOURCE_DIR
                                 "/tests/desktop/fake_portal.py >/dev/null 2>&1 & echo $!",
                      &m_portalPid),
            0);
        QDBusConnectionInterface* pBus = QDBusConnection::sessionBus().interface();
        ASSERT_TRUE(PumpUntil([&] { return pBus->isServiceRegistered("org.freedesktop.portal.Desktop").value(); }));
    }
    void TearDown() override
    {
        if (!m_portalPid.empty())
            test::RunShell("kill " + m_portalPid);
        unsetenv("WAYLAND_DISPLAY");
        if (!m_saved.isEmpty())
            setenv("DISPLAY", m_saved.constData(), 1);
    }
    static QDBusMessage Portal(const char* szMethod, const QVariantList& args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop",
            "/org/freedesktop/portal/desktop", "org.orvane.TavrineTest.Portal", szMethod);
        call.setArguments(args);
        return QDBusConnection::sessionBus().call(call);
    }
    static QJsonArray Calls()
    {
        return QJsonDocument::fromJson(Portal("Calls").arguments().value(0).toString().toUtf8()).array();
    }
    // Waits until the portal has seen n calls and returns them.
    static QJsonArray CallsWhen(int n)
    {
        PumpUntil([&] { return Calls().size() >= n; });
        PumpFor(100);
        return Calls();
    }
    static QStringList Ids(const QJsonValue& bind)
    {
        QStringList ids;
        for (const QJsonValue& shortcut : bind[2].toArray())
            ids << shortcut[0].toString();
        return ids;
    }

    RecordingSink sink;
    QByteArray m_saved;
    std::string m_portalPid;
};

TEST_F(PortalShortcuts, BoundOncePerSessionWithStableIdsActivationsPressAndRelease)
{
    LHotKeys keys(sink);
    ASSERT_TRUE(keys.OpenForDesktop());
    EXPECT_TRUE(keys.UsesPortal());
    const std::vector<LHotKey> stored = { { kCtrl | kVkK, Set(3) }, { kVkF5, Set(99) }, { kVkF6, Set(4) } };
    EXPECT_EQ(keys.Start(stored), 2);
    QJsonArray calls = CallsWhen(2);
    ASSERT_EQ(calls.size(), 2) << QJsonDocument(calls).toJson().toStdString();
    EXPECT_EQ(calls[0][0], "CreateSession");
    ASSERT_EQ(calls[1][0], "BindShortcuts");
    const QString session = calls[1][1].toString();
    EXPECT_TRUE(session.endsWith("/" + calls[0][1]["session_handle_token"].toString())) << session.toStdString();
    // A stored command outside the set is not offered; the others with the
    // command's name and the key in the desktops' trigger form.
    const QJsonArray bound = calls[1][2].toArray();
    ASSERT_EQ(bound.size(), 2);
    EXPECT_EQ(bound[0][1]["description"], "Record");
    EXPECT_EQ(bound[0][1]["preferred_trigger"], "CTRL+k");
    EXPECT_EQ(bound[1][1]["description"], "Play");
    EXPECT_EQ(bound[1][1]["preferred_trigger"], "F6");
    const QStringList ids = Ids(calls[1]);

    Portal("Emit", { "Activated", ids[1] });
    ASSERT_TRUE(PumpUntil([&] { return sink.events.size() == 1; }));
    EXPECT_TRUE(keys.IsCommandHeld());
    Portal("Emit", { "Deactivated", ids[1] });
    ASSERT_TRUE(PumpUntil([&] { return sink.events.size() == 2; }));
    PumpFor(100);
    EXPECT_EQ(sink.Log(), "+4 -4/820");

    // Started again (as after the settings sheet): the old session closed, a
    // new one bound once, with the same ids.
    keys.Start(stored);
    calls = CallsWhen(5);
    ASSERT_EQ(calls.size(), 5);
    EXPECT_EQ(calls[2][0], "Close");
    EXPECT_EQ(calls[2][1], session);
    EXPECT_EQ(calls[3][0], "CreateSession");
    ASSERT_EQ(calls[4][0], "BindShortcuts");
    EXPECT_NE(calls[4][1], session);
    EXPECT_EQ(Ids(calls[4]).join(" ").toStdString(), ids.join(" ").toStdString());
}

} // namespace
