#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Value(const std::string& entry, const std::string& key)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return std::string();
}

// The install target puts the program, its menu entry and its icon where a
// desktop finds them, and the entry names both.
TEST(Install, ProgramMenuEntryAndIconGoWhereTheDesktopLooks)
{
    TEST_REQUIRE_TOOL("xmllint");
    test::TempDir root;
    std::string command = "DESTDIR=" + test::ShellQuote(root.Path()) + " cmake --install "
        + test::ShellQuote(TAVRINE_BUILD_DIR) + " --prefix /usr >/dev/null";
    ASSERT_EQ(test::RunShell(command), 0);
    std::string share = root.File("usr/share");
    std::string entry = ReadText(share + "/applications/org.orvane.Tavrine.desktop");
    ASSERT_FALSE(entry.empty());
    EXPECT_EQ(entry.rfind("[Desktop Entry]", 0), 0u);
    EXPECT_EQ(Value(entry, "Type"), "Application");
    EXPECT_EQ(Value(entry, "Name"), "Tavrine Dictate");
    std::string exec = Value(entry, "Exec");
    EXPECT_TRUE(std::filesystem::exists(root.File("usr/bin/" + exec))) << exec;
    std::string icon = share + "/icons/hicolor/scalable/apps/" + Value(entry, "Icon") + ".svg";
    ASSERT_TRUE(std::filesystem::exists(icon)) << icon;
    EXPECT_EQ(test::RunShell("xmllint --noout " + test::ShellQuote(icon)), 0);
}

} // namespace
