#include "platform/LPcmBackend.h"

#include "platform/LAlsaBackend.h"

#include <atomic>

namespace {
std::atomic<LPcmBackend*> g_pOverride { nullptr };
}

LPcmBackend& LPcmBackend::Current()
{
    if (LPcmBackend* p = g_pOverride.load(std::memory_order_acquire))
        return *p;
    return LAlsaBackend::Instance();
}

void LPcmBackend::SetCurrent(LPcmBackend* pBackend)
{
    g_pOverride.store(pBackend, std::memory_order_release);
}
