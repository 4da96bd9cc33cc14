#include "DesktopFixture.h"
#include "app/shared/bus/LSingleInstance.h"
#include "foundation/LFile.h"
#include "foundation/LSettings.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

// Starts tavrine and waits for it to end; -1 when it did not end in time.
int RunSecondStart(const QProcessEnvironment& environment, int nMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TAVRINE_DESKTOP), {});
    bool bEnded = PumpUntil([&] { return process.state() == QProcess::NotRunning; }, nMs);
    if (!bEnded) {
        process.kill();
        process.waitForFinished(2000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

QProcessEnvironment Offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

// Needs a session bus of its own: the ctest entry runs it under dbus-run-session.
TEST_F(DesktopTest, SingleInstanceSecondStartActivatesTheFirstOverTheBus)
{
    if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
        GTEST_SKIP() << "runs only on a private session bus (ctest desktop_single_instance_private_bus)";
    MainDialog& dialog = Open();
    dialog.showMinimized();
    PumpFor(20);
    ASSERT_TRUE(dialog.isMinimized());
    LSingleInstance first;
    ASSERT_EQ(first.ClaimOrActivate(), LSingleInstance::Claim::First);
    EXPECT_EQ(first.GetChannel(), LSingleInstance::Channel::Bus);
    int nActivations = 0;
    first.onActivate = [&] {
        ++nActivations;
        dialog.OpenWindow();
    };

    EXPECT_EQ(RunSecondStart(Offscreen(), 10000), 0);
    EXPECT_EQ(nActivations, 1);
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(DesktopTest, WithoutABusALocalSocketKeepsOneInstance)
{
    test::TempDir runtime;
    QProcessEnvironment environment = Offscreen();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QString::fromStdString(runtime.File("no-bus")));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path()));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(TAVRINE_DESKTOP), {});
    ASSERT_TRUE(first.waitForStarted(5000));
    std::string socket = runtime.File("tavrine-dictate.socket");
    ASSERT_TRUE(PumpUntil([&] { return FileExists(socket); }, 10000));

    EXPECT_EQ(RunSecondStart(environment, 10000), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    // SIGTERM closes the window as the user would: the window state is stored.
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_NE(GetMachineInt("MainWindow", "Width", -1), -1);

    // A socket file left behind by a crash does not stop the next start.
    QProcess crashed;
    crashed.setProcessEnvironment(environment);
    crashed.start(QStringLiteral(TAVRINE_DESKTOP), {});
    ASSERT_TRUE(PumpUntil([&] { return FileExists(socket); }, 10000));
    crashed.kill();
    crashed.waitForFinished(2000);
    ASSERT_TRUE(FileExists(socket));
    QProcess again;
    again.setProcessEnvironment(environment);
    again.start(QStringLiteral(TAVRINE_DESKTOP), {});
    ASSERT_TRUE(again.waitForStarted(5000));
    EXPECT_FALSE(again.waitForFinished(1500)) << "the start after a crash exited instead of running";
    again.kill();
    again.waitForFinished(2000);
}

} // namespace
