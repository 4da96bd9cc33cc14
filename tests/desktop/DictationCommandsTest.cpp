#include "DictationCommandsFixture.h"

#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/window/LDictationListView.h"
#include "foundation/LFile.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

size_t DdfCount(const std::string& folder)
{
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.path().extension() == ".ddf";
    return n;
}

// Both prompts asked; each answer lands in its own tag unless set otherwise.
class PromptTest : public DictationCommandsTest {
protected:
    void SetUp() override
    {
        DictationCommandsTest::SetUp();
        SetSettingBool("Prompt1", "Prompt", true);
        SetSettingString("Prompt1", "XMLTag", "case");
        SetSettingBool("Prompt2", "Prompt", true);
        SetSettingString("Prompt2", "XMLTag", "client");
        OpenWired();
    }

    // Answers the dialog's two fields and presses OK, as many times as asked.
    void Answer(std::vector<std::pair<QString, QString>> answers)
    {
        runDialog = [this, answers](QDialog& dialog) {
            auto& prompt = dynamic_cast<PromptForDataDialog&>(dialog);
            seenLabels.clear();
            for (int nId : { PromptForDataDialog::kIdLabel1, PromptForDataDialog::kIdLabel2 })
                if (prompt.Label(nId))
                    seenLabels << prompt.Label(nId)->text();
            for (const auto& [first, second] : answers) {
                prompt.Answer(PromptForDataDialog::kIdAnswer1)->setEditText(first);
                if (QComboBox* pSecond = prompt.Answer(PromptForDataDialog::kIdAnswer2))
                    pSecond->setEditText(second);
                if (prompt.Accept())
                    return;
            }
            prompt.reject();
        };
    }
    QStringList seenLabels;
};

TEST_F(PromptTest, TwoAnswersGoIntoTheNotesAsTaggedElements)
{
    Answer({ { "4711", "Smith" } });
    LDictation* pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(nDialogs, 1);
    EXPECT_EQ(seenLabels, (QStringList { "Enter case or file no", "Enter client or patient name" }));
    const std::string expected = "<case>4711</case>\r\n<client>Smith</client>\r\n";
    EXPECT_EQ(LDictation(pNew->GetPath()).GetNotes(), expected);
    EXPECT_EQ(Session().CurrentId(), pNew->nListIndex);
    EXPECT_EQ(dialog->Notes()->toPlainText(), "<case>4711</case>\n<client>Smith</client>\n");
    EXPECT_FALSE(dialog->IsNotesChanged());
    EXPECT_EQ(GetSettingString("Prompt1", "Previous", ""), "4711");
    EXPECT_EQ(GetSettingString("RecentPrompt2Data", "Item 1", ""), "Smith");
    EXPECT_EQ(pNew->GetName(), "Dictation 1");

    // The next dialog offers the last answers.
    runDialog = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<PromptForDataDialog&>(dialog);
        EXPECT_EQ(prompt.Answer(PromptForDataDialog::kIdAnswer1)->currentText(), "4711");
        EXPECT_EQ(prompt.Answer(PromptForDataDialog::kIdAnswer2)->itemText(0), "Smith");
        prompt.reject();
    };
    EXPECT_EQ(app->Commands().CmNewFile(), nullptr);
}

TEST_F(PromptTest, TheSameTagTwiceKeepsOneElementWithTheSecondAnswer)
{
    SetSettingString("Prompt2", "XMLTag", "case");
    Answer({ { "first", "second" } });
    LDictation* pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(LDictation(pNew->GetPath()).GetNotes(), "<case>second</case>\r\n");
}

TEST_F(PromptTest, AnswerAsNameIsValidatedAsDigits)
{
    SetSettingBool("Prompt1", "DictationName", true);
    SetSettingBool("Prompt1", "NumberOnly", true);
    SetSettingBool("Prompt2", "Prompt", false);
    Answer({ { "12a", "" }, { "123", "" } });
    LDictation* pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].box, LUserPrompts::Box::Error);
    EXPECT_TRUE(boxes[0].text.startsWith("The data you have entered is not valid.")) << boxes[0].text.toStdString();
    EXPECT_EQ(seenLabels.size(), 1); // one prompt only
    EXPECT_EQ(LDictation(pNew->GetPath()).GetName(), "123");
    EXPECT_EQ(Names(), (QStringList { "123" }));
    EXPECT_EQ(LDictation(pNew->GetPath()).GetNotes(), "");
}

