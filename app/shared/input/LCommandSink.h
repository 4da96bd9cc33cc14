#pragma once

#include "app/shared/commands/LCommandId.h"

// What the held inputs drive (keyboard, hot keys, controllers, other programs'
// Press and Release): a command of the command set pressed and released. The
// input paths know only this, never the window or another input path.
class LCommandSink {
public:
    virtual ~LCommandSink() = default;
    // A command outside the command set does nothing.
    virtual void CommandPress(LCommandId id) = 0;
    virtual void CommandRelease(LCommandId id) = 0;
    // A release judged against a hold limit of the caller's: hot keys take a
    // press of up to 820 ms as a tap, where keys and buttons take 500 ms.
    virtual void CommandReleaseHeld(LCommandId id, int nHoldLimitMs)
    {
        (void)nHoldLimitMs;
        CommandRelease(id);
    }
};
