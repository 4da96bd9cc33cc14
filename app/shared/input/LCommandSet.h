// The command set that the held inputs drive: it runs each command through
// the command router and keeps the hold rule of record and play, the one
// place of that rule, so that a short tap latches and a long hold lasts only
// while held. Lives on the GUI thread.
#pragma once

#include "app/shared/input/LCommandSink.h"

#include <cstdint>
#include <functional>

class LCommandRouter;

class LCommandSet : public LCommandSink {
public:
    // Keyboard keys, controllers and microphone buttons; hot keys pass their own.
    static constexpr uint64_t kHoldLimitMs = 500;

    using Clock = std::function<uint64_t()>;
    struct State {
        std::function<bool()> recorderBusy; // recording or waiting
        std::function<bool()> playing;
    };

    // A null clock reads the monotonic clock in milliseconds.
    LCommandSet(LCommandRouter& router, State state, Clock clock = {});

    void CommandPress(LCommandId id) override;
    void CommandRelease(LCommandId id) override { CommandRelease(id, kHoldLimitMs); }
    void CommandReleaseHeld(LCommandId id, int nHoldLimitMs) override
    {
        CommandRelease(id, nHoldLimitMs > 0 ? static_cast<uint64_t>(nHoldLimitMs) : kHoldLimitMs);
    }
    void CommandRelease(LCommandId id, uint64_t uHoldLimitMs);

private:
    LCommandRouter& m_router;
    State m_state;
    Clock m_clock;
    uint64_t m_uPressTick = 0;
};
