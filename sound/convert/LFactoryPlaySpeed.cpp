#include "sound/convert/LFactoryPlaySpeed.h"

#include "sound/convert/LSRCPlaySpeed.h"

LFactoryPlaySpeed LFactoryPlaySpeed::ForSetting(int nPlaySpeed)
{
    return LFactoryPlaySpeed((nPlaySpeed + 1) * 0.5, 1.0, 0);
}

LFactoryPlaySpeed LFactoryPlaySpeed::ForScan(bool bForward)
{
    return bForward ? LFactoryPlaySpeed(1.5, 8.0, 6000) : LFactoryPlaySpeed(-1.5, -8.0, 6000);
}

LSoundSourceRef LFactoryPlaySpeed::OpenSource(const LSoundSourceRef& source) const
{
    return LSoundSourceRef(new LSRCPlaySpeed(source, m_fFirstSpeed, m_fSecondSpeed, m_nRampMs));
}
