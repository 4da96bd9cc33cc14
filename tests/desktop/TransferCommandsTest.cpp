// Send, Save As, Load and Edit in Audio Editor from the window, against the
// real send queue, a folder recipient that receives the files, and sox and
// tavrine-cli as judges of what was written.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/SendToDlg.h"
#include "app/desktop/session/LSendQueue.h"
#include "app/desktop/window/LStatusArea.h"
#include "foundation/LPath.h"
#include "foundation/LTempFolder.h"
#include "send/LDctReader.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

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

TEST_F(TransferCommandsTest, TheSendToMenuListsRecipientsMarksTheDefaultAndSendsToTheChosenOne)
{
    const uint8_t uFirst = AddFolderRecipient("First & Co", env.Dir().File("first"));
    const uint8_t uSecond = AddFolderRecipient("Second", env.Dir().File("second"));
    SetSettingInt("Send", "Default", uFirst);
    LDictation* pA = Recorded("Alpha");
    Open();
    Select({ pA });
    popupChoice = SendToCommand(uSecond);
    EXPECT_TRUE(Run(Id::kSendTo));
    using Kind = LCommandRouter::PopupItem::Kind;
    ASSERT_EQ(popupItems.size(), 5u);
    const std::pair<std::string, bool> expected[] = {
        { "Send to First && Co - Folder (" + env.Dir().File("first") + ")", true },
        { "Send to Second - Folder (" + env.Dir().File("second") + ")", false },
    };
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(popupItems[i].kind, Kind::Radio);
        EXPECT_EQ(popupItems[i].text, expected[i].first);
        EXPECT_EQ(popupItems[i].bChecked, expected[i].second);
    }
    // The Send button's drop-down arrow shows the same menu.
    QMenu* pDrop = nullptr;
    for (QToolButton* pButton : dialog->findChildren<QToolButton*>())
        if (pButton->defaultAction() == dialog->MenuAction(Id::kToolSend))
            pDrop = pButton->menu();
    ASSERT_TRUE(pDrop);
    emit pDrop->aboutToShow();
    ASSERT_EQ(pDrop->actions().size(), 5);
    EXPECT_TRUE(pDrop->actions()[0]->isChecked() && !pDrop->actions()[1]->isChecked());
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(env.Dir().File("second"), ".dct").size() == 1; }, 20000));
    EXPECT_TRUE(FilesIn(env.Dir().File("first"), ".dct").empty());
    // No recipient's identifier is that of "Send to New".
    for (unsigned n = 0; n < Engine::kSendToCount; ++n)
        EXPECT_NE(SendToCommand(n), Id::kSendNewRecipient);
}

TEST_F(TransferCommandsTest, SendToNewMakesAFolderRecipientThatReceivesTheDictation)
{
    LDictation* pA = Recorded("Alpha");
    Open();
    Select({ pA });
    const std::string inbox = env.Dir().File("inbox");
    fs::create_directories(inbox);
    runDialog = [&](QDialog& d) {
        auto& properties = static_cast<SendToDlg&>(d);
        properties.Edit(SendToDlg::kIdName)->setText("Typist");
        properties.Button(SendToDlg::kIdLan)->setChecked(true);
        properties.Edit(SendToDlg::kIdFolder)->setText(QString::fromStdString(inbox));
        properties.Accept();
    };
    EXPECT_TRUE(Run(Id::kSendNewRecipient));
    EXPECT_EQ(Engine::GetSendToName(0), "Typist");
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(inbox, ".dct").size() == 1; }, 20000));
    LDctReader reader;
    LDctContents contents;
    ASSERT_TRUE(
        reader.Open(FilesIn(inbox, ".dct")[0]) && reader.ReadHeader(&contents.header) == LDctReader::Result::Ok);
    ASSERT_EQ(reader.ReadBody(contents.header, nullptr, &contents), LDctReader::Result::Ok);
    EXPECT_EQ(contents.szName, "Alpha");
    EXPECT_GT(contents.audio.nReal, 0u);
}

TEST_F(TransferCommandsTest, SaveAsAsksBeforeReplacingAndWritesWhatSoxAndTheCliRead)
{
    TEST_REQUIRE_TOOL("soxi");
    LDictation* pA = Recorded("Alpha", 2);
    Open();
    Select({ pA });
    const struct {
        std::string name;
        std::string judge;
        const char* szExpect;
    } cases[] = {
        { "copy.dct", test::ShellQuote(TAVRINE_CLI) + " dct ", "Name: Alpha" },
        { "copy.wav", "soxi -D ", "2.0" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = env.Dir().File(c.name);
        ASSERT_TRUE(test::WriteFileBytes(target, { 'o', 'l', 'd' }));
        // No chooses again; the second time Yes replaces.
        nSaveChoosers = 0;
        saveAnswers = { QString::fromStdString(target), QString::fromStdString(target) };
        answers = { Answer::No, Answer::Yes };
        EXPECT_TRUE(Run(Id::kSaveAs));
        EXPECT_EQ(nSaveChoosers, 2);
        EXPECT_TRUE(answers.empty());
        std::string out;
        EXPECT_EQ(test::RunShell(c.judge + test::ShellQuote(target), &out), 0);
        EXPECT_NE(out.find(c.szExpect), std::string::npos) << out;
        // Cancel keeps the file as it is.
        saveAnswers = { QString::fromStdString(target) };
        answers = { Answer::Cancel };
        const auto before = test::ReadFileBytes(target);
        EXPECT_FALSE(Run(Id::kSaveAs));
        EXPECT_EQ(test::ReadFileBytes(target), before);
    }
    EXPECT_EQ(GetSettingString("Settings", "SaveFolder", ""), env.Dir().Path());
}

class LoadTest : public TransferCommandsTest {
protected:
    void SetUp() override
    {
        TransferCommandsTest::SetUp();
        if (!test::HaveTool("sox"))
            GTEST_SKIP() << "sox is not installed";
        for (const char* szName : { "one", "three" })
            ASSERT_EQ(test::RunShell("sox -n -r 8000 -c 1 -b 16 " + test::ShellQuote(File(szName))
                          + " synth 1.5 sine 440 2>/dev/null"),
                0);
        ASSERT_TRUE(test::WriteFileBytes(File("two"), std::vector<uint8_t>(100, 'x')));
        for (const char* szName : { "one", "two", "three" })
            chosen << QString::fromStdString(File(szName));
    }
    std::string File(const char* szName) { return env.Dir().File(std::string(szName) + ".wav"); }
};

TEST_F(LoadTest, LoadStopsAtTheFirstUnreadableFileAndLoadAndSendSendsEachLoaded)
{
    Open();
    EXPECT_FALSE(Run(Id::kLoadAudio));
    EXPECT_EQ(Names(), QStringList { "one" });
    EXPECT_EQ(FilesIn(engine->GetCurrentFolder(), ".ddf").size(), 1u);
    EXPECT_EQ(boxes.size(), 1u);
    // The loaded one is current, with its length.
    EXPECT_EQ(Session().Length(), 1500);

    // Load and Send sends each loaded file.
    const std::string inbox = env.Dir().File("inbox");
    AddFolderRecipient("Typist", inbox);
    chosen.removeAt(1);
    EXPECT_TRUE(Run(Id::kLoadAndSendAudio));
    EXPECT_EQ(Names(), QStringList { "one" });
    ASSERT_TRUE(PumpUntil([&] { return FilesIn(inbox, ".dct").size() == 2; }, 20000));
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
