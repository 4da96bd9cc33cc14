// What the audio import needs of whoever starts it (the window, tavrine-cli,
// the dock): a progress-run process with a title for each external decoder,
// a message box, and the raw settings dialog. The import itself shows
// nothing, so it runs the same under Qt, on a terminal and in tests. Used by
// the thread that runs the import.
#pragma once

#include "foundation/JobResult.h"
#include "sound/files/LRawSettings.h"

#include <functional>
#include <optional>
#include <string>

class LProgressReporter;

class LImportHost {
public:
    virtual ~LImportHost() = default;

    // Runs the body as a progress-run process under this title (a progress
    // dialog over the window) and returns the body's result.
    virtual JobResult RunProgress(const std::string& szTitle, const std::function<JobResult(LProgressReporter&)>& body)
        = 0;
    // A message box with the stop icon.
    virtual void ShowError(const std::string& szText) = 0;
    // Shows the raw settings dialog with these settings: true when confirmed
    // (the settings then hold what the user chose), false when cancelled,
    // nothing when there is nobody to ask (the stored settings are used and
    // the ask-user flag is left for a message).
    virtual std::optional<bool> AskRawSettings(const std::string& path, LRawSettings* pSettings)
    {
        (void)path;
        (void)pSettings;
        return std::nullopt;
    }
};
