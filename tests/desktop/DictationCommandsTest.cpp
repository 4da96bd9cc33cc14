// The dictation commands against the session, by their identifiers: new with
// its data prompts, the low-disk warning, delete, undo and redo.
#include "DesktopFixture.h"

#include "app/desktop/dialogs/PromptForDataDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

using Id = LCommandId;
using Prompt = PromptForDataDialog;

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
        Open();
    }
    // Answers the dialog's fields and presses OK, as many times as asked.
    void Answer(std::vector<std::pair<QString, QString>> answers)
    {
        runDialog = [this, answers](QDialog& dialog) {
            auto& prompt = dynamic_cast<Prompt&>(dialog);
            seenLabels.clear();
            for (int nId : { Prompt::kIdLabel1, Prompt::kIdLabel2 })
                if (prompt.Label(nId))
                    seenLabels << prompt.Label(nId)->text();
            for (const auto& [first, second] : answers) {
                prompt.Answer(Prompt::kIdAnswer1)->setEditText(first);
                if (QComboBox* pSecond = prompt.Answer(Prompt::kIdAnswer2))
                    pSecond->setEditText(second);
                if (prompt.Accept())
                    return;
            }
            prompt.reject();
        };
    }
    LDictation* New() { return app->Commands().CmNewFile(); }
    QStringList seenLabels;
};

TEST_F(PromptTest, TwoAnswersGoIntoTheNotesAsTaggedElementsAndAreOfferedNextTime)
{
    Answer({ { "4711", "Smith" } });
    LDictation* pNew = New();
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(seenLabels.size(), 2);
    EXPECT_EQ(StoredNotes(pNew), "<case>4711</case>\r\n<client>Smith</client>\r\n");
    EXPECT_EQ(dialog->Notes()->toPlainText(), "<case>4711</case>\n<client>Smith</client>\n");
    EXPECT_EQ(GetSettingString("RecentPrompt2Data", "Item 1", ""), "Smith");
    runDialog = [&](QDialog& dialog) {
        auto& prompt = dynamic_cast<Prompt&>(dialog);
        EXPECT_EQ(prompt.Answer(Prompt::kIdAnswer1)->currentText(), "4711");
        EXPECT_EQ(prompt.Answer(Prompt::kIdAnswer2)->itemText(0), "Smith");
        prompt.reject();
    };
    // Cancelling leaves no new dictation.
    EXPECT_EQ(New(), nullptr);
    EXPECT_EQ(nDialogs, 2);
    EXPECT_EQ(Names(), (QStringList { "Dictation 1" }));
    EXPECT_EQ(FilesIn(engine->GetCurrentFolder(), ".ddf").size(), 1u);
    // The same tag twice keeps one element, with the second answer.
    SetSettingString("Prompt2", "XMLTag", "case");
    Answer({ { "first", "second" } });
    EXPECT_EQ(StoredNotes(New()), "<case>second</case>\r\n");
}

TEST_F(DictationCommandsTest, NewNamesWrapAfter999AndLowDiskIsCountedIn64Bits)
{
    Open();
    auto warnings = [this] {
        return std::count_if(boxes.begin(), boxes.end(), [](const ShownBox& b) {
            return b.box == LUserPrompts::Box::Warning && b.text.startsWith("Your hard drive is low on space.");
        });
    };
    SetSettingInt("Settings", "DisplayFileNumber", 997);
    uFreeKB = 32 * 1024; // the default 32 MB, exactly
    ASSERT_TRUE(Run(Id::kNew));
    EXPECT_EQ(warnings(), 0);
    EXPECT_EQ(freeSpaceFolders.back(), engine->GetCurrentFolder());
    uFreeKB = 32 * 1024 - 1;
    ASSERT_TRUE(Run(Id::kNew)); // warned, and made all the same
    EXPECT_EQ(warnings(), 1);
    // 4194304 MB is 2^32 KiB: in 32 bits it would wrap to 0 and never warn.
    SetMachineInt("Settings", "WarnBelowMB", 4194304);
    uFreeKB = 0xFFFFFFFF;
    ASSERT_TRUE(Run(Id::kToolNew));
    EXPECT_EQ(warnings(), 2);
    EXPECT_FALSE(LDictationCommands::IsLowOnSpace(-1, 0));
    EXPECT_EQ(Names(), (QStringList { "Dictation 1", "Dictation 998", "Dictation 999" }));
    EXPECT_EQ(GetSettingInt("Settings", "DisplayFileNumber", 0), 1);
    EXPECT_EQ(nDialogs, 0); // no prompt is set
}

