// The program's one send queue as the main window sees it: the persistent job
// queue on "sending.dat" with its status block. Owned by the GUI thread for
// the life of the program; the queue's own thread writes only the block.
#pragma once

#include "app/desktop/session/LSendStatusSource.h"
#include "send/LProcessListThread.h"

class LSendQueue : public LSendStatusSource {
public:
    // The queue's jobs are the send job (tests may set another runner).
    LSendQueue();
    void Start(const std::string& queuePath, const LNotifier& notifier) override;
    void Stop(uint32_t timeoutMs) override;
    Status TakeStatus() override;

    // For the commands that add, remove and recover jobs.
    LProcessListThread& Queue() { return m_queue; }

private:
    LProcessListThread m_queue;
};
