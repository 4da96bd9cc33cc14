#include "sound/device/LSoundRecordDevice.h"

#include "platform/LPcmBackend.h"

std::string LSoundRecordDevice::GetText() const
{
    if (uDevice == 0)
        return "[Default Sound In]";
    const std::vector<LPcmDeviceInfo> devices = LPcmBackend::Current().ListDevices(LPcmBackend::Direction::Capture);
    if (uDevice > devices.size())
        return {};
    return devices[uDevice - 1].szDescription;
}
