#include "app/shared/input/LCommandSet.h"

#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LCommandRouter.h"

#include <chrono>

namespace {

using Id = LCommandId;

uint64_t SteadyMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool InSet(Id id)
{
    return id != Id::kSetNoAction && LCommandSetTable::Number(id) >= 0;
}

bool IsRecord(Id id)
{
    return id == Id::kRecord || id == Id::kRecordOverwrite || id == Id::kRecordInsert || id == Id::kRecordAtEnd;
}

bool IsHeld(Id id)
{
    return IsRecord(id) || id == Id::kPlay;
}

bool IsScan(Id id)
{
    return id == Id::kRewind || id == Id::kFastForward;
}

} // namespace

LCommandSet::LCommandSet(LCommandRouter& router, State state, Clock clock)
    : m_router(router)
    , m_state(std::move(state))
    , m_clock(clock ? std::move(clock) : Clock(SteadyMs))
{
}

void LCommandSet::CommandPress(LCommandId id)
{
    if (!InSet(id))
        return;
    if (IsHeld(id)) {
        // A press while already running only lets the release decide.
        const bool bBusy
            = IsRecord(id) ? m_state.recorderBusy && m_state.recorderBusy() : m_state.playing && m_state.playing();
        if (bBusy)
            return;
        // The hold counts from the press: a start that a loaded machine makes
        // slow must not turn a long hold into a tap that latches.
        m_uPressTick = m_clock();
        m_router.Trigger(id);
        return;
    }
    if (IsScan(id)) {
        m_router.Press(id);
        return;
    }
    if (id == Id::kSetSendHighPriority) {
        m_router.Trigger(Id::kSetHighPriority);
        m_router.Trigger(Id::kSetSend);
        return;
    }
    m_router.Trigger(id);
}

void LCommandSet::CommandRelease(LCommandId id, uint64_t uHoldLimitMs)
{
    if (IsScan(id)) {
        m_router.Release(id);
        return;
    }
    if (!IsHeld(id))
        return;
    const uint64_t uNow = m_clock();
    if (uNow - m_uPressTick <= uHoldLimitMs) {
        // A tap: keep running, and make the next release of any held command stop.
        m_uPressTick = uNow - uHoldLimitMs - 1;
        return;
    }
    m_router.Trigger(Id::kStop);
}
