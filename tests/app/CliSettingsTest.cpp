#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class CliSettings : public CliTest {
protected:
    int Run(const std::string& args, std::string* pOut = nullptr) { return CliTest::Run("settings " + args, pOut); }
};

TEST_F(CliSettings, SetGetAndDeleteAValue)
{
    std::string out;
    EXPECT_EQ(Run("get Settings WarnBelowMb", &out), 1);
    EXPECT_EQ(out, "") << "a missing value prints nothing";

    EXPECT_EQ(Run("set Settings WarnBelowMb 50", &out), 0) << out;
    EXPECT_EQ(Run("get settings WARNBELOWMB", &out), 0);
    EXPECT_EQ(out, "50\n");
    EXPECT_EQ(GetSettingInt("Settings", "WarnBelowMB", 0), 50) << "the program reads what the command wrote";

    std::string odd = "two  words, a 'quote' and -dash";
    EXPECT_EQ(Run("set Settings Odd " + test::ShellQuote(odd), &out), 0) << out;
    EXPECT_EQ(Run("get Settings Odd", &out), 0);
    EXPECT_EQ(out, odd + "\n");
    EXPECT_EQ(Run("set Settings Number -5", &out), 0) << "a negative value is a value, not an option: " << out;
    EXPECT_EQ(GetSettingString("Settings", "Number", ""), "-5");
    EXPECT_EQ(Run("set Settings Empty ''", &out), 0);
    EXPECT_EQ(Run("get Settings Empty", &out), 0) << "an empty value exists";
    EXPECT_EQ(out, "\n");

    EXPECT_EQ(Run("delete Settings warnbelowmb", &out), 0) << out;
    EXPECT_EQ(Run("get Settings WarnBelowMb", &out), 1);
    EXPECT_EQ(Run("delete Settings WarnBelowMb", &out), 0) << "deleting a missing value is no error";
}

TEST_F(CliSettings, MachineScopeIsSeparate)
{
    std::string out;
    EXPECT_EQ(Run("set --machine Dock Left 5", &out), 0) << out;
    EXPECT_EQ(Run("get Dock Left", &out), 1);
    EXPECT_EQ(Run("get --machine Dock Left", &out), 0);
    EXPECT_EQ(out, "5\n");
    EXPECT_EQ(GetMachineInt("Dock", "Left", 0), 5);
    EXPECT_EQ(Run("delete --machine Dock Left", &out), 0) << out;
    EXPECT_EQ(Run("get --machine Dock Left", &out), 1);
}

TEST_F(CliSettings, RefusesWhatItCannotStore)
{
    std::string out;
    EXPECT_EQ(Run("set Settings Path " + std::string(kMaxSettingChars + 1, 'p'), &out), 1);
    EXPECT_CONTAINS(out, std::to_string(kMaxSettingChars));
    EXPECT_EQ(Run("get Settings Path", &out), 1) << "nothing was stored";
    EXPECT_EQ(Run("set Settings Path " + std::string(kMaxSettingChars, 'p'), &out), 0) << out;

    std::string blocker = File("blocker");
    ASSERT_TRUE(test::WriteFileBytes(blocker, { 'x' }));
    ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    EXPECT_EQ(Run("set Settings FileNumber 3", &out), 1);
    EXPECT_CONTAINS(out, "cannot store Settings/FileNumber");

    for (const char* usage : { "", "get Settings", "set Settings Name", "get Settings Name Extra", "frob Settings Name",
             "get --user Settings Name", "get '' Name" })
        EXPECT_EQ(Run(usage, &out), 2) << usage;
}

} // namespace
