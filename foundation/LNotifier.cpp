#include "foundation/LNotifier.h"

#include "foundation/LMainLoop.h"
#include "foundation/LThreadQueuedNotify.h"

void LNotifier::Post() const
{
    if (!m_link || !m_link->pLoop)
        return;
    if (m_link->bPending.exchange(true, std::memory_order_acq_rel))
        return;
    std::shared_ptr<Link> link = m_link;
    m_link->pLoop->Post([link] { LThreadQueuedNotify::Deliver(*link); });
}
