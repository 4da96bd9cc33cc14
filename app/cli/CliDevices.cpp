// tavrine-cli devices: the sound inputs and outputs by the numbers that the
// settings and the capture and play commands take.
#include "app/cli/LCliCommand.h"
#include "platform/LPcmBackend.h"
#include "sound/device/LSoundPlayDevice.h"
#include "sound/device/LSoundRecordDevice.h"

#include <cstdio>

namespace {

int RunDevices(const std::vector<std::string>& args);

const LCliCommand kDevices { "devices", "devices", RunDevices };
LCliRegistrar regDevices(kDevices);

int RunDevices(const std::vector<std::string>& args)
{
    if (!args.empty())
        return CliUsage(kDevices);
    LPcmBackend& backend = LPcmBackend::Current();
    size_t inputs = backend.ListDevices(LPcmBackend::Direction::Capture).size();
    size_t outputs = backend.ListDevices(LPcmBackend::Direction::Playback).size();
    std::printf("Sound inputs:\n");
    for (size_t n = 0; n <= inputs && n <= 255; ++n)
        std::printf("%zu  %s\n", n, CliPrintable(LSoundRecordDevice { static_cast<uint8_t>(n), -1 }.GetText()).c_str());
    std::printf("Sound outputs:\n");
    for (size_t n = 0; n <= outputs; ++n)
        std::printf("%zu  %s\n", n, CliPrintable(LSoundPlayDevice { static_cast<int32_t>(n) }.GetText()).c_str());
    return 0;
}

} // namespace
