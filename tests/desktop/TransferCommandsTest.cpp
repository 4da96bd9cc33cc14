// Send, Save As and Edit in Audio Editor from the window, against the real
// send queue, a folder recipient that receives the files, and tavrine-cli as
// the judge of what was written.
#include "DesktopFixture.h"

#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LPath.h"
#include "foundation/LTempFolder.h"

#include <QAbstractButton>
#include <QAction>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using Id = LCommandId;
using Engine = LDictationEngineSettings;
using Answer = LUserPrompts::Answer;

class TransferCommandsTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        pQueue = &sendQueue;
    }
    void TearDown() override
    {
        if (app)
            Close();
    }
    // A folder recipient; the folder itself only when bMake.
    uint8_t AddFolderRecipient(const std::string& name, const std::string& folder, bool bMake = true)
    {
        if (bMake)
            fs::create_directories(folder);
        uint8_t n = 0;
        EXPECT_EQ(Engine::AddSendTo(name, { { "SendMethod", "2" }, { "Folder", folder } }, &n),
            Engine::AddSendToResult::Added);
        return n;
    }
    LDictation* Recorded(const std::string& name, int32_t nSeconds = 1)
    {
        LDictation* p = Make(name, 0, 50, 1);
        Record(*p, static_cast<int32_t>(p->Header().uSampleRate) * nSeconds);
        return p;
    }
    void Select(const std::vector<LDictation*>& dictations)
    {
        std::vector<const LDictation*> listed;
        for (LDictation* p : dictations)
            listed.push_back(Listed(p));
        SelectOnly(listed);
    }

    LSendQueue sendQueue;
    std::vector<QString> queueErrors;
};

TEST_F(TransferCommandsTest, CtrlSSendsTheSelectedDictationsAndTheQueueDeliversThem)
{
    LDictation* pA = Recorded("Alpha");
    LDictation* pB = Recorded("Beta");
    LDictation* pC = Recorded("Gamma");
    Open();
    dialog->StatusArea().SetErrorBox([this](const QString& text) { queueErrors.push_back(text); });
    Select({ pA, pB });
    // Without a recipient it opens the properties of a new one; cancelled, nothing is sent or added.
    EXPECT_FALSE(Run(Id::kSend));
    EXPECT_EQ(nDialogs, 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(Engine::IsSendToUsed(0));
    const std::string inbox = env.Dir().File("inbox");
    AddFolderRecipient("Typist", inbox);
    dialog->MenuAction(Id::kSend)->trigger();
    // The sent rows left the list at once; the queue then delivers them.
    EXPECT_EQ(Names(), QStringList { "Gamma" });
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(inbox, ".dct").size() == 2; }, 20000));
    EXPECT_EQ(FilesIn(engine->GetSentFolder(), ".ddf").size(), 2u);
    std::string out;
    EXPECT_EQ(
        test::RunShell(test::ShellQuote(TAVRINE_CLI) + " dct " + test::ShellQuote(FilesIn(inbox, ".dct")[0]), &out), 0);
    EXPECT_NE(out.find("Audio: "), std::string::npos) << out;
    EXPECT_TRUE(queueErrors.empty());

    // To a folder that is not there: the dictation comes back with the copy message.
    const std::string missing = env.Dir().File("gone");
    SetSettingInt("Send", "Default", AddFolderRecipient("Nowhere", missing, false));
    Select({ pC });
    EXPECT_TRUE(Run(Id::kSend));
    ASSERT_TRUE(PumpUntil([&] { return !queueErrors.empty() && Names().size() == 1; }, 20000));
    EXPECT_EQ(Names(), QStringList { "Gamma" });
    EXPECT_TRUE(queueErrors[0].contains(QString::fromStdString(missing))) << queueErrors[0].toStdString();
    EXPECT_EQ(FilesIn(engine->GetSentFolder(), ".ddf").size(), 2u);
}

