// The machine's sound devices through ALSA: "default" for device 0, the
// listed PCM devices of each direction for 1..n.
#pragma once

#include "platform/LPcmBackend.h"

class LAlsaBackend : public LPcmBackend {
public:
    static LAlsaBackend& Instance();

    std::vector<LPcmDeviceInfo> ListDevices(Direction direction) override;
    std::unique_ptr<LPcmCapture> OpenCapture(
        uint32_t device, const LPcmStreamParams& params, std::string* pError) override;
    std::unique_ptr<LPcmPlayback> OpenPlayback(
        uint32_t device, const LPcmStreamParams& params, std::string* pError) override;
};
