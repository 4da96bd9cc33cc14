#include "app/desktop/input/LCommandSet.h"

#include "app/desktop/commands/LCommandId.h"
#include "app/desktop/commands/LCommandRouter.h"

#include <chrono>
#include <strings.h>

namespace {

using Id = LCommandId;

struct Entry {
    const char* szName;
    Id id; // what a press runs
};

// Indexed by the command number; the numbers are stored in settings.
constexpr Entry kSet[] = {
    { "No Action", Id::kSetNoAction },
    { "Open Tavrine Dictate", Id::kSetOpen },
    { "Minimize Tavrine Dictate", Id::kSetMinimize },
    { "Record", Id::kRecord },
    { "Play", Id::kPlay },
    { "Go to start", Id::kGoStart },
    { "Go to end", Id::kGoEnd },
    { "Rewind", Id::kRewind },
    { "Fast Forward", Id::kFastForward },
    { "Create New Dictation", Id::kNew },
    { "Send Dictation", Id::kSetSend },
    { "Send High Priority", Id::kSetSend },
    { "Record Overwrite", Id::kRecordOverwrite },
    { "Record Insert", Id::kRecordInsert },
    { "Record at End", Id::kRecordAtEnd },
    { "Step Back 5s", Id::kSetStepBack },
    { "Step Forward 5s", Id::kSetStepForward },
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
    return InSet(nCommand) ? std::string_view(kSet[nCommand].szName) : std::string_view();
}

int LCommandSet::FromName(std::string_view name)
{
    for (int n = kFirst; n <= kLast; ++n) {
        std::string_view own = kSet[n].szName;
        if (own.size() == name.size() && strncasecmp(own.data(), name.data(), own.size()) == 0)
            return n;
    }
    return -1;
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
        m_router.Trigger(kSet[nCommand].id);
        m_uPressTick = m_clock();
        return;
    }
    if (nCommand == kRewind || nCommand == kFastForward) {
        m_router.Press(kSet[nCommand].id);
        return;
    }
    if (nCommand == kSendHigh)
        m_router.Trigger(Id::kSetHighPriority);
    m_router.Trigger(kSet[nCommand].id);
}

void LCommandSet::CommandRelease(int nCommand, uint64_t uHoldLimitMs)
{
    if (nCommand == kRewind || nCommand == kFastForward) {
        m_router.Release(kSet[nCommand].id);
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
