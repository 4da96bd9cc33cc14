#include "app/desktop/commands/LDictationCommands.h"

#include "app/desktop/dialogs/AttachmentDialog.h"
#include "app/desktop/dialogs/LDictationCommandKeys.h"
#include "app/desktop/dialogs/LPromptKeys.h"
#include "app/desktop/dialogs/PromptForDataDialog.h"
#include "app/desktop/session/LNoteTemplate.h"
#include "app/desktop/session/LSession.h"
#include "app/shared/input/LCommandRouter.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

namespace {

namespace Keys = DictationCommandKeys;
namespace Prompt = PromptKeys;

// Free space that cannot be read counts as this much (16 GiB).
constexpr uint32_t kUnknownFreeKB = 16777216;
constexpr size_t kMaxName = 96;

} // namespace

LDictationCommands::LDictationCommands(LSession& session)
    : m_session(session)
    , m_prompts(LUserPrompts::Desktop())
    , m_freeKB(GetDriveFreeSpaceKB)
{
}

void LDictationCommands::RegisterCommands(LCommandRouter& router)
{
    using Id = LCommandId;
    auto current = [this] { return m_session.Current() != nullptr; };
    auto add = [&router](Id id, std::function<bool()> run, std::function<bool()> enabled,
                   std::function<std::string()> label = {}) {
        LCommandRouter::Handler handler;
        handler.trigger = std::move(run);
        handler.enabled = std::move(enabled);
        handler.label = std::move(label);
        // Every command here but New acts on the current dictation.
        handler.bNeedsSelection = id != Id::kNew && id != Id::kToolNew;
        router.Register(id, std::move(handler));
    };
    add(Id::kNew, [this] { return CmNewFile() != nullptr; }, {});
    add(Id::kToolNew, [this] { return CmNewFile() != nullptr; }, {});
    add(
        Id::kDelete, [this] { return CmDeleteFile(true); }, current);
    add(
        Id::kSetHighPriority, [this] { return CmSetPriority(kPriorityHigh); }, current);
    add(
        Id::kSetNormalPriority, [this] { return CmSetPriority(kPriorityNormal); }, current);
    add(
        Id::kSetLowPriority, [this] { return CmSetPriority(kPriorityLow); }, current);
    add(
        Id::kAttachFiles, [this] { return CmAttachFile(); }, current);
    add(
        Id::kOpenAttachmentList, [this] { return CmOpenAttachmentList(); }, current);
    // The menu names what would be undone or redone.
    auto text = [this](bool bRedo) {
        std::string label = bRedo ? "Redo" : "Undo";
        if (const LDictation* pCurrent = m_session.Current())
            bRedo ? pCurrent->GetRedoText(&label) : pCurrent->GetUndoText(&label);
        return label;
    };
    auto can = [this](bool bRedo) {
        std::string ignored;
        const LDictation* pCurrent = m_session.Current();
        return pCurrent && (bRedo ? pCurrent->GetRedoText(&ignored) : pCurrent->GetUndoText(&ignored));
    };
    add(
        Id::kUndo, [this] { return CmUndo(); }, [can] { return can(false); }, [text] { return text(false); });
    add(
        Id::kRedo, [this] { return CmRedo(); }, [can] { return can(true); }, [text] { return text(true); });
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

LDictation* LDictationCommands::CmNewFile()
{
    if (!m_session.Engine().IsUsable())
        return nullptr;
    m_session.FlushEdits();
    const std::string folder = m_session.Engine().GetCurrentFolder();
    uint32_t uFreeKB = m_freeKB ? m_freeKB(folder) : kUnknownFreeKB;
    if (IsLowOnSpace(Keys::kWarnBelowMB.Get(), uFreeKB))
        m_prompts.box(m_pParent, LUserPrompts::Box::Warning, QStringLiteral("Warning"),
            QStringLiteral("Your hard drive is low on space. Tavrine Dictate might not function properly unless you "
                           "remove some files."));

    // A stored counter outside 0..998 still gives a name from 1 to 999.
    int n = (Keys::kDisplayFileNumber.Get() % 999 + 999) % 999 + 1;
    Keys::kDisplayFileNumber.Set(n);
    LDictation* pDictation = m_session.NewDictation(tplprintf("Dictation %d", n));
    if (!pDictation) {
        const std::string& folder = m_session.Engine().GetCurrentFolder();
        m_prompts.box(m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf(IsDiskFullError(m_session.List().GetLastNewErrno())
                    ? "Cannot write a new dictation into \"%s\": the disk holding that folder is full."
                    : "Cannot write a new dictation into \"%s\".",
                folder)));
        return nullptr;
    }
    const int nId = pDictation->nListIndex;

    const bool bPrompt[2] = { GetSettingBool(Prompt::kSections[0], Prompt::kAsk, false),
        GetSettingBool(Prompt::kSections[1], Prompt::kAsk, false) };
    if (bPrompt[0] || bPrompt[1]) {
        PromptForDataDialog prompt(bPrompt[1], m_prompts, m_pParent);
        if (m_prompts.exec(prompt) != QDialog::Accepted) {
            m_session.Remove({ nId });
            return nullptr;
        }
        // The dialog ran other events meanwhile; the dictation is looked up
        // again by its index.
        pDictation = m_session.Find(nId);
        if (!pDictation)
            return nullptr;
        for (int i = 0; i < 2; ++i)
            if (bPrompt[i])
                ApplyPromptAnswer(pDictation, Prompt::kSections[i]);
    }
    if (Keys::kDefaultNote.Get()) {
        std::string note;
        if (ReadTextFile(LNoteTemplate::Path(), &note))
            AppendNoteLine(note);
    }
    return pDictation;
}

