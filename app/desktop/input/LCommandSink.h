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
};
