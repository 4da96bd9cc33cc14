// A sink that only counts what it is given: for showing levels of a capture
// that goes nowhere, and as a target for measuring sources.
#pragma once

#include "sound/LSoundSinkBase.h"

class LNullSoundSink : public LSoundSinkBase {
public:
    LNullSoundSink(int32_t nSampleRate = 11025, uint8_t nChannels = 1);

    void Write(const int32_t* pBuffer, int32_t nFrames) override;

    static LSoundSinkRef Make(int32_t nSampleRate = 11025, uint8_t nChannels = 1);
};
