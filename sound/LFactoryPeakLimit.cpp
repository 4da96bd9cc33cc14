#include "sound/LFactoryPeakLimit.h"

#include "sound/LSRCPeakLimit.h"

LSoundSourceRef LFactoryPeakLimit::OpenSource(const LSoundSourceRef& source) const
{
    if (!source || source->MaxAmplitude() <= m_nLimit)
        return source;
    return LSoundSourceRef(new LSRCPeakLimit(source, m_nLimit));
}
