#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Engine = LDictationEngineSettings;

class Recipients : public ::testing::Test {
protected:
    static std::vector<int> Walk()
    {
        std::vector<int> numbers;
        for (Engine::SendToIterator it; it.IsValid(); it.Next())
            numbers.push_back(it.GetSendTo());
        return numbers;
    }
    static int Limit() { return GetSettingInt("Settings", "nSendTo", -1); }
    test::IsolatedEnvironment env;
};

TEST_F(Recipients, BookkeepingThroughAddSaveAndRemove)
{
    uint8_t n = kNoRecipient;
    for (int expected : { 0, 1, 2 }) {
        ASSERT_EQ(Engine::AddSendTo("R" + std::to_string(expected), {}, &n), Engine::AddSendToResult::Added);
        EXPECT_EQ(n, expected);
    }
    EXPECT_EQ(Limit(), 3);
    ASSERT_TRUE(Engine::RemoveSendTo(1));
    EXPECT_EQ(Limit(), 3) << "a gap below the highest keeps the count";
    EXPECT_EQ(Walk(), (std::vector<int> { 0, 2 }));
    EXPECT_EQ(Engine::GetNextFreeSendToNumber(), 1);
    ASSERT_TRUE(Engine::RemoveSendTo(2));
    EXPECT_EQ(Limit(), 2) << "removing the highest drops the count by one, not past the gap";
    EXPECT_EQ(Walk(), std::vector<int> { 0 });
    EXPECT_EQ(Engine::GetSendToName(2), "R2") << "a removed recipient's values stay for what was sent to it";
    ASSERT_EQ(Engine::AddSendTo("again", {}, &n), Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 1) << "the lowest free number is reused";
    EXPECT_EQ(Limit(), 2);
    ASSERT_EQ(Engine::AddSendTo("next", {}, &n), Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(Limit(), 3);
    // Saving a number below the count never lowers it.
    ASSERT_TRUE(Engine::SaveSendTo(0));
    EXPECT_EQ(Limit(), 3);
    ASSERT_TRUE(Engine::SaveSendTo(9));
    EXPECT_EQ(Limit(), 10);
    EXPECT_EQ(Walk(), (std::vector<int> { 0, 1, 2, 9 }));
    for (uint8_t k : { 0, 1, 2, 9 })
        ASSERT_TRUE(Engine::RemoveSendTo(k));
    EXPECT_EQ(Limit(), 9);
    EXPECT_TRUE(Walk().empty());
    SetSettingInt("Settings", "nSendTo", 0);
    ASSERT_TRUE(Engine::RemoveSendTo(0));
    EXPECT_EQ(Limit(), 0) << "the count never goes below 0";
}

TEST_F(Recipients, AReusedNumberStartsClean)
{
    uint8_t n = 0;
    ASSERT_EQ(Engine::AddSendTo(
                  "Old", { { "SendMethod", "3" }, { "FtpServer", "ftp.example" }, { "FtpPassword", "secret" } }, &n),
        Engine::AddSendToResult::Added);
    ASSERT_TRUE(Engine::RemoveSendTo(n));
    ASSERT_EQ(Engine::AddSendTo("New", { { "sendmethod", "2" }, { "Folder", "/srv/typing" } }, &n),
        Engine::AddSendToResult::Added);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetSettingString("SendTo1", "FtpPassword", "gone"), "gone");
    EXPECT_EQ(GetSettingString("SendTo1", "FtpServer", "gone"), "gone");
    EXPECT_EQ(GetSettingInt("SendTo1", "SendMethod", 0), 2);
    std::string text;
    ASSERT_TRUE(Engine::GetSendToDisplayText(0, &text));
    EXPECT_EQ(text, "Folder (/srv/typing)");
    EXPECT_EQ(Engine::GetSendToName(0), "New");
}

} // namespace
