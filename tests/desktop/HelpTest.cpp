// The Help menu over a stand-in xdg-open on PATH that records its arguments.
#include "tests/desktop/DesktopFixture.h"

#include <QTest>

#include <sys/stat.h>

TEST_F(DesktopTest, HelpOpensTheManualBesideTheProgramOrInstalledAndAboutNamesVersionAndManual)
{
    test::TempDir bin, prefix, empty;
    const std::string path = getenv("PATH"), folder = prefix.File("share/doc/tavrine/manual");
    ASSERT_TRUE(test::WriteFileText(bin.File("xdg-open"), "#!/bin/sh\necho \"$@\" >> " + bin.File("ran") + "\n"));
    chmod(bin.File("xdg-open").c_str(), 0700);
    setenv("PATH", (bin.Path() + ":" + path).c_str(), 1);
    QStringList calls;
    auto opened = [&](int n) { // the last argument, once n calls came
        PumpUntil([&] {
            return (calls = QString::fromStdString(test::ReadFileText(bin.File("ran"))).split('\n', Qt::SkipEmptyParts))
                       .size()
                >= n;
        });
        return calls.value(n - 1);
    };
    Open();
    const QString manual = QStringLiteral(TAVRINE_BUILD_DIR "/app/desktop/tavrine-manual.html");
    const QString text = QString::fromStdString(test::ReadFileText(manual.toStdString()));
    app->Help().SetProgramFolder(QStringLiteral(TAVRINE_BUILD_DIR "/app/desktop"));
    QTest::keyClick(&app->MainWindow(), Qt::Key_F1);
    dialog->MenuAction(LCommandId::kHelpContents)->trigger();
    EXPECT_EQ(opened(2), manual);
    EXPECT_EQ(calls[0], manual);
    int n = 2;
    for (const LHelpCommands::Page& page : LHelpCommands::Pages()) {
        dialog->MenuAction(page.id)->trigger();
        const QStringList url = opened(++n).split('#');
        EXPECT_TRUE(url[0] == "file://" + manual && text.contains("<section id=\"" + url.value(1) + "\">")) << n;
    }
    // An install: the page folder two levels up from the program.
    std::filesystem::create_directories(prefix.File("share/doc/tavrine"));
    std::filesystem::copy(TAVRINE_SOURCE_DIR "/docs/manual", folder, std::filesystem::copy_options::recursive);
    app->Help().SetProgramFolder(QString::fromStdString(prefix.File("bin")));
    dialog->MenuAction(LHelpCommands::Pages()[1].id)->trigger();
    EXPECT_EQ(opened(++n).toStdString(), folder + "/" + LHelpCommands::Pages()[1].szFile);
    Run(LCommandId::kAbout);
    app->Help().SetProgramFolder(QString::fromStdString(empty.Path()));
    EXPECT_FALSE(Run(LCommandId::kHelpContents));
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.contains("Tavrine Dictate " TAVRINE_PROJECT_VERSION "\n"));
    EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString("Manual: " + folder + "/index.html")));
    EXPECT_TRUE(boxes[1].text.startsWith("The manual was not found."));
    EXPECT_EQ(opened(n + 1), QString()) << "nothing opened without a manual";
}
