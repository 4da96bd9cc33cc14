#include "sound/convert/LSRCFilterBase.h"

#include "sound/LNullSoundSource.h"

LSoundSourceRef LSRCFilterBase::OrPlaceholder(const LSoundSourceRef& inner)
{
    return inner ? inner : LNullSoundSource::Make();
}

LSRCFilterBase::LSRCFilterBase(
    const LSoundSourceRef& inner, int32_t nSampleRate, uint8_t nChannels, int32_t nMaxAmplitude)
    : LSoundSourceBase(nSampleRate, nChannels, nMaxAmplitude)
    , m_inner(OrPlaceholder(inner))
{
    if (!m_inner->IsUsable())
        SetError(kSoundErrWrapped);
}
