#include "app/desktop/LDictationCommands.h"

#include "app/desktop/AttachmentDialog.h"
#include "app/desktop/LTransport.h"
#include "app/desktop/MainDialog.h"
#include "app/desktop/PromptForDataDialog.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

namespace {

// Free space that cannot be read counts as this much (16 GiB).
constexpr uint32_t kUnknownFreeKB = 16777216;
constexpr size_t kMaxName = 96;

const int kCommands[] = { 1005, 1041, 1042, 1043, 1045, 1046, 2051, 2053 };

} // namespace

LDictationCommands::LDictationCommands(MainDialog& dialog)
    : m_dialog(dialog)
    , m_prompts(LUserPrompts::Desktop())
    , m_freeKB(GetDriveFreeSpaceKB)
    , m_stop([&dialog] {
        if (dialog.m_pTransport)
            dialog.m_pTransport->CmStop();
    })
{
    for (int nId : kCommands)
        if (std::find(dialog.m_available.begin(), dialog.m_available.end(), nId) == dialog.m_available.end())
            dialog.m_available.push_back(nId);
}

bool LDictationCommands::Handles(int nId)
{
    return std::find(std::begin(kCommands), std::end(kCommands), nId) != std::end(kCommands);
}

bool LDictationCommands::Command(int nId)
{
    switch (nId) {
    case 1005:
        return CmDeleteFile(true);
    case 1041:
        return CmSetPriority(kPriorityHigh);
    case 1042:
        return CmSetPriority(kPriorityNormal);
    case 1043:
        return CmSetPriority(kPriorityLow);
    case 1045:
        return CmAttachFile();
    case 1046:
        return CmOpenAttachmentList();
    case 2051:
        return CmUndo();
    case 2053:
        return CmRedo();
    default:
        return false;
    }
}

void LDictationCommands::StopTransport()
{
    if (m_stop)
        m_stop();
}

bool LDictationCommands::IsLowOnSpace(int nWarnBelowMB, uint32_t uFreeKB)
{
    return int64_t { nWarnBelowMB } * 1024 > int64_t { uFreeKB };
}

std::string LDictationCommands::DefaultNotePath()
{
    std::string base = GetUserDataFolder();
    if (base.empty())
        base = GetSharedDataFolder();
    return FilePathCat(FilePathCat(base, "Tavrine"), "TemplateNotes.txt");
}

LDictation* LDictationCommands::CmNewFile()
{
    MainDialog& d = m_dialog;
    if (!d.m_engine.IsUsable())
        return nullptr;
    d.SaveCurrentDictationNote();
    const std::string folder = d.m_engine.GetCurrentFolder();
    uint32_t uFreeKB = m_freeKB ? m_freeKB(folder) : kUnknownFreeKB;
    if (IsLowOnSpace(GetMachineInt("Settings", "WarnBelowMB", 32), uFreeKB))
        m_prompts.box(&d, LUserPrompts::Box::Warning, QStringLiteral("Warning"),
            QStringLiteral("Your hard drive is low on space. Tavrine Dictate might not function properly unless you "
                           "remove some files."));

    // A stored counter outside 0..998 still gives a name from 1 to 999.
    int n = (GetSettingInt("Settings", "DisplayFileNumber", 0) % 999 + 999) % 999 + 1;
    SetSettingInt("Settings", "DisplayFileNumber", n);
    LDictation* pDictation = d.m_list.NewDictation(folder, tplprintf("Dictation %d", n));
    if (!pDictation) {
        m_prompts.box(&d, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf(IsDiskFullError(d.m_list.GetLastNewErrno())
                    ? "Cannot write a new dictation into \"%s\": the disk holding that folder is full."
                    : "Cannot write a new dictation into \"%s\".",
                folder)));
        return nullptr;
    }
    const int nId = pDictation->nListIndex;
    d.AddNewRow(*pDictation);

    bool bPrompt1 = GetSettingBool("Prompt1", "Prompt", false);
    bool bPrompt2 = GetSettingBool("Prompt2", "Prompt", false);
    if (bPrompt1 || bPrompt2) {
        PromptForDataDialog prompt(bPrompt2, m_prompts, &d);
        if (m_prompts.exec(prompt) != QDialog::Accepted) {
            d.m_list.DeleteDictation(nId);
            d.ListDictations();
            return nullptr;
        }
        // The dialog ran other events meanwhile; the dictation is looked up
        // again by its index.
        pDictation = d.m_list.FindDictation(nId);
        if (!pDictation)
            return nullptr;
        if (bPrompt1)
            ApplyPromptAnswer(pDictation, "Prompt1");
        if (bPrompt2)
            ApplyPromptAnswer(pDictation, "Prompt2");
    }
    if (GetSettingBool("Settings", "DefaultNote", false)) {
        std::string note;
        if (ReadTextFile(DefaultNotePath(), &note))
            AppendNoteLine(note);
    }
    return pDictation;
}

void LDictationCommands::ApplyPromptAnswer(LDictation* pDictation, const char* szSection)
{
    std::string answer = GetSettingString(szSection, "Previous", "");
    if (GetSettingBool(szSection, "DictationName", false)) {
        pDictation->SetName(CutUtf8(answer, kMaxName));
        RefreshRow(*pDictation, true);
    } else {
        AddTaggedAnswer(GetSettingString(szSection, "XMLTag", ""), answer);
    }
}

