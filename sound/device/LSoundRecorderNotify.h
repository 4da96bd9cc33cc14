// What the recorder tells its listener. Every call arrives on the main-loop
// thread; the do-nothing bodies let a listener take only what it shows.
#pragma once

#include "sound/device/LChannelLevels.h"

#include <cstdint>

class LSoundRecorderNotify {
public:
    virtual ~LSoundRecorderNotify() = default;

    // Now writing to the sink.
    virtual void OnRecording(uint32_t /*uCookie*/) { }
    // Voice activation is armed or has paused: nothing is written.
    virtual void OnWaiting(uint32_t /*uCookie*/) { }
    virtual void OnStopped(uint32_t /*uCookie*/) { }
    // The sink's recorded time in milliseconds.
    virtual void OnTime(uint32_t /*uCookie*/, int32_t /*nMs*/) { }
    virtual void OnLevels(uint32_t /*uCookie*/, const LChannelLevels& /*levels*/) { }
};