TEST_F(PromptTest, LengthRulesApplyOnlyWhenAsked)
{
    SetSettingBool("Prompt1", "ValidateChars", true);
    SetSettingInt("Prompt1", "MinChars", 3);
    SetSettingInt("Prompt1", "MaxChars", 4);
    EXPECT_FALSE(PromptForDataDialog::IsValidAnswer("Prompt1", "ab"));
    EXPECT_TRUE(PromptForDataDialog::IsValidAnswer("Prompt1", "abc"));
    EXPECT_TRUE(PromptForDataDialog::IsValidAnswer("Prompt1", QString::fromUtf8("äöüß")));
    EXPECT_FALSE(PromptForDataDialog::IsValidAnswer("Prompt1", "abcde"));
    EXPECT_TRUE(PromptForDataDialog::IsValidAnswer("Prompt2", "a"));
}

TEST_F(PromptTest, CancellingLeavesNoNewDictation)
{
    Answer({});
    EXPECT_EQ(app->Commands().CmNewFile(), nullptr);
    EXPECT_EQ(nDialogs, 1);
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 0);
    EXPECT_EQ(DdfCount(engine->GetCurrentFolder()), 0u);
    EXPECT_EQ(Session().CurrentId(), -1);
}

TEST_F(PromptTest, RecentAnswersHoldNineWithoutRepeats)
{
    for (int i = 1; i <= 12; ++i)
        PromptForDataDialog::AddRecent("Prompt1", QString::number(i));
    PromptForDataDialog::AddRecent("Prompt1", "7");
    PromptForDataDialog::AddRecent("Prompt1", "");
    EXPECT_EQ(PromptForDataDialog::RecentAnswers("Prompt1"),
        (QStringList { "7", "12", "11", "10", "9", "8", "6", "5", "4" }));
    EXPECT_EQ(GetSettingInt("RecentPrompt1Data", "Count", 0), 9);
    // A hostile count reads no more than nine.
    SetSettingInt("RecentPrompt1Data", "Count", 5000);
    EXPECT_EQ(PromptForDataDialog::RecentAnswers("Prompt1").size(), 9);
}

TEST_F(DictationCommandsTest, NamesComeFromTheCounterAndWrapAfter999)
{
    OpenWired();
    SetSettingInt("Settings", "DisplayFileNumber", 997);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(app->Commands().CmNewFile(), nullptr);
    EXPECT_EQ(Names(), (QStringList { "Dictation 1", "Dictation 998", "Dictation 999" }));
    EXPECT_EQ(GetSettingInt("Settings", "DisplayFileNumber", 0), 1);
    EXPECT_EQ(nDialogs, 0); // no prompt is set
    EXPECT_EQ(LDictationList(engine->GetCurrentFolder()).Count(), 3u);
}

TEST_F(DictationCommandsTest, LowDiskWarningAtTheThresholdCountedIn64Bits)
{
    OpenWired();
    auto warnings = [this] {
        return std::count_if(boxes.begin(), boxes.end(), [](const ShownBox& b) {
            return b.box == LUserPrompts::Box::Warning && b.caption == "Warning"
                && b.text.startsWith("Your hard drive is low on space.");
        });
    };
    uFreeKB = 32 * 1024; // the default 32 MB, exactly
    ASSERT_NE(app->Commands().CmNewFile(), nullptr);
    EXPECT_EQ(warnings(), 0);
    ASSERT_FALSE(freeSpaceFolders.empty());
    EXPECT_EQ(freeSpaceFolders.back(), engine->GetCurrentFolder());
    uFreeKB = 32 * 1024 - 1;
    ASSERT_NE(app->Commands().CmNewFile(), nullptr); // warned, and made all the same
    EXPECT_EQ(warnings(), 1);

    // 4194304 MB is 2^32 KiB: in 32 bits it would wrap to 0 and never warn.
    SetMachineInt("Settings", "WarnBelowMB", 4194304);
    uFreeKB = 0xFFFFFFFF;
    ASSERT_NE(app->Commands().CmNewFile(), nullptr);
    EXPECT_EQ(warnings(), 2);
    EXPECT_TRUE(LDictationCommands::IsLowOnSpace(2097152, 0x80000000u - 1));
    EXPECT_FALSE(LDictationCommands::IsLowOnSpace(-1, 0));
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 3);
}

