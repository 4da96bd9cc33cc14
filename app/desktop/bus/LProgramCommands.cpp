#include "app/desktop/bus/LProgramCommands.h"

#include "app/desktop/commands/LDictationCommands.h"
#include "app/desktop/session/LSession.h"
#include "app/shared/commands/LProgramCommandTable.h"
#include "app/shared/input/LCommandRouter.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LText.h"

namespace {

// As long as a name typed into the list may be.
constexpr size_t kMaxNameBytes = 96;

} // namespace

LProgramCommands::LProgramCommands(LCommandRouter& router, LSession& session, LDictationCommands& commands)
    : m_router(router)
    , m_session(session)
    , m_commands(commands)
{
}

int LProgramCommands::Run(int nCommand, std::string_view text)
{
    if (text.size() > kMaxTextBytes)
        return 0;
    using Id = LCommandId;
    switch (const Id id = LProgramCommandTable::Id(nCommand)) {
    case Id::kSetNoAction:
        break;
    case Id::kProgramAlive:
        return 1;
    case Id::kProgramRename:
        Rename(text);
        break;
    case Id::kProgramAddNoteLine:
        m_commands.AppendNoteLine(text);
        break;
    case Id::kProgramUserId:
        return static_cast<int>(LDictationEngineSettings::GetUserID());
    case Id::kProgramFileNumber: {
        const LDictation* pDictation = m_session.Current();
        return pDictation ? static_cast<int>(pDictation->GetFileNumber()) : 0;
    }
    case Id::kProgramDeleteUnasked:
        m_commands.CmDeleteFile(false);
        break;
    default:
        m_router.Trigger(id);
        break;
    }
    return 0;
}

bool LProgramCommands::Rename(std::string_view text)
{
    LDictation* pDictation = m_session.Current();
    // An empty name is refused, as in the list.
    if (!pDictation || text.empty() || !pDictation->SetName(CutUtf8(text, kMaxNameBytes)))
        return false;
    m_session.Changed(pDictation->nListIndex, true);
    return true;
}
