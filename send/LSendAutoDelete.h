// The age rule of the Send folder ("AutoDeleteDays"): sent work older than
// the cut-off is deleted before each send. Only what is ours and finished goes:
// whole sent dictations (header and cut files) with no job left in the
// queue, and leftovers of our own naming (cut files without a header,
// temporary files of an interrupted write, stale lock files). Never the queue
// file or its locks, never a file we did not make. Runs on the sending thread.
#pragma once

#include "foundation/LSettingKey.h"

#include <cstdint>
#include <string>

class LSendAutoDelete {
public:
    static constexpr int kDefaultDays = 30;
    static constexpr LSettingKey<int> kDaysKey { false, "Settings", "AutoDeleteDays", kDefaultDays };

    struct Result {
        // False when the queue could not be read: nothing was deleted then,
        // since a queued dictation cannot be told from a finished one.
        bool bQueueRead = true;
        uint32_t nDictations = 0;
    };

    // Deletes what is older than tNow - days × 86400 s; nothing when days < 1.
    static Result Process(const std::string& sentFolder, const std::string& queuePath, int nDays, uint32_t tNow);
};
