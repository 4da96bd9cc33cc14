#include "app/desktop/LSendQueue.h"

// No queue thread is built into this program yet: nothing is sent, so the
// status stays empty.
void LSendQueue::Start(const std::string&, const LNotifier&)
{
}

void LSendQueue::Stop(uint32_t)
{
}

LSendStatusSource::Status LSendQueue::TakeStatus()
{
    return {};
}
