#include "sound/convert/LFactoryPeakLimit.h"

#include "sound/convert/LSRCPeakLimit.h"

LSoundSourceRef LFactoryPeakLimit::OpenSource(const LSoundSourceRef& source) const
{
    if (!source || source->MaxAmplitude() <= m_nLimit)
        return source;
    return LSoundSourceRef(new LSRCPeakLimit(source, m_nLimit));
}