TEST_F(DictationCommandsTest, DefaultNoteFollowsTheAnswers)
{
    const std::string folder = env.DataHome() + "/Tavrine";
    fs::create_directories(folder);
    std::ofstream(folder + "/TemplateNotes.txt") << "Typist: please check spelling";
    SetSettingBool("Settings", "DefaultNote", true);
    SetSettingBool("Prompt1", "Prompt", true);
    SetSettingString("Prompt1", "XMLTag", "ref");
    OpenWired();
    runDialog = [](QDialog& dialog) {
        auto& prompt = dynamic_cast<PromptForDataDialog&>(dialog);
        prompt.Answer(PromptForDataDialog::kIdAnswer1)->setEditText("A-1");
        prompt.Accept();
    };
    LDictation* pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(LDictation(pNew->GetPath()).GetNotes(), "<ref>A-1</ref>\r\nTypist: please check spelling\r\n");
    // Without the setting the template stays out.
    SetSettingBool("Settings", "DefaultNote", false);
    pNew = app->Commands().CmNewFile();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(LDictation(pNew->GetPath()).GetNotes(), "<ref>A-1</ref>\r\n");
}

TEST(ReplaceTagged, ReplacesTheElementAndTheBreaksAfterIt)
{
    EXPECT_EQ(LDictationCommands::ReplaceTagged("", "a", "1"), "<a>1</a>\r\n");
    EXPECT_EQ(LDictationCommands::ReplaceTagged("x <a>old</a> \r\n\r\ny\r\n", "a", "new"), "x y\r\n<a>new</a>\r\n");
    // An opening tag without its closing one is left as it is.
    EXPECT_EQ(LDictationCommands::ReplaceTagged("<a>open", "a", "v"), "<a>open<a>v</a>\r\n");
    // A closing tag before the opening one does not count.
    EXPECT_EQ(LDictationCommands::ReplaceTagged("</a><a>", "a", "v"), "</a><a><a>v</a>\r\n");
}

// Records through the dictation's record sink as the recorder would.
void Record(LDictation& d, int32_t nFrames)
{
    LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, true, 0);
    ASSERT_TRUE(sink);
    std::vector<int32_t> block(static_cast<size_t>(nFrames), 1000 * 16);
    sink->Write(block.data(), nFrames);
    sink.Reset();
    d.UpdateDuration();
}

std::vector<std::string> CutFiles(const std::string& folder, const LDictation& d)
{
    std::vector<std::string> out;
    const std::string prefix = d.GetBaseName() + "_";
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && entry.path().extension() == ".dau")
            out.push_back(entry.path().string());
    return out;
}

TEST_F(DictationCommandsTest, DeleteAsksOnceAndRemovesEveryFile)
{
    Make("Keep", 0, 50, 1);
    Make("A", 0, 50, 2);
    Make("B", 0, 50, 3);
    Make("C", 0, 50, 4);
    OpenWired();
    LDictation* pA = Listed(made[1].get());
    // Cut files in the current list, the undo stack and the redo stack.
    Record(*pA, 8000);
    Record(*pA, 8000);
    Record(*pA, 8000);
    ASSERT_TRUE(pA->Undo());
    const std::string folder = engine->GetCurrentFolder();
    ASSERT_EQ(CutFiles(folder, *pA).size(), 3u);
    const std::string aPath = pA->GetPath();

    SelectOnly({ pA, Listed(made[2].get()), Listed(made[3].get()) });
    bAnswerOk = false;
    EXPECT_FALSE(Run(LCommandId::kDelete));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(DdfCount(folder), 4u);

    bAnswerOk = true;
    EXPECT_TRUE(Run(LCommandId::kDelete));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].box, LUserPrompts::Box::Question);
    EXPECT_EQ(boxes[1].caption, "Confirm Delete");
    EXPECT_EQ(boxes[1].text, "Are you sure you want to delete the selected dictation(s)?");
    EXPECT_FALSE(fs::exists(aPath));
    EXPECT_EQ(DdfCount(folder), 1u);
    size_t nDau = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        nDau += entry.path().extension() == ".dau";
    EXPECT_EQ(nDau, 0u);
    EXPECT_EQ(Names(), (QStringList { "Keep" }));

    // Without asking (the message interface's form).
    SelectOnly({ Listed(made[0].get()) });
    EXPECT_TRUE(app->Commands().CmDeleteFile(false));
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(DdfCount(folder), 0u);
    EXPECT_FALSE(Run(LCommandId::kDelete)); // nothing selected
}

