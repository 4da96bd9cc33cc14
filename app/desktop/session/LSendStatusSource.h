// What the composition root needs of the send queue: start its thread on the
// queue file, stop it, and read its status block when notified (the session
// then holds it). The GUI thread owns the object; the queue's own thread only
// writes the block behind it.
#pragma once

#include "dictation/LDictation.h"
#include "foundation/LNotifier.h"
#include "send/LThreadStatus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LSendStatusSource {
public:
    // Read in one go under the block's lock. The error and the failed
    // dictations are taken off the block, so each is seen once.
    struct Status {
        std::string szText[2];
        double fProgress = 0.0;
        std::optional<std::string> error;
        std::vector<std::unique_ptr<LDictation>> failed;
        // Sends that ended since the last reading, delivered or not.
        std::vector<LThreadStatus::Finished> finished;
    };

    virtual ~LSendStatusSource() = default;
    // Jobs left from the last run continue; changes are posted to the notifier.
    virtual void Start(const std::string& queuePath, const LNotifier& notifier) = 0;
    virtual void Stop(uint32_t timeoutMs) = 0;
    virtual Status TakeStatus() = 0;
};