// A send that fails part-way: the first is in Send, the one that failed and
// the one after it are listed again; nothing is lost from both.
TEST_F(TransferCommandsTest, AFailedSendOfSeveralLeavesEachInOneOfTheLists)
{
    AddFolderRecipient("Typist", env.Dir().File("inbox"));
    LDictation* pA = Recorded("Alpha");
    LDictation* pB = Recorded("Beta");
    LDictation* pC = Recorded("Gamma");
    // A header of that name already in Send: the move never replaces it.
    fs::create_directories(engine->GetSentFolder());
    fs::copy_file(pB->GetPath(), FilePathCat(engine->GetSentFolder(), _GetFileFromPath(pB->GetPath())));
    Open();
    Select({ pA, pB, pC });
    EXPECT_FALSE(Run(Id::kSend));
    EXPECT_EQ(Names(), (QStringList { "Beta", "Gamma" }));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(fs::exists(FilePathCat(engine->GetSentFolder(), _GetFileFromPath(pA->GetPath()))));
}

TEST_F(TransferCommandsTest, SaveAsAsksBeforeReplacingAndWritesWhatTheCliReads)
{
    LDictation* pA = Recorded("Alpha", 2);
    Open();
    Select({ pA });
    const std::string target = env.Dir().File("copy.dct");
    ASSERT_TRUE(test::WriteFileBytes(target, { 'o', 'l', 'd' }));
    // No chooses again; the second time Yes replaces.
    saveAnswers = { QString::fromStdString(target), QString::fromStdString(target) };
    answers = { Answer::No, Answer::Yes };
    EXPECT_TRUE(Run(Id::kSaveAs));
    EXPECT_EQ(nSaveChoosers, 2);
    EXPECT_TRUE(answers.empty());
    std::string out;
    EXPECT_EQ(test::RunShell(test::ShellQuote(TAVRINE_CLI) + " dct " + test::ShellQuote(target), &out), 0);
    EXPECT_NE(out.find("Name: Alpha"), std::string::npos) << out;
    // Cancel keeps the file as it is.
    saveAnswers = { QString::fromStdString(target) };
    answers = { Answer::Cancel };
    const auto before = test::ReadFileBytes(target);
    EXPECT_FALSE(Run(Id::kSaveAs));
    EXPECT_EQ(test::ReadFileBytes(target), before);
    EXPECT_EQ(GetSettingString("Settings", "SaveFolder", ""), env.Dir().Path());
}

// The stand-in editor is a script given the WAV file, as a real editor is.
TEST_F(TransferCommandsTest, EditInAudioEditorReloadsWhatTheEditorSavedAndKeepsWhatItDidNot)
{
    TEST_REQUIRE_TOOL("sox");
    LDictation* pA = Recorded("Alpha", 1);
    const std::string script = env.Dir().File("editor.sh");
    const std::string seen = env.Dir().File("seen");
    Open();
    Select({ pA });
    ASSERT_EQ(Session().Length(), 1000);
    const struct {
        const char* szBody;
        int32_t nLength;
        bool bWarned;
    } cases[] = {
        // Saved in place with a new length.
        { "sox -n -r 8000 -c 1 -b 16 \"$1.new.wav\" synth 2.5 sine 440 && mv \"$1.new.wav\" \"$1\"", 2500, false },
        // Nothing saved: it returned at once.
        { "true", 2500, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szBody);
        boxes.clear();
        ASSERT_TRUE(
            test::RunShell("printf '#!/bin/sh\\necho \"$1\" > " + seen + "\\n%s\\n' " + test::ShellQuote(c.szBody)
                + " > " + test::ShellQuote(script) + " && chmod +x " + test::ShellQuote(script))
            == 0);
        SetSettingString("Settings", "AudioEditor", script);
        Run(Id::kEditExternal);
        EXPECT_EQ(Session().Length(), c.nLength);
        EXPECT_EQ(Session().Position(), c.nLength);
        EXPECT_EQ(!boxes.empty() && boxes[0].text.contains("ended at once"), c.bWarned);
        // The copy lay in the process's private folder and is gone.
        std::string path;
        ASSERT_EQ(test::RunShell("cat " + test::ShellQuote(seen), &path), 0);
        EXPECT_EQ(path.rfind(LTempFolder::Path(), 0), 0u) << path;
        EXPECT_FALSE(fs::exists(path.substr(0, path.size() - 1)));
    }
    EXPECT_EQ(LSession::LengthMs(LDictation(pA->GetPath())), 2500);
}

} // namespace
