// The program's send queue as the main window sees it. Owned by the GUI
// thread for the life of the program.
#pragma once

#include "app/desktop/LSendStatusSource.h"

class LSendQueue : public LSendStatusSource {
public:
    void Start(const std::string& queuePath, const LNotifier& notifier) override;
    void Stop(uint32_t timeoutMs) override;
    Status TakeStatus() override;
};
