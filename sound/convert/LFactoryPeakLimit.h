// Adds the look-ahead peak limiter to a source that can exceed a limit.
#pragma once

#include "sound/LSoundSourceBase.h"

class LFactoryPeakLimit {
public:
    // nLimit in the internal scale (0x7FFF0 is 16-bit full scale).
    explicit LFactoryPeakLimit(int32_t nLimit)
        : m_nLimit(nLimit)
    {
    }

    // The same source when its MaxAmplitude is within the limit.
    LSoundSourceRef OpenSource(const LSoundSourceRef& source) const;

private:
    int32_t m_nLimit;
};
