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
    std::unique_ptr<LMixerDevice> OpenMixer(Direction direction, uint32_t device, std::string* pError) override;

    // ALSA reads its configuration once per process; after ALSA_CONFIG_PATH
    // changes (tests point it at their own), this makes the next open read it
    // again. Only while no stream is being opened.
    static void ReloadConfiguration();
};
