// Which sound input the recorder opens, as the settings store it: 0 is the
// system's default, n the n-th listed input. Plain value, any thread.
#pragma once

#include <cstdint>
#include <string>

struct LSoundRecordDevice {
    uint8_t uDevice = 0;
    // The mixer input to select first; -1 leaves it as it is.
    int8_t nLine = -1;

    // "[Default Sound In]" for 0, otherwise the listed device's description
    // (empty when no such device is listed now).
    std::string GetText() const;
};
