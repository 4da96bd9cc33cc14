#include "sound/convert/LFactoryChannels.h"

#include "sound/convert/LSPConvChannels.h"

LSoundSourceRef LFactoryChannels::OpenSource(const LSoundSourceRef& source) const
{
    if (!source || !source->IsUsable() || m_nChannels == 0 || source->NumChannels() == 0)
        return source;
    const uint8_t nFrom = source->NumChannels();
    const bool bSupported = (nFrom == 1 && m_nChannels == 2) || (nFrom == 2 && m_nChannels == 1);
    if (!bSupported)
        return source;
    return LSoundSourceRef(new LSPConvChannels(source, m_nChannels));
}
