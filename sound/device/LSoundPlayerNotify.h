// What the player tells its listener. Every call arrives on the main-loop
// thread; the do-nothing bodies let a listener take only what it shows.
#pragma once

#include "sound/device/LChannelLevels.h"

#include <cstdint>

class LSoundPlayerNotify {
public:
    virtual ~LSoundPlayerNotify() = default;

    virtual void OnPlaying(uint32_t /*uCookie*/) { }
    virtual void OnStopped(uint32_t /*uCookie*/) { }
    // Reserved: not raised.
    virtual void OnCueing(uint32_t /*uCookie*/) { }
    // Reserved: not raised.
    virtual void OnPaused(uint32_t /*uCookie*/) { }
    // The time of what is being heard, in milliseconds of the source.
    virtual void OnTime(uint32_t /*uCookie*/, int32_t /*nMs*/) { }
    // The levels of what is being heard.
    virtual void OnLevels(uint32_t /*uCookie*/, const LChannelLevels& /*levels*/) { }
};
