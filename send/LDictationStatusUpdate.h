// Fetches the typists' status files of every recipient that leaves them (a
// folder or an FTP directory) and applies them to the sent dictations. Written
// once against the progress reporter: the work-progress dialog runs it, and
// tavrine-cli status-update. Used by one thread.
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <string>
#include <vector>

class LProgressReporter;

class LDictationStatusUpdate {
public:
    static constexpr const char* kTitle = "Update Dictation Status";

    // What became of one recipient, for a caller that says so line by line.
    struct RecipientOutcome {
        uint8_t uSendTo = 0;
        bool bUpdated = false;
        // "updated (N dictations changed)", or why not.
        std::string szText;
    };

    // Done when every recipient was tried, stopped when cancelled. Failures
    // only skip their recipient; pOutcomes, when given, gets one entry each
    // for the recipients in use, in number order.
    static JobResult Process(
        LProgressReporter& progress, const std::string& sentFolder, std::vector<RecipientOutcome>* pOutcomes = nullptr);
};
