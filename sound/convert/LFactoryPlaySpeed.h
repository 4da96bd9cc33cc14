// Wraps a source in the play-speed stage: slow or fast play (second speed
// 1.0, no ramp) and the scanning of rewind and fast forward (a first speed
// ramping to a second).
#pragma once

#include "sound/LSoundSourceBase.h"

class LFactoryPlaySpeed {
public:
    LFactoryPlaySpeed(double fFirstSpeed, double fSecondSpeed, int32_t nRampMs)
        : m_fFirstSpeed(fFirstSpeed)
        , m_fSecondSpeed(fSecondSpeed)
        , m_nRampMs(nRampMs)
    {
    }

    // The play speed of the setting "PlaySpeed" (0 slow, 1 normal, 2 fast):
    // (v + 1) × 0.5 times normal, without a ramp.
    static LFactoryPlaySpeed ForSetting(int nPlaySpeed);
    // Rewind (bForward false) and fast forward: 1.5 times normal rising to 8
    // times over 6 seconds.
    static LFactoryPlaySpeed ForScan(bool bForward);

    // Always builds a new stage (the caller leaves normal speed unwrapped).
    LSoundSourceRef OpenSource(const LSoundSourceRef& source) const;

private:
    double m_fFirstSpeed;
    double m_fSecondSpeed;
    int32_t m_nRampMs;
};
