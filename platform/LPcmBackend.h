// The sound devices of the machine: lists them and opens streams on them.
// ALSA in the program; tests put a scripted double in its place for the whole
// process. Any thread may open streams; SetCurrent only while none is open.
#pragma once

#include "platform/LMixerDevice.h"
#include "platform/LPcmCapture.h"
#include "platform/LPcmPlayback.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct LPcmDeviceInfo {
    std::string szId; // what the backend opens, e.g. an ALSA PCM name
    std::string szDescription; // what the user is shown
};

struct LPcmStreamParams {
    uint32_t uRate = 44100;
    uint32_t uChannels = 1;
    uint32_t uPeriodFrames = 4410; // the block the caller works in
    uint32_t uPeriods = 30; // buffer = periods x period frames, rounded by the device
};

class LPcmBackend {
public:
    enum class Direction { Capture, Playback };

    virtual ~LPcmBackend() = default;

    // The listed devices of one direction, in order: device n (n >= 1) is
    // entry n - 1; device 0 is the system's default and is not listed.
    virtual std::vector<LPcmDeviceInfo> ListDevices(Direction direction) = 0;

    // Opens device 0 (the default) or n for exactly the rate and channel
    // count asked; a device that refuses either fails. On failure returns null
    // and, when pError is given, says why.
    virtual std::unique_ptr<LPcmCapture> OpenCapture(
        uint32_t device, const LPcmStreamParams& params, std::string* pError)
        = 0;
    virtual std::unique_ptr<LPcmPlayback> OpenPlayback(
        uint32_t device, const LPcmStreamParams& params, std::string* pError)
        = 0;

    // The mixer of device n of that direction (0: the default's). Null with
    // the reason when the device has no mixer; the base has none.
    virtual std::unique_ptr<LMixerDevice> OpenMixer(Direction direction, uint32_t device, std::string* pError)
    {
        (void)direction;
        (void)device;
        if (pError)
            *pError = "no mixer";
        return nullptr;
    }

    // The backend in use: ALSA unless a test has set another.
    static LPcmBackend& Current();
    // Null puts ALSA back. The caller keeps the backend alive while it is set.
    static void SetCurrent(LPcmBackend* pBackend);
};
