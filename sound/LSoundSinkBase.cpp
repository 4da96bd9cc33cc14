#include "sound/LSoundSinkBase.h"

LSoundSinkBase::LSoundSinkBase(int32_t nSampleRate, uint8_t nChannels)
    : m_nSampleRate(nSampleRate)
    , m_nNumChannels(nChannels)
{
    if (m_nNumChannels == 0) {
        m_nNumChannels = 1;
        SetUnusable();
    }
}

void LSoundSinkBase::Seek(int64_t)
{
}
