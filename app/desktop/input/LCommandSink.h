#pragma once

// What every input path drives (keyboard, hot keys, media keys, controllers,
// other programs): a command of the numbered set pressed and released. The
// input paths know only this, never the window or another input path.
class LCommandSink {
public:
    virtual ~LCommandSink() = default;
    // nCommand is a number of the command set (0 to 16); others do nothing.
    virtual void CommandPress(int nCommand) = 0;
    virtual void CommandRelease(int nCommand) = 0;
    // A release judged against a hold limit of the caller's: hot keys take a
    // press of up to 820 ms as a tap, where keys and buttons take 500 ms.
    virtual void CommandReleaseHeld(int nCommand, int nHoldLimitMs)
    {
        (void)nHoldLimitMs;
        CommandRelease(nCommand);
    }
};
