#include "sound/convert/LFactoryRate.h"

#include "sound/convert/LSRCConvertRate.h"

namespace {

// Stages down to nRate, each marked as a pre-stage; a ratio above 4 is halved
// again first, so no single stage reduces by more than four.
LSoundSourceRef PreStages(const LSoundSourceRef& source, int32_t nRate)
{
    LSoundSourceRef input = source;
    if (static_cast<int64_t>(nRate) * 4 < source->SampleRate())
        input = PreStages(source, nRate * 2);
    return LSoundSourceRef(new LSRCConvertRate(input, nRate, true));
}

} // namespace

LSoundSourceRef LFactoryRate::OpenSource(const LSoundSourceRef& source) const
{
    if (!source || !source->IsUsable() || source->SampleRate() == m_nRate)
        return source;
    LSoundSourceRef input = source;
    if (m_nRate >= 1 && static_cast<int64_t>(m_nRate) * 4 < source->SampleRate())
        input = PreStages(source, m_nRate * 2);
    return LSoundSourceRef(new LSRCConvertRate(input, m_nRate, false));
}
