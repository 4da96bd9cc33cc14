#include "foundation/LThreadQueuedNotify.h"

LThreadQueuedNotify::LThreadQueuedNotify(LMainLoop& loop)
    : m_link(std::make_shared<LNotifier::Link>())
{
    m_link->pLoop = &loop;
    m_link->pReceiver = this;
}

LThreadQueuedNotify::~LThreadQueuedNotify()
{
    m_link->pReceiver = nullptr;
    m_link->bPending.store(true, std::memory_order_release);
}

void LThreadQueuedNotify::Deliver(LNotifier::Link& link)
{
    if (!link.pReceiver)
        return;
    // Cleared before the handler reads anything, so a change posted while it
    // runs gets a run of its own.
    link.bPending.store(false, std::memory_order_release);
    link.pReceiver->EvNotify();
}
