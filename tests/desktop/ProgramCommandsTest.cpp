#include "DesktopFixture.h"
#include "app/shared/bus/LSingleInstance.h"

namespace {

// As another program calls the window: gdbus, not this program's own code.
QString Gdbus(const QString& method, const QStringList& args)
{
    QStringList all { "call", "--session", "--dest", LSingleInstance::kServiceName, "--object-path",
        LSingleInstance::kObjectPath, "--method", QStringLiteral("org.orvane.Tavrine.") + method };
    return RunServing(QStringLiteral("gdbus"), all + args);
}

QString Cli(const QStringList& args)
{
    return RunServing(QStringLiteral(TAVRINE_CLI), args);
}

} // namespace

// Needs a session bus of its own: the ctest entry runs it under dbus-run-session.
TEST_F(DesktopTest, SingleInstanceServesOtherProgramsCommandsAndPresses)
{
    if (qEnvironmentVariable("TAVRINE_PRIVATE_BUS") != "1")
        GTEST_SKIP() << "runs only on a private session bus (ctest desktop_single_instance_private_bus)";
    TEST_REQUIRE_TOOL("gdbus");
    // Nobody holds the name yet: the message goes to stderr, the status is 1.
    EXPECT_EQ(Cli({ "window", "0" }), " exit 1");
    MainDialog& window = Open();
    LSingleInstance instance;
    ASSERT_EQ(instance.ClaimOrActivate(), LSingleInstance::Claim::First);
    app->Serve(instance);

    EXPECT_EQ(Gdbus("Command", { "0", "" }), "(1,)");
    EXPECT_EQ(Gdbus("Command", { "8", "" }), "(0,)");
    EXPECT_EQ(Cli({ "window", "0" }), "1");

    // "Create New Dictation" held over the limit makes one dictation.
    EXPECT_EQ(Cli({ "command", "Create New Dictation", "--hold", "700" }), "");
    ASSERT_EQ(Session().List().Count(), 1u);
    LDictation* pDictation = Session().Current();
    ASSERT_NE(pDictation, nullptr);
    EXPECT_EQ(Cli({ "window", "8" }), QString::number(pDictation->GetFileNumber()));

    EXPECT_EQ(Gdbus("Command", { "5", "Smith letter" }), "(0,)");
    EXPECT_TRUE(Names().contains("Smith letter"));
    EXPECT_EQ(LDictation(pDictation->GetPath()).GetName(), "Smith letter");

    const std::string before = LDictation(pDictation->GetPath()).GetNotes();
    EXPECT_EQ(Cli({ "window", "6", "Please copy to Dr Jones" }), "0");
    EXPECT_EQ(LDictation(pDictation->GetPath()).GetNotes(), before + "Please copy to Dr Jones\r\n");

    EXPECT_EQ(Gdbus("Command", { "3", "" }), "(0,)");
    EXPECT_TRUE(PumpUntil([&] { return !window.isVisible(); }, 5000));
}

// What another program sends, without a bus: longer than 260 bytes is refused and the name stays.
TEST_F(DesktopTest, ACommandsTextOverTheLimitIsRefused)
{
    Open();
    LSingleInstance instance;
    app->Serve(instance);
    ASSERT_TRUE(Run(LCommandId::kNew));
    EXPECT_EQ(instance.Command(5, QString(260, 'n')), 0);
    EXPECT_EQ(instance.Command(5, QString(261, 'x')), 0);
    const std::string name(LDictation(Session().Current()->GetPath()).GetName());
    EXPECT_TRUE(name.starts_with("nnn") && name.find('x') == std::string::npos) << name;
}
