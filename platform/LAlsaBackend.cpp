#include "platform/LAlsaBackend.h"

// Placeholder until the ALSA streams land: lists nothing and opens nothing.
LAlsaBackend& LAlsaBackend::Instance()
{
    static LAlsaBackend backend;
    return backend;
}

std::vector<LPcmDeviceInfo> LAlsaBackend::ListDevices(Direction)
{
    return {};
}

std::unique_ptr<LPcmCapture> LAlsaBackend::OpenCapture(uint32_t, const LPcmStreamParams&, std::string* pError)
{
    if (pError)
        *pError = "no sound input";
    return nullptr;
}

std::unique_ptr<LPcmPlayback> LAlsaBackend::OpenPlayback(uint32_t, const LPcmStreamParams&, std::string* pError)
{
    if (pError)
        *pError = "no sound output";
    return nullptr;
}
