// Which sound output the player opens, as the settings store it: 0 is the
// system's default, n the n-th listed output. Plain value, any thread.
#pragma once

#include <cstdint>
#include <string>

struct LSoundPlayDevice {
    int32_t nDevice = 0;

    // "[Default Sound Out]" for 0, otherwise the listed device's description
    // (empty when no such device is listed now).
    std::string GetText() const;
};
