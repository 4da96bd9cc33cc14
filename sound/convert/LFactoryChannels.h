// Chooses the channel conversion a source needs to reach a channel count:
// a converter for mono ↔ stereo, the source itself otherwise.
#pragma once

#include "sound/LSoundSourceBase.h"

class LFactoryChannels {
public:
    explicit LFactoryChannels(uint8_t nChannels)
        : m_nChannels(nChannels)
    {
    }

    // The same source when it is in error, either count is 0, the counts are
    // equal, or the pair is not 1 → 2 or 2 → 1.
    LSoundSourceRef OpenSource(const LSoundSourceRef& source) const;

private:
    uint8_t m_nChannels;
};