TEST_F(DictationCommandsTest, DeleteAsksOnceAndRemovesEveryFile)
{
    for (const char* szName : { "Keep", "A", "B", "C" })
        Make(szName, 0, 50, 1);
    Open();
    LDictation* pA = Listed(made[1].get());
    // Cut files in the current list, the undo stack and the redo stack.
    for (int i = 0; i < 3; ++i)
        Record(*pA, 8000);
    ASSERT_TRUE(pA->Undo());
    const std::string folder = engine->GetCurrentFolder();
    ASSERT_EQ(FilesIn(folder, ".dau").size(), 3u);
    SelectOnly({ pA, Listed(made[2].get()), Listed(made[3].get()) });
    bAnswerOk = false;
    EXPECT_FALSE(Run(Id::kDelete));
    EXPECT_EQ(FilesIn(folder, ".ddf").size(), 4u);
    bAnswerOk = true;
    EXPECT_TRUE(Run(Id::kDelete));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(FilesIn(folder, ".ddf").size(), 1u);
    EXPECT_EQ(FilesIn(folder, ".dau").size(), 0u);
    EXPECT_EQ(Names(), (QStringList { "Keep" }));
    // Without asking (the message interface's form).
    SelectOnly({ Listed(made[0].get()) });
    EXPECT_TRUE(app->Commands().CmDeleteFile(false));
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(FilesIn(folder, ".ddf").size(), 0u);
    EXPECT_FALSE(Run(Id::kDelete)); // nothing is current
}

TEST_F(DictationCommandsTest, UndoAndRedoFollowTheDictationInTheMenuWithoutOpeningIt)
{
    Make("Rec", 0, 50, 1);
    Open();
    LDictation* pRec = Listed(made[0].get());
    int nStops = 0;
    app->Commands().SetStopTransport([&] { ++nStops; });
    QAction* pUndo = dialog->MenuAction(Id::kUndo);
    QAction* pRedo = dialog->MenuAction(Id::kRedo);
    EXPECT_FALSE(pUndo->isEnabled());

    const int32_t nRate = static_cast<int32_t>(pRec->Header().uSampleRate);
    Record(*pRec, nRate * 2);
    Record(*pRec, nRate * 3);
    Session().Changed(pRec->nListIndex); // as the transport does when a recording stops
    EXPECT_TRUE(pUndo->isEnabled());
    EXPECT_EQ(pUndo->text(), "Undo Record at End");
    EXPECT_FALSE(pRedo->isEnabled());

    pUndo->trigger();
    EXPECT_EQ(nStops, 1);
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 2);
    EXPECT_EQ(dialog->List()->FindRow(pRec->nListIndex)->text(LDictationListView::kColDuration), "00:02");
    EXPECT_EQ(Session().Position(), 2000);
    EXPECT_EQ(pRedo->text(), "Redo Record at End");
    EXPECT_TRUE(pUndo->isEnabled()); // the first recording is still there

    ASSERT_TRUE(Run(Id::kRedo));
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 5);
    EXPECT_EQ(Session().Position(), 5000);
    EXPECT_FALSE(pRedo->isEnabled());
    EXPECT_TRUE(Run(Id::kUndo));
    EXPECT_TRUE(Run(Id::kUndo));
    EXPECT_FALSE(Run(Id::kUndo)); // nothing left
    EXPECT_EQ(Session().Length(), 0);
    EXPECT_EQ(LDictation(pRec->GetPath()).Header().uDuration, 0);
}

} // namespace
