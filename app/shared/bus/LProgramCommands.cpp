#include "app/shared/bus/LProgramCommands.h"

#include "app/shared/commands/LProgramCommandTable.h"
#include "app/shared/input/LCommandRouter.h"

LProgramCommands::LProgramCommands(LCommandRouter& router, Actions actions)
    : m_router(router)
    , m_actions(std::move(actions))
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
        if (m_actions.rename)
            m_actions.rename(text);
        break;
    case Id::kProgramAddNoteLine:
        if (m_actions.appendNoteLine)
            m_actions.appendNoteLine(text);
        break;
    case Id::kProgramUserId:
        return m_actions.userId ? m_actions.userId() : 0;
    case Id::kProgramFileNumber:
        return m_actions.fileNumber ? m_actions.fileNumber() : 0;
    case Id::kProgramDeleteUnasked:
        if (m_actions.deleteUnasked)
            m_actions.deleteUnasked();
        break;
    default:
        m_router.Trigger(id);
        break;
    }
    return 0;
}
