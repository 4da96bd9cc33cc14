#include "app/desktop/input/LCommandSet.h"

#include "app/desktop/commands/LCommandId.h"
#include "app/desktop/commands/LCommandRouter.h"

#include <chrono>

namespace {

using Id = LCommandId;

// What a press runs, indexed by the command number.
constexpr Id kSet[] = {
    Id::kSetNoAction,
    Id::kSetOpen,
    Id::kSetMinimize,
    Id::kRecord,
    Id::kPlay,
    Id::kGoStart,
    Id::kGoEnd,
    Id::kRewind,
    Id::kFastForward,
    Id::kNew,
    Id::kSetSend,
    Id::kSetSend,
    Id::kRecordOverwrite,
    Id::kRecordInsert,
    Id::kRecordAtEnd,
    Id::kSetStepBack,
    Id::kSetStepForward,
};
static_assert(sizeof(kSet) / sizeof(kSet[0]) == LCommandSet::kLast + 1);

constexpr int kRecord = 3, kPlay = 4, kRewind = 7, kFastForward = 8, kSendHigh = 11, kOverwrite = 12, kAtEnd = 14;

uint64_t SteadyMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool InSet(int nCommand)
{
    return nCommand >= LCommandSet::kFirst && nCommand <= LCommandSet::kLast;
}

bool IsRecord(int nCommand)
{
    return nCommand == kRecord || (nCommand >= kOverwrite && nCommand <= kAtEnd);
}

} // namespace

LCommandSet::LCommandSet(LCommandRouter& router, State state, Clock clock)
    : m_router(router)
    , m_state(std::move(state))
    , m_clock(clock ? std::move(clock) : Clock(SteadyMs))
{
}

std::string_view LCommandSet::Name(int nCommand)
{
    return CommandSetName(static_cast<Id>(nCommand));
}

bool LCommandSet::IsHeld(int nCommand)
{
    return IsRecord(nCommand) || nCommand == kPlay;
}

void LCommandSet::CommandPress(int nCommand)
{
    if (!InSet(nCommand) || nCommand == 0)
        return;
    if (IsRecord(nCommand) || nCommand == kPlay) {
        // A press while already running only lets the release decide.
        const bool bBusy = IsRecord(nCommand) ? m_state.recorderBusy && m_state.recorderBusy()
                                              : m_state.playing && m_state.playing();
        if (bBusy)
            return;
        m_router.Trigger(kSet[nCommand]);
        m_uPressTick = m_clock();
        return;
    }
    if (nCommand == kRewind || nCommand == kFastForward) {
        m_router.Press(kSet[nCommand]);
        return;
    }
    if (nCommand == kSendHigh)
        m_router.Trigger(Id::kSetHighPriority);
    m_router.Trigger(kSet[nCommand]);
}

void LCommandSet::CommandRelease(int nCommand, uint64_t uHoldLimitMs)
{
    if (nCommand == kRewind || nCommand == kFastForward) {
        m_router.Release(kSet[nCommand]);
        return;
    }
    if (!InSet(nCommand) || !IsHeld(nCommand))
        return;
    const uint64_t uNow = m_clock();
    if (uNow - m_uPressTick <= uHoldLimitMs) {
        // A tap: keep running, and make the next release of any held command stop.
        m_uPressTick = uNow - uHoldLimitMs - 1;
        return;
    }
    m_router.Trigger(Id::kStop);
}
