#include "sound/LNullSoundSink.h"

LNullSoundSink::LNullSoundSink(int32_t nSampleRate, uint8_t nChannels)
    : LSoundSinkBase(nSampleRate, nChannels)
{
}

void LNullSoundSink::Write(const int32_t*, int32_t nFrames)
{
    if (nFrames > 0)
        m_nPosition += nFrames;
}

LSoundSinkRef LNullSoundSink::Make(int32_t nSampleRate, uint8_t nChannels)
{
    return LSoundSinkRef(new LNullSoundSink(nSampleRate, nChannels));
}
