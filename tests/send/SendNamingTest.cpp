// The transfer file's name from a recipient's format, and the age rule of the
// Send folder: what it deletes and, above all, what it must never delete.
#include "foundation/LFile.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LProcessListFile.h"
#include "send/LSendAutoDelete.h"
#include "send/LSendFileName.h"
#include "tests/send/QueueTestUtil.h"
#include "tests/send/TransferTestUtil.h"

#include <cstdlib>
#include <ctime>

namespace {

using namespace transfertest;

struct NameCase {
    const char* szFormat;
    std::string name;
    const char* szNotes;
    std::string expected;
};

TEST(SendFileName, FormatsExpandAndCleanAsTheRecipientAsks)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const NameCase cases[] = {
        { nullptr, "Letter", "", "12-345 Letter by Ann Lee" },
        { "%YYYY%%MM%%DD%", "x", "", "20260305" },
        { "%Patient%", "x", "<Patient>Smith, J.<Ward>3", "Smith, J" },
        { "a%nosuch%b%%c", "x", "", "ab%c" },
        { "%filename%", "a/b:c", "", "abc" },
        { "%filename%", "Caf\xc3\xa9 \"1\"*?<>|\\", "", "Caf 1" },
        { "n%filepriority%-%filename", "Tail", "", "n50-Tail" }, // a token left open still counts
        { "%nosuch%", "x", "", "345" }, // nothing left: the file number
        { "%filename%%filename%%filename%", std::string(95, 'a'), "", std::string(240, 'a') },
    };
    Workspace ws;
    LDictationEngineSettings::SetUserName("Ann Lee");
    for (const NameCase& c : cases) {
        const uint8_t n = ws.Recipient();
        if (c.szFormat)
            SetSettingString(LDictationEngineSettings::GetSendToUserSettingSection(n), "FileNameFormat", c.szFormat);
        auto d = ws.Dictation(c.name, {});
        d->SetNotes(c.szNotes);
        DictationHeader& h = d->MutableHeader();
        h.uUserID = 12;
        h.uFileNumber = 345;
        h.tCreated = 1772719629; // 2026-03-05 14:07:09 UTC
        EXPECT_EQ(LSendFileName::MakeBaseName(*d, n), c.expected) << (c.szFormat ? c.szFormat : "default");
    }
}

// Files of the Send folder, by name; tNow lies 40 days ahead, so every file
// on the disk is older than a 30-day cut-off.
TEST(SendAutoDelete, DeletesOnlyWholeFinishedSentWorkAndOurOwnLeftovers)
{
    Workspace ws;
    const std::string sent = ws.engine->GetSentFolder();
    const uint32_t tNow = static_cast<uint32_t>(std::time(nullptr)) + 40 * 86400;
    auto sentDictation = [&](uint32_t tSent) {
        auto d = ws.Dictation("x", test::TestSignal(100, 1));
        d->MutableHeader().tSent = tSent;
        EXPECT_TRUE(d->Save() && d->MoveToFolder(sent));
        return d->GetBaseName();
    };
    const std::string oldDone = sentDictation(1), queued = sentDictation(1), recent = sentDictation(tNow - 86400),
                      locked = sentDictation(1), unsent = sentDictation(0);
    const std::string queuePath = FilePathCat(sent, "sending.dat");
    ASSERT_TRUE(LProcessListFile::Append(queuePath, queuetest::Job(FilePathCat(sent, queued + ".ddf"))));
    for (const char* name : { "sending.dat.lock", "sending.dat.worker", "notes.txt", "7.ddf.bad", "8_1.dau", "9_1.dau",
             "9.lck", "1.ddf.tmpAbC123", "sending.dat.tmp", "sending.dat.tmpAbC123", "12.wav" })
        ASSERT_TRUE(test::WriteFileBytes(FilePathCat(sent, name), { 1 }));
    LLockFile hold, holdOrphan;
    ASSERT_TRUE(hold.Lock(FilePathCat(sent, locked + ".ddf")) && holdOrphan.Lock(FilePathCat(sent, "8.ddf")));

    EXPECT_EQ(LSendAutoDelete::Process(sent, queuePath, 0, tNow).nDictations, 0u);
    EXPECT_EQ(LSendAutoDelete::Process(sent, queuePath, 30, tNow).nDictations, 1u);
    for (const std::string& gone : { oldDone + ".ddf", oldDone + "_0.dau", std::string("9_1.dau"), std::string("9.lck"),
             std::string("1.ddf.tmpAbC123"), std::string("sending.dat.tmp"), std::string("sending.dat.tmpAbC123") })
        EXPECT_FALSE(FileExists(FilePathCat(sent, gone))) << gone;
    for (const std::string& kept :
        { queued + ".ddf", queued + "_0.dau", recent + "_0.dau", locked + "_0.dau", unsent + "_0.dau",
            std::string("sending.dat"), std::string("sending.dat.lock"), std::string("sending.dat.worker"),
            std::string("notes.txt"), std::string("7.ddf.bad"), std::string("8_1.dau"), std::string("12.wav") })
        EXPECT_TRUE(FileExists(FilePathCat(sent, kept))) << kept;

    // A queue that cannot be read: no dictation can be told finished.
    hold.Close();
    ASSERT_TRUE(test::WriteFileBytes(queuePath, { 1, 0, 0 }));
    EXPECT_FALSE(LSendAutoDelete::Process(sent, queuePath, 30, tNow).bQueueRead);
    EXPECT_TRUE(FileExists(FilePathCat(sent, locked + ".ddf")));
}

} // namespace
