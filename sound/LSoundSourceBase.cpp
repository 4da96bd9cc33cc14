#include "sound/LSoundSourceBase.h"

LSoundSourceBase::LSoundSourceBase(int32_t nSampleRate, uint8_t nChannels, int32_t nMaxAmplitude)
    : m_nSampleRate(nSampleRate)
    , m_nMaxAmplitude(nMaxAmplitude)
    , m_nNumChannels(nChannels)
{
    if (m_nSampleRate < 1) {
        m_nSampleRate = 44100;
        m_uErrorCode = kSoundErrFormat;
    }
    if (m_nNumChannels == 0) {
        m_nNumChannels = 1;
        m_uErrorCode = kSoundErrFormat;
    }
}

void LSoundSourceBase::Seek(int64_t)
{
}
