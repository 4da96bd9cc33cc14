// Reads every status file a dictator's typists leave in a recipient's folder
// or FTP directory: "s%.7d.sta" and each "s%.7d-*.sta" (one a typist), for
// the delivery that just ended and for the status update alike. Since the
// loader keeps the time it applied, the order the files arrive in does not
// change the status that remains. Used by the thread that runs the delivery.
#pragma once

#include "dictation/LStatusFile.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class LFileTransferProtocol;
class LProgressReporter;

class LStatusFileFetch {
public:
    using Clock = std::chrono::steady_clock;

    // What the files of one place gave, summed over them.
    struct Summary {
        size_t nApplied = 0; // files with a known version
        size_t nUnknownVersion = 0;
        size_t nUnsaved = 0; // dictations whose new status could not be saved
        std::vector<StatusFileUpdate> updates;
        bool bStopped = false;
    };

    static std::string MainName(uint32_t uUserID);
    static std::string FurtherPattern(uint32_t uUserID);

    // The main file, then the further ones in name order. Only regular files
    // are read; a name never leaves the folder.
    static Summary FromFolder(const std::string& folder, uint32_t uUserID, const std::string& sentFolder);
    // The same over a session already in the directory. Each file may take
    // uFileMs and the whole fetch ends by end; a file cut off is skipped
    // with a line on the reporter's second text line.
    static Summary FromFtp(LFileTransferProtocol& ftp, LProgressReporter& progress, uint32_t uUserID,
        const std::string& sentFolder, uint32_t uFileMs, Clock::time_point end);

    // Applies one status file already in hand (a typist pool's), counted into *pSummary.
    static void ApplyFile(const std::string& path, const std::string& sentFolder, Summary* pSummary);

    // "updated (N dictations changed)", with how many could not be saved, or
    // why nothing was.
    static std::string Describe(const Summary& summary);
};
