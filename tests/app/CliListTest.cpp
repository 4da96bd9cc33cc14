// tavrine-cli list, delete, recipient, status-file and settings: what a command writes is what the library
// reads, and refusals store nothing.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LSettings.h"
#include "tests/app/CliFixture.h"
#include "tests/support/Records.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

using CliList = CliTest;

TEST_F(CliList, ListsOneLinePerDictation)
{
    LDictationEngineSettings engine;
    LDictation a(engine.GetCurrentFolder(), "Letter\tto\nAnn");
    a.MutableHeader().uDuration = 3725;
    a.MutableHeader().uPriority = 100;
    a.MutableHeader().tCreated = 0;
    ASSERT_TRUE(a.SetSendStatus("Copied"));
    LDictation b(engine.GetCurrentFolder(), "Memo");
    ASSERT_TRUE(b.SetPriority(20));

    std::string out, err;
    ASSERT_EQ(Run("list", &out, {}, &err), 0) << err;
    std::vector<std::string> lines = Split(out, '\n');
    ASSERT_EQ(lines.size(), 2u) << out;
    // Control characters never break the line.
    EXPECT_EQ(Split(lines[0], '\t'),
        (std::vector<std::string> {
            std::to_string(a.GetFileNumber()), "Letter to Ann", "", "", "62:05", "High", "Copied" }));
    EXPECT_EQ(Split(lines[1], '\t')[5], "Low");

    // A broken header is set aside, not deleted, and the listing goes on.
    std::string broken = engine.GetCurrentFolder() + "/77.ddf";
    ASSERT_TRUE(test::WriteFileBytes(broken, std::vector<uint8_t>(300, 'x')));
    fs::last_write_time(broken, fs::file_time_type::clock::now() - std::chrono::hours(1));
    ASSERT_EQ(Run("list", &out, {}, &err), 0) << err;
    EXPECT_EQ(Split(out, '\n').size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(broken + ".bad").size(), 300u);

    EXPECT_EQ(Run("list --all", &out, {}, &err), 2);
}

TEST_F(CliList, DeletesADictationAndItsCuts)
{
    LDictationEngineSettings engine;
    LDictation d(engine.GetCurrentFolder(), "gone");
    ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), { 0, 0 }));
    d.MutableCutList().Add(CutRecord { 0, 0, kCutToEnd });
    ASSERT_TRUE(d.Save());
    LDictation kept(engine.GetCurrentFolder(), "kept");
    std::string number = std::to_string(d.GetFileNumber());

    std::string out, err;
    ASSERT_EQ(Run("delete " + number, &out, {}, &err), 0) << err;
    EXPECT_FALSE(FileExists(d.GetPath()));
    EXPECT_FALSE(FileExists(d.GetCutFileName(0)));
    EXPECT_TRUE(LDictation(kept.GetPath()).IsValid());

    EXPECT_EQ(Run("delete " + number, &out, {}, &err), 1);
    EXPECT_CONTAINS(err, "no dictation " + number);

    // Only dictations are deleted: a file that is not one stays.
    std::string broken = engine.GetCurrentFolder() + "/88.ddf";
    ASSERT_TRUE(test::WriteFileBytes(broken, { 1, 2, 3 }));
    EXPECT_EQ(Run("delete 88", &out, {}, &err), 1);
    EXPECT_TRUE(FileExists(broken));
}

TEST_F(CliList, RecipientsAddListAndRemove)
{
    std::string out, err;
    ASSERT_EQ(Run("recipient add Anna SendMethod=2 Folder=/srv/typing", &out, {}, &err), 0) << err;
    EXPECT_EQ(out, "0\n");
    ASSERT_EQ(Run("recipient add 'Bob B' sendmethod=1 EmailTo=bob@example.org SendFileFormat=1", &out, {}, &err), 0)
        << err;
    EXPECT_EQ(out, "1\n");
    EXPECT_EQ(GetSettingInt("SendTo2", "SendFileFormat", 0), 1);

    ASSERT_EQ(Run("recipients", &out, {}, &err), 0) << err;
    EXPECT_EQ(out, "0\tAnna\tFolder (/srv/typing)\n1\tBob B\tEmail (bob@example.org)\n");

    ASSERT_EQ(Run("recipient remove 1", &out, {}, &err), 0) << err;
    ASSERT_EQ(Run("recipients", &out, {}, &err), 0);
    EXPECT_EQ(out, "0\tAnna\tFolder (/srv/typing)\n");
    EXPECT_EQ(Run("recipient remove 1", &out, {}, &err), 1);
    EXPECT_CONTAINS(err, "no recipient 1");
}

