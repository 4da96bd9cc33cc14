#include "sound/LNullSoundSource.h"

#include <algorithm>

LNullSoundSource::LNullSoundSource(uint8_t uErrorCode)
    : LSoundSourceBase(11025, 1, kMaxAmplitudeNull)
{
    SetError(uErrorCode);
}

void LNullSoundSource::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames > 0)
        std::fill_n(pBuffer, nFrames, 0);
}

LSoundSourceRef LNullSoundSource::Make(uint8_t uErrorCode)
{
    return LSoundSourceRef(new LNullSoundSource(uErrorCode));
}
