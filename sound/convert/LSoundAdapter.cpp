#include "sound/convert/LSoundAdapter.h"

#include "sound/convert/LFactoryChannels.h"
#include "sound/convert/LFactoryPeakLimit.h"
#include "sound/convert/LFactoryRate.h"

LSoundSourceRef LSoundAdapter::Adapt(const LSoundSourceRef& source, uint8_t nChannels, int32_t nRate, int32_t nLimit)
{
    LSoundSourceRef out = LFactoryChannels(nChannels).OpenSource(source);
    out = LFactoryRate(nRate).OpenSource(out);
    return LFactoryPeakLimit(nLimit).OpenSource(out);
}
