// The Help menu over a stand-in xdg-open on PATH that records its arguments:
// the manual the build made beside the program, the page folder of an
// install, no manual at all, and the about box.
#include "tests/desktop/DesktopFixture.h"

#include <QTest>

#include <sstream>
#include <sys/stat.h>

namespace {

class HelpTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        ASSERT_TRUE(test::WriteFileText(bin.File("xdg-open"), "#!/bin/sh\necho \"$@\" >> " + bin.File("ran") + "\n"));
        chmod(bin.File("xdg-open").c_str(), 0700);
        setenv("PATH", (bin.Path() + ":" + savedPath).c_str(), 1);
        Open();
    }
    void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }
    // What xdg-open was given, once n calls came.
    std::vector<std::string> Opened(size_t n)
    {
        std::vector<std::string> lines;
        PumpUntil([&] {
            std::istringstream text(test::ReadFileText(bin.File("ran")));
            lines.clear();
            for (std::string line; std::getline(text, line);)
                lines.push_back(line);
            return lines.size() >= n;
        });
        return lines;
    }

    test::TempDir bin;
    std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
};

} // namespace

TEST_F(HelpTest, F1AndHelpContentsOpenTheBuiltManualAndEachResourceIsOneOfItsSections)
{
    const std::string manual = TAVRINE_BUILD_DIR "/app/desktop/tavrine-manual.html";
    const std::string text = test::ReadFileText(manual);
    app->Help().SetProgramFolder(QString::fromUtf8(TAVRINE_BUILD_DIR "/app/desktop"));
    QTest::keyClick(&app->MainWindow(), Qt::Key_F1);
    dialog->MenuAction(LCommandId::kHelpContents)->trigger();
    EXPECT_EQ(Opened(2), std::vector<std::string>(2, manual));
    size_t n = 2;
    for (const LHelpCommands::Page& page : LHelpCommands::Pages()) {
        dialog->MenuAction(page.id)->trigger();
        const std::string url = Opened(++n).back();
        ASSERT_EQ(url.rfind("file://" + manual + "#", 0), 0u) << url;
        EXPECT_NE(text.find("<section id=\"" + url.substr(url.find('#') + 1) + "\">"), std::string::npos) << url;
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(HelpTest, InstalledPagesOpenAsFilesAboutNamesVersionAndManualAndNoManualIsSaid)
{
    test::TempDir prefix;
    const std::string folder = prefix.File("share/doc/tavrine/manual");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(prefix.File("bin"));
    std::filesystem::copy(TAVRINE_SOURCE_DIR "/docs/manual", folder, std::filesystem::copy_options::recursive);
    app->Help().SetProgramFolder(QString::fromStdString(prefix.File("bin")));
    dialog->MenuAction(LHelpCommands::Pages()[1].id)->trigger();
    EXPECT_EQ(Opened(1), std::vector<std::string> { folder + "/" + LHelpCommands::Pages()[1].szFile });
    ASSERT_TRUE(Run(LCommandId::kAbout));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("Tavrine Dictate " TAVRINE_PROJECT_VERSION "\n")));
    EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString("Manual: " + folder + "/index.html")));

    test::TempDir empty;
    app->Help().SetProgramFolder(QString::fromStdString(empty.Path()));
    EXPECT_FALSE(Run(LCommandId::kHelpContents));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[1].text.startsWith(QStringLiteral("The manual was not found.")));
    PumpFor(100);
    EXPECT_EQ(Opened(1).size(), 1u);
}
