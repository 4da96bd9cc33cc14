// The command set 0 to 16 that every input path drives: it runs each command
// through the command router and keeps the hold rule of record and play, so
// that a short tap latches and a long hold lasts only while held. Lives on
// the GUI thread.
#pragma once

#include "app/desktop/input/LCommandSink.h"

#include <cstdint>
#include <functional>
#include <string_view>

class LCommandRouter;

class LCommandSet : public LCommandSink {
public:
    static constexpr int kFirst = 0;
    static constexpr int kLast = 16;
    // Keyboard keys, controllers and microphone buttons; hot keys pass their own.
    static constexpr uint64_t kHoldLimitMs = 500;

    using Clock = std::function<uint64_t()>;
    struct State {
        std::function<bool()> recorderBusy; // recording or waiting
        std::function<bool()> playing;
    };

    // A null clock reads the monotonic clock in milliseconds.
    LCommandSet(LCommandRouter& router, State state, Clock clock = {});

    // The name shown in lists; empty for a number outside the set.
    static std::string_view Name(int nCommand);

    void CommandPress(int nCommand) override;
    void CommandRelease(int nCommand) override { CommandRelease(nCommand, kHoldLimitMs); }
    void CommandReleaseHeld(int nCommand, int nHoldLimitMs) override
    {
        CommandRelease(nCommand, nHoldLimitMs > 0 ? static_cast<uint64_t>(nHoldLimitMs) : kHoldLimitMs);
    }
    void CommandRelease(int nCommand, uint64_t uHoldLimitMs);

private:
    static bool IsHeld(int nCommand);

    LCommandRouter& m_router;
    State m_state;
    Clock m_clock;
    uint64_t m_uPressTick = 0;
};
