// Chooses the rate conversion a source needs to reach a sample rate: one
// stage, or for a target below a quarter of the source's rate a pre-stage to
// twice the target first, so that each filter's transition band stays narrow
// enough for its 63 taps.
#pragma once

#include "sound/LSoundSourceBase.h"

class LFactoryRate {
public:
    explicit LFactoryRate(int32_t nRate)
        : m_nRate(nRate)
    {
    }

    // The same source when it is in error or already has the rate.
    LSoundSourceRef OpenSource(const LSoundSourceRef& source) const;

private:
    int32_t m_nRate;
};
