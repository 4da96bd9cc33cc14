// The level of each channel of a block of sound, in signed decibels, for the
// level meter. Plain value: the recorder and player build one on their thread
// and hand a copy to the window's thread.
#pragma once

#include <algorithm>
#include <cstdint>

struct LChannelLevels {
    static constexpr int kMaxChannels = 255;
    static constexpr int8_t kSilence = -127;

    uint8_t nCount = 0;
    int8_t nLevel[kMaxChannels] = {};

    static int8_t Clamp(int nDb) { return static_cast<int8_t>(std::clamp(nDb, -127, 127)); }

    // The level of channel i, silence for a channel not counted.
    int8_t Get(int i) const { return i >= 0 && i < nCount ? nLevel[i] : kSilence; }
    void Set(int i, int nDb)
    {
        if (i >= 0 && i < kMaxChannels)
            nLevel[i] = Clamp(nDb);
    }
    // The loudest counted channel; silence when none is counted.
    int8_t Loudest() const
    {
        int8_t n = kSilence;
        for (int i = 0; i < nCount; ++i)
            n = std::max(n, nLevel[i]);
        return n;
    }
};
