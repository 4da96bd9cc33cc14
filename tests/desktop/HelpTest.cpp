// The Help menu over a stand-in xdg-open on PATH that records its arguments.
#include "tests/desktop/DesktopFixture.h"

#include <QTest>

#include <sys/stat.h>

TEST_F(DesktopTest, HelpOpensTheManualBesideTheProgramAndAboutNamesVersionAndInstalledManual)
{
    test::TempDir bin, prefix;
    const std::string path = getenv("PATH"), folder = prefix.File("share/doc/tavrine/manual");
    ASSERT_TRUE(test::WriteFileText(bin.File("xdg-open"), "#!/bin/sh\necho \"$@\" >> " + bin.File("ran") + "\n"));
    chmod(bin.File("xdg-open").c_str(), 0700);
    setenv("PATH", (bin.Path() + ":" + path).c_str(), 1);
    QStringList calls;
    auto called = [&](int n) {
        return PumpUntil([&] {
            return (calls = QString::fromStdString(test::ReadFileText(bin.File("ran"))).split('\n', Qt::SkipEmptyParts))
                       .size()
                >= n;
        });
    };
    Open();
    const QString manual = QStringLiteral(TAVRINE_BUILD_DIR "/app/desktop/tavrine-manual.html");
    const QString text = QString::fromStdString(test::ReadFileText(manual.toStdString()));
    app->Help().SetProgramFolder(QStringLiteral(TAVRINE_BUILD_DIR "/app/desktop"));
    QTest::keyClick(&app->MainWindow(), Qt::Key_F1);
    dialog->MenuAction(LCommandId::kHelpContents)->trigger();
    for (const LHelpCommands::Page& page : LHelpCommands::Pages())
        dialog->MenuAction(page.id)->trigger();
    ASSERT_TRUE(called(2 + static_cast<int>(LHelpCommands::Pages().size())));
    setenv("PATH", path.c_str(), 1);
    // Each opener runs detached, so their lines come in any order; a path sorts before a file address.
    calls.sort();
    EXPECT_EQ(calls.mid(0, 2), QStringList({ manual, manual }));
    for (const QString& call : calls.mid(2)) // each page a section of the one file
        EXPECT_TRUE(
            call.startsWith("file://" + manual + "#") && text.contains("<section id=\"" + call.section('#', 1) + "\">"))
            << call.toStdString();
    // Installed: the page folder two levels above the program.
    std::filesystem::create_directories(prefix.File("share/doc/tavrine"));
    std::filesystem::copy(TAVRINE_SOURCE_DIR "/docs/manual", folder, std::filesystem::copy_options::recursive);
    app->Help().SetProgramFolder(QString::fromStdString(prefix.File("bin")));
    ASSERT_TRUE(Run(LCommandId::kAbout) && boxes.size() == 1u);
    EXPECT_TRUE(boxes[0].text.contains("Tavrine Dictate " TAVRINE_PROJECT_VERSION "\n"));
    EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString("Manual: " + folder + "/index.html")));
}

// "Internet Resources" is there only for a web page the build names: it opens
// that address, and nothing else becomes one (a file address would let
// xdg-open run what it names).
TEST_F(DesktopTest, InternetResourcesOpensTheConfiguredWebAddressElseIsHidden)
{
    const std::pair<const char*, const char*> rows[] = { { "https://tavrine.example/dictate",
                                                             "https://tavrine.example/dictate" },
        { " http://tavrine.example/ ", "http://tavrine.example/" }, { "", nullptr },
        { "file:///usr/bin/xterm", nullptr }, { "ftp://tavrine.example/", nullptr }, { "tavrine.example", nullptr } };
    LUserPrompts prompts;
    for (const auto& [szConfigured, szOpened] : rows) {
        SCOPED_TRACE(szConfigured);
        std::vector<std::string> ran;
        LHelpCommands help(
            prompts, QString(), [&](const std::vector<std::string>& args) { return ran = args, true; },
            QString::fromUtf8(szConfigured));
        LCommandRouter router;
        help.RegisterCommands(router);
        EXPECT_EQ(router.IsRegistered(LCommandId::kInternetResources), szOpened != nullptr);
        router.Trigger(LCommandId::kInternetResources);
        const std::vector<std::string> expected
            = szOpened ? std::vector<std::string> { "xdg-open", szOpened } : std::vector<std::string> {};
        EXPECT_EQ(ran, expected);
    }
    // This build names none: the menu hides the entry.
    Open();
    app->Router().Refresh();
    ASSERT_NE(dialog->MenuAction(LCommandId::kInternetResources), nullptr);
    EXPECT_EQ(dialog->MenuAction(LCommandId::kInternetResources)->isVisible(),
        !QString(LHelpCommands::BuiltWebAddress()).isEmpty());
    Close();
}