TEST_F(CliList, RecipientRefusalsStoreNothing)
{
    std::string out, err;
    struct Case {
        std::string args;
        const char* szSays;
    };
    for (const Case& c : {
             Case { "Anna Colour=red", "not a recipient value" },
             Case { "Anna SendMethod=7", "SendMethod must be" },
             Case { "Anna SendMethod=4 \"RunCommand=sh -c 'lp %filepath%'\"", "as its own argument" },
             Case { "Anna Folder=" + std::string(kMaxSettingChars + 1, 'f'), "at most" },
         }) {
        EXPECT_EQ(Run("recipient add " + c.args, &out, {}, &err), 2) << c.args;
        EXPECT_NE(err.find(c.szSays), std::string::npos) << c.args << ": " << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(GetSettingInt("Settings", "nSendTo", -1), -1);
    EXPECT_EQ(GetSettingString("SendTo1", "Name", "none"), "none");
    ASSERT_EQ(Run("recipient add Anna Folder=" + std::string(kMaxSettingChars, 'f'), &out, {}, &err), 0) << err;
}

TEST_F(CliList, StatusFileUpdatesTheSentDictations)
{
    LDictationEngineSettings engine;
    LDictation sent(engine.GetSentFolder(), "sent");
    std::vector<uint8_t> bytes = { 1, 0, 0, 0 };
    test::StatusRecord(bytes, 1, sent.GetFileNumber(), "Typed");
    ASSERT_TRUE(test::WriteFileBytes(File("s0000000.sta"), bytes));
    std::string out, err;
    ASSERT_EQ(Run("status-file " + File("s0000000.sta"), &out, {}, &err), 0) << err;
    EXPECT_EQ(out, std::to_string(sent.GetFileNumber()) + "\tTyped\n");
    EXPECT_EQ(LDictation(sent.GetPath()).GetSendStatus(), "Typed");
}

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

    EXPECT_EQ(Run("set Settings Number -5", &out), 0) << "a negative value is a value, not an option: " << out;
    EXPECT_EQ(Run("set --machine Dock Left 5", &out), 0) << out;
    EXPECT_EQ(GetMachineInt("Dock", "Left", 0), 5);

    EXPECT_EQ(Run("delete Settings warnbelowmb", &out), 0) << out;
    EXPECT_EQ(Run("get Settings WarnBelowMb", &out), 1);
}

// A known boolean is stored as the program writes it, from any of the usual
// words; anything else is refused. Other values are stored as given.
TEST_F(CliSettings, BooleansAreStoredAsOneOrZero)
{
    struct Row {
        const char* szArgs;
        LSettingsScope scope;
        const char* szSection;
        const char* szName;
        int nExit;
        const char* szStored; // nullptr: nothing stored
    };
    const Row rows[] = {
        { "--machine Email UseMAPI false", LSettingsScope::Machine, "Email", "UseMAPI", 0, "0" },
        { "--machine email usemapi Yes", LSettingsScope::Machine, "Email", "UseMAPI", 0, "1" },
        { "--machine Dock HighSpeed OFF", LSettingsScope::Machine, "Dock", "HighSpeed", 0, "0" },
        { "Keys UseNumeric on", LSettingsScope::User, "Keys", "UseNumeric", 0, "1" },
        { "Settings StoppedTone 0", LSettingsScope::User, "Settings", "StoppedTone", 0, "0" },
        { "Settings RecordTone maybe", LSettingsScope::User, "Settings", "RecordTone", 2, nullptr },
        { "--machine Email AllowPlainPassword 2", LSettingsScope::Machine, "Email", "AllowPlainPassword", 2, nullptr },
        { "Settings WarnBelowMb yes", LSettingsScope::User, "Settings", "WarnBelowMb", 0, "yes" },
    };
    for (const Row& row : rows) {
        std::string out, stored;
        EXPECT_EQ(Run(std::string("set ") + row.szArgs, &out), row.nExit) << row.szArgs << ": " << out;
        const bool bStored = RegGetString(row.scope, row.szSection, row.szName, &stored, "");
        EXPECT_EQ(bStored, row.szStored != nullptr) << row.szArgs;
        if (bStored && row.szStored) {
            EXPECT_EQ(stored, row.szStored) << row.szArgs;
        }
    }
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
}

} // namespace
