#include "sound/device/LSoundPlayDevice.h"

#include "platform/LPcmBackend.h"

std::string LSoundPlayDevice::GetText() const
{
    if (nDevice == 0)
        return "[Default Sound Out]";
    if (nDevice < 0)
        return {};
    const std::vector<LPcmDeviceInfo> devices = LPcmBackend::Current().ListDevices(LPcmBackend::Direction::Playback);
    if (static_cast<size_t>(nDevice) > devices.size())
        return {};
    return devices[static_cast<size_t>(nDevice) - 1].szDescription;
}
