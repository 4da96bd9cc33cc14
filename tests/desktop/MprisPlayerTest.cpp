// The media keys as the desktop delivers them: MPRIS calls made by gdbus,
// signals read by dbus-monitor, on a private bus; and the keys themselves
// reaching the focused window. Playback runs on the scripted device in real time.
#include "app/shared/bus/LMprisPlayer.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <QKeyEvent>
#include <QRegularExpression>

namespace {

QString Mpris(const QString& method, const QStringList& args = {})
{
    return RunServing(QStringLiteral("gdbus"),
        QStringList { "call", "--session", "--dest", LMprisPlayer::kServiceName, "--object-path",
            LMprisPlayer::kObjectPath, "--method", method }
            + args);
}

QString Get(const QString& property)
{
    return Mpris("org.freedesktop.DBus.Properties.Get", { "org.mpris.MediaPlayer2.Player", property });
}

// "(<int64 25000000>,)" read as a number; -1 for anything else.
qlonglong GetPosition()
{
    auto match = QRegularExpression(R"(^\(<int64 (\d+)>,\)$)").match(Get("Position"));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

// Needs a session bus of its own: the ctest entry runs it under dbus-run-session.
TEST_F(DesktopTest, MprisPlayerServesTheDesktopsMediaKeys)
{
    if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
        GTEST_SKIP() << "runs only on a private session bus (ctest desktop_mpris_private_bus)";
    TEST_REQUIRE_TOOL("gdbus");
    TEST_REQUIRE_TOOL("dbus-monitor");
    test::ScriptedPcmBackend backend;
    backend.Install();
    SetSettingInt("Settings", "SampleRate", 8000);
    Record(*Make("Smith letter", 0, 50, 1000), 8000 * 30);
    Open();
    LMprisPlayer* pPlayer = app->StartMediaKeys();
    ASSERT_EQ(pPlayer->Service(), LMprisPlayer::kServiceName);
    LSession& transport = Session();
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Paused'>,)");
    EXPECT_TRUE(Get("Metadata").contains("'xesam:title': <'Smith letter'>")) << Get("Metadata").toStdString();
    EXPECT_TRUE(Get("Metadata").contains("'mpris:length': <int64 30000000>"));
    ASSERT_TRUE(Run(LCommandId::kGoStart));

    // A PropertiesChanged with the new status reaches another program on play.
    QProcess monitor;
    monitor.start("dbus-monitor", { "--session", "type='signal',interface='org.freedesktop.DBus.Properties'" });
    QByteArray seen;
    ASSERT_TRUE(PumpUntil([&] { return (seen += monitor.readAllStandardOutput()).contains("NameAcquired"); }));
    EXPECT_EQ(Mpris("org.mpris.MediaPlayer2.Player.PlayPause"), "()");
    EXPECT_TRUE(transport.IsPlaying());
    EXPECT_TRUE(PumpUntil([&] {
        seen += monitor.readAllStandardOutput();
        return seen.contains("string \"PlaybackStatus\"") && seen.contains("string \"Playing\"");
    })) << seen.toStdString();
    monitor.kill();
    monitor.waitForFinished(2000);
    PumpFor(600);
    const qlonglong nBefore = qlonglong { Session().Position() } * 1000;
    const qlonglong nPlayed = GetPosition();
    EXPECT_GT(nBefore, 200000);
    EXPECT_GE(nPlayed, nBefore);
    EXPECT_LE(nPlayed, qlonglong { Session().Position() } * 1000);

    // PlayPause stops; stopped, Next and Previous step exactly 5 s.
    EXPECT_EQ(Mpris("org.mpris.MediaPlayer2.Player.PlayPause"), "()");
    EXPECT_FALSE(transport.IsPlaying());
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Paused'>,)");
    const qlonglong nFrom = GetPosition();
    Mpris("org.mpris.MediaPlayer2.Player.Next");
    EXPECT_EQ(GetPosition(), nFrom + 5000000);
    Mpris("org.mpris.MediaPlayer2.Player.Next");
    Mpris("org.mpris.MediaPlayer2.Player.Previous");
    EXPECT_EQ(GetPosition(), nFrom + 5000000);

    EXPECT_EQ(Mpris("org.mpris.MediaPlayer2.Player.Stop"), "()");
    EXPECT_FALSE(transport.IsPlaying());

    // The keys in the focused window act on every press of their own; the
    // same press arriving the other way within the echo time is dropped.
    auto press = [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_MediaPlay, Qt::NoModifier);
        QCoreApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : dialog, &key);
        return transport.IsPlaying();
    };
    EXPECT_TRUE(press());
    EXPECT_FALSE(press());
    PumpFor(LMprisPlayer::kEchoMs);
    Mpris("org.mpris.MediaPlayer2.Player.PlayPause");
    EXPECT_TRUE(transport.IsPlaying());
    EXPECT_TRUE(press()) << "the window's copy of the desktop's press acted again";
    PumpFor(LMprisPlayer::kEchoMs);
    EXPECT_FALSE(press());
    app.reset();
    backend.Uninstall();
}