void LDictationCommands::RefreshRow(const LDictation& dictation, bool bSort)
{
    if (QTreeWidgetItem* pRow = m_dialog.FindRow(dictation.nListIndex)) {
        m_dialog.ListDictation(pRow, dictation);
        if (bSort) {
            m_dialog.SortList();
            m_dialog.m_pList->scrollToItem(pRow);
        }
    }
}

std::string LDictationCommands::ReplaceTagged(std::string_view notes, std::string_view tag, std::string_view value)
{
    std::string text(notes);
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    if (size_t nOpen = text.find(open); nOpen != std::string::npos) {
        if (size_t nClose = text.find(close, nOpen + open.size()); nClose != std::string::npos) {
            size_t nEnd = nClose + close.size();
            while (nEnd < text.size() && (text[nEnd] == ' ' || text[nEnd] == '\r' || text[nEnd] == '\n'))
                ++nEnd;
            text.erase(nOpen, nEnd - nOpen);
        }
    }
    text += open;
    text += value;
    text += close;
    text += "\r\n";
    return text;
}

bool LDictationCommands::StoreNotes(LDictation* pDictation, const std::string& text)
{
    // Written to the dictation as it stands (line breaks included) and shown
    // in the box without counting as a fresh edit.
    bool bSaved = pDictation->SetNotes(text);
    m_dialog.m_notesTimer.stop();
    m_dialog.m_bSettingNotes = true;
    m_dialog.m_pNotes->setPlainText(QString::fromStdString(text));
    m_dialog.m_bSettingNotes = false;
    m_dialog.m_bNotesChanged = false;
    RefreshRow(*pDictation, false);
    return bSaved;
}

bool LDictationCommands::AddTaggedAnswer(std::string_view tag, std::string_view value)
{
    m_dialog.SaveCurrentDictationNote();
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation)
        return false;
    return StoreNotes(pDictation, ReplaceTagged(pDictation->GetNotes(), tag, value));
}

bool LDictationCommands::AppendNoteLine(std::string_view text)
{
    m_dialog.SaveCurrentDictationNote();
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation)
        return false;
    std::string notes = pDictation->GetNotes();
    notes += text;
    notes += "\r\n";
    return StoreNotes(pDictation, notes);
}

bool LDictationCommands::CmDeleteFile(bool bAsk)
{
    StopTransport();
    MainDialog& d = m_dialog;
    std::vector<int> ids;
    for (int i = 0; i < d.m_pList->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* pRow = d.m_pList->topLevelItem(i); pRow->isSelected())
            ids.push_back(MainDialog::RowId(pRow));
    if (ids.empty())
        return false;
    if (bAsk
        && !m_prompts.box(&d, LUserPrompts::Box::Question, QStringLiteral("Confirm Delete"),
            QStringLiteral("Are you sure you want to delete the selected dictation(s)?")))
        return false;
    // Typed notes of a dictation about to go need no saving.
    d.m_notesTimer.stop();
    d.m_bNotesChanged = false;
    bool bAll = true;
    for (int nId : ids)
        bAll &= d.m_list.DeleteDictation(nId);
    d.ListDictations();
    return bAll;
}

bool LDictationCommands::CmSetPriority(uint8_t uPriority)
{
    MainDialog& d = m_dialog;
    bool bAny = false;
    for (int i = 0; i < d.m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pRow = d.m_pList->topLevelItem(i);
        LDictation* pDictation = pRow->isSelected() ? d.m_list.FindDictation(MainDialog::RowId(pRow)) : nullptr;
        if (!pDictation)
            continue;
        pDictation->SetPriority(uPriority);
        d.ListDictation(pRow, *pDictation);
        bAny = true;
    }
    if (bAny) {
        d.SortList();
        if (QTreeWidgetItem* pCurrent = d.m_pList->currentItem())
            d.m_pList->scrollToItem(pCurrent);
    }
    return bAny;
}

bool LDictationCommands::CmAttachFile()
{
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation)
        return false;
    int nAdded = AttachmentDialog::AttachFiles(&m_dialog, *pDictation, m_prompts, "AddAttachmentFolder");
    RefreshRow(*pDictation, false);
    return nAdded > 0;
}

bool LDictationCommands::CmOpenAttachmentList()
{
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation)
        return false;
    const int nId = pDictation->nListIndex;
    {
        AttachmentDialog dialog(*pDictation, m_prompts, m_opener, &m_dialog);
        m_prompts.exec(dialog);
    }
    if (LDictation* pAfter = m_dialog.m_list.FindDictation(nId))
        RefreshRow(*pAfter, false);
    return true;
}

bool LDictationCommands::CmUndo()
{
    StopTransport();
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation || !pDictation->Undo())
        return false;
    RefreshRow(*pDictation, false);
    m_dialog.m_nLengthMs = MainDialog::LengthMs(pDictation->GetTotalSamples(), pDictation->Header().uSampleRate);
    m_dialog.SetPosition(m_dialog.m_nLengthMs);
    return true;
}

bool LDictationCommands::CmRedo()
{
    StopTransport();
    LDictation* pDictation = m_dialog.CurrentDictation();
    if (!pDictation || !pDictation->Redo())
        return false;
    RefreshRow(*pDictation, false);
    m_dialog.m_nLengthMs = MainDialog::LengthMs(pDictation->GetTotalSamples(), pDictation->Header().uSampleRate);
    m_dialog.SetPosition(m_dialog.m_nLengthMs);
    return true;
}
