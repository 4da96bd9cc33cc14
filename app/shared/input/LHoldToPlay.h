// A transcription pedal's play: it plays only while held and pauses the
// moment it is let go, however short the press, where the command set would
// latch a tap. Every other command goes on to the command set. GUI thread.
#pragma once

#include "app/shared/input/LCommandSink.h"

class LCommandRouter;

class LHoldToPlay : public LCommandSink {
public:
    LHoldToPlay(LCommandSink& next, LCommandRouter& router)
        : m_next(next)
        , m_router(router)
    {
    }

    void CommandPress(LCommandId id) override;
    void CommandRelease(LCommandId id) override;
    void CommandReleaseHeld(LCommandId id, int nHoldLimitMs) override;

private:
    LCommandSink& m_next;
    LCommandRouter& m_router;
};