TEST_F(DictationCommandsTest, PriorityShowsInTheListAndTheFile)
{
    Make("One", 0, 50, 1);
    Make("Two", 0, 50, 2);
    OpenWired();
    LDictation* pOne = Listed(made[0].get());
    LDictation* pTwo = Listed(made[1].get());
    struct Case {
        LCommandId command;
        uint8_t uStored;
        const char* szShown;
    };
    for (Case c : { Case { LCommandId::kSetHighPriority, 100, "High" }, Case { LCommandId::kSetLowPriority, 20, "Low" },
             Case { LCommandId::kSetNormalPriority, 50, "Normal" } }) {
        SelectOnly({ pOne, pTwo });
        ASSERT_TRUE(Run(c.command)) << static_cast<int>(c.command);
        for (const LDictation* p : { pOne, pTwo }) {
            EXPECT_EQ(LDictation(p->GetPath()).Header().uPriority, c.uStored) << static_cast<int>(c.command);
            EXPECT_EQ(dialog->List()->FindRow(p->nListIndex)->text(LDictationListView::kColPriority), c.szShown);
        }
    }
    SelectOnly({ pTwo });
    Run(LCommandId::kSetHighPriority);
    EXPECT_EQ(LDictation(pOne->GetPath()).Header().uPriority, 50);
    EXPECT_EQ(LDictation(pTwo->GetPath()).Header().uPriority, 100);
}

TEST_F(DictationCommandsTest, UndoAndRedoARecordingFromTheMenu)
{
    Make("Rec", 0, 50, 1);
    OpenWired();
    LDictation* pRec = Listed(made[0].get());
    SelectOnly({ pRec });
    QMenu* pEdit = nullptr;
    for (QAction* pAction : dialog->menuBar()->actions())
        if (pAction->text() == "&Edit")
            pEdit = pAction->menu();
    ASSERT_NE(pEdit, nullptr);
    QAction* pUndo = dialog->MenuAction(LCommandId::kUndo);
    QAction* pRedo = dialog->MenuAction(LCommandId::kRedo);
    auto openMenu = [&] { emit pEdit->aboutToShow(); };
    int nStops = 0;
    app->Commands().SetStopTransport([&] { ++nStops; });

    openMenu();
    EXPECT_EQ(pUndo->text(), "Undo");
    EXPECT_FALSE(pUndo->isEnabled());
    EXPECT_FALSE(pRedo->isEnabled());

    const uint32_t uRate = pRec->Header().uSampleRate;
    Record(*pRec, static_cast<int32_t>(uRate * 2));
    Record(*pRec, static_cast<int32_t>(uRate * 3));
    openMenu();
    EXPECT_EQ(pUndo->text(), "Undo Record at End");
    EXPECT_EQ(pUndo->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_TRUE(pUndo->isEnabled());
    EXPECT_EQ(pRedo->text(), "Redo");
    EXPECT_FALSE(pRedo->isEnabled());

    pUndo->trigger();
    EXPECT_EQ(nStops, 1);
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 2);
    EXPECT_EQ(dialog->List()->FindRow(pRec->nListIndex)->text(LDictationListView::kColDuration), "00:02");
    EXPECT_EQ(Session().Length(), 2000);
    EXPECT_EQ(Session().Position(), 2000);
    openMenu();
    EXPECT_EQ(pRedo->text(), "Redo Record at End");
    EXPECT_TRUE(pRedo->isEnabled());
    EXPECT_TRUE(pUndo->isEnabled()); // the first recording is still there

    pRedo->trigger();
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 5);
    EXPECT_EQ(Session().Length(), 5000);
    EXPECT_EQ(Session().Position(), 5000);
    openMenu();
    EXPECT_FALSE(pRedo->isEnabled());
    EXPECT_EQ(pRedo->text(), "Redo");

    EXPECT_TRUE(Run(LCommandId::kUndo));
    EXPECT_TRUE(Run(LCommandId::kUndo));
    EXPECT_FALSE(Run(LCommandId::kUndo)); // nothing left
    EXPECT_EQ(Session().Length(), 0);
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 0);
}

TEST_F(DictationCommandsTest, EditShortcutsFollowTheDictationWithoutAMenuOpened)
{
    Make("Keys", 0, 50, 1);
    OpenWired();
    LDictation* pRec = Listed(made[0].get());
    SelectOnly({ pRec });
    app->Commands().SetStopTransport([] {});
    QAction* pUndo = dialog->MenuAction(LCommandId::kUndo);
    QAction* pRedo = dialog->MenuAction(LCommandId::kRedo);
    EXPECT_FALSE(pUndo->isEnabled());

    // The transport refreshes the row when a recording stops.
    Record(*pRec, static_cast<int32_t>(pRec->Header().uSampleRate));
    Session().Changed(pRec->nListIndex);
    EXPECT_TRUE(pUndo->isEnabled());
    EXPECT_EQ(pUndo->text(), "Undo Record at End");

    pUndo->trigger();
    EXPECT_FALSE(pUndo->isEnabled());
    EXPECT_TRUE(pRedo->isEnabled());
}

} // namespace
