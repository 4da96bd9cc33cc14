#include "app/desktop/input/LProgramCommands.h"

#include "app/desktop/commands/LCommandId.h"
#include "app/desktop/commands/LCommandRouter.h"
#include "app/desktop/commands/LDictationCommands.h"
#include "app/desktop/session/LSession.h"
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
    switch (nCommand) {
    case 0:
        return 1;
    case 1:
        m_router.Trigger(Id::kSetOpen);
        break;
    case 2:
        m_router.Trigger(Id::kSetMinimize);
        break;
    case 3:
        m_router.Trigger(Id::kExit);
        break;
    case 4:
        m_router.Trigger(Id::kNew);
        break;
    case 5:
        Rename(text);
        break;
    case 6:
        m_commands.AppendNoteLine(text);
        break;
    case 7:
        return static_cast<int>(LDictationEngineSettings::GetUserID());
    case 8: {
        const LDictation* pDictation = m_session.Current();
        return pDictation ? static_cast<int>(pDictation->GetFileNumber()) : 0;
    }
    case 9:
        m_router.Trigger(Id::kSend);
        break;
    case 10:
        m_commands.CmDeleteFile(false);
        break;
    default:
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