void LDictationCommands::ApplyPromptAnswer(LDictation* pDictation, const char* szSection)
{
    std::string answer = GetSettingString(szSection, Prompt::kPrevious, {});
    if (GetSettingBool(szSection, Prompt::kAsName, false)) {
        pDictation->SetName(CutUtf8(answer, kMaxName));
        m_session.Changed(pDictation->nListIndex, true);
    } else {
        // Never an empty tag: the notes would carry "<></>".
        const int nPrompt = std::string_view(szSection) == Prompt::kSections[1] ? 1 : 0;
        AddTaggedAnswer(GetSettingString(szSection, Prompt::kTag, Prompt::kTagDefaults[nPrompt]), answer);
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

bool LDictationCommands::AddTaggedAnswer(std::string_view tag, std::string_view value)
{
    m_session.FlushEdits();
    LDictation* pDictation = m_session.Current();
    return pDictation
        && m_session.ReplaceNotes(pDictation->nListIndex, ReplaceTagged(pDictation->GetNotes(), tag, value));
}

bool LDictationCommands::RenameCurrent(std::string_view name)
{
    // As long as a name typed into the list may be.
    constexpr size_t kMaxNameBytes = 96;
    LDictation* pDictation = m_session.Current();
    if (!pDictation || name.empty() || !pDictation->SetName(CutUtf8(name, kMaxNameBytes)))
        return false;
    m_session.Changed(pDictation->nListIndex, true);
    return true;
}

bool LDictationCommands::AppendNoteLine(std::string_view text)
{
    m_session.FlushEdits();
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return false;
    std::string notes = pDictation->GetNotes();
    notes += text;
    notes += "\r\n";
    return m_session.ReplaceNotes(pDictation->nListIndex, notes);
}

bool LDictationCommands::CmDeleteFile(bool bAsk)
{
    StopTransport();
    const std::vector<int> ids = m_session.Selection();
    if (ids.empty())
        return false;
    if (bAsk
        && !m_prompts.box(m_pParent, LUserPrompts::Box::Question, QStringLiteral("Confirm Delete"),
            QStringLiteral("Are you sure you want to delete the selected dictation(s)?")))
        return false;
    // Typed notes of a dictation about to go need no saving.
    m_session.DropEdits();
    return m_session.Remove(ids);
}

bool LDictationCommands::CmSetPriority(uint8_t uPriority)
{
    bool bAny = false;
    for (int nId : m_session.Selection()) {
        if (LDictation* pDictation = m_session.Find(nId)) {
            pDictation->SetPriority(uPriority);
            m_session.Changed(nId, true);
            bAny = true;
        }
    }
    return bAny;
}

bool LDictationCommands::CmAttachFile()
{
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return false;
    int nAdded = AttachmentDialog::AttachFiles(m_pParent, *pDictation, m_prompts, Keys::kAttachFolder);
    m_session.Changed(pDictation->nListIndex);
    return nAdded > 0;
}

bool LDictationCommands::CmOpenAttachmentList()
{
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return false;
    const int nId = pDictation->nListIndex;
    {
        AttachmentDialog dialog(*pDictation, m_prompts, m_opener, m_pParent);
        m_prompts.exec(dialog);
    }
    if (m_session.Find(nId))
        m_session.Changed(nId);
    return true;
}

bool LDictationCommands::Step(bool bRedo)
{
    StopTransport();
    LDictation* pDictation = m_session.Current();
    if (!pDictation || !(bRedo ? pDictation->Redo() : pDictation->Undo()))
        return false;
    m_session.Changed(pDictation->nListIndex);
    m_session.MeasureCurrent();
    return true;
}

bool LDictationCommands::CmUndo()
{
    return Step(false);
}

bool LDictationCommands::CmRedo()
{
    return Step(true);
}
