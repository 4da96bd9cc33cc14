#include "app/shared/input/LHoldToPlay.h"

#include "app/shared/input/LCommandRouter.h"

void LHoldToPlay::CommandPress(LCommandId id)
{
    if (id == LCommandId::kPlay)
        m_router.Trigger(LCommandId::kPlay);
    else
        m_next.CommandPress(id);
}

void LHoldToPlay::CommandRelease(LCommandId id)
{
    if (id == LCommandId::kPlay)
        m_router.Trigger(LCommandId::kStop);
    else
        m_next.CommandRelease(id);
}

void LHoldToPlay::CommandReleaseHeld(LCommandId id, int nHoldLimitMs)
{
    if (id == LCommandId::kPlay)
        m_router.Trigger(LCommandId::kStop);
    else
        m_next.CommandReleaseHeld(id, nHoldLimitMs);
}
