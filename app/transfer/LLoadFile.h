// Loading one file of any kind the program takes as a new dictation, and the
// recipient that "send to default" means. Shared by the window's Load
// commands and tavrine-cli's load, so both programs dispatch alike. Runs on
// the host's thread.
#pragma once

#include "foundation/JobResult.h"
#include "import/LImportHost.h"

#include <cstdint>
#include <optional>
#include <string>

// A ".dct" file by the DCT loader (under the progress "Loading Dictation"),
// any other file through the audio import into a dictation named after the
// file (under "Loading file"). Done with *pNumber set; stopped; or failed with
// the message shown through the host (the DCT loader's through its progress).
// A failure of the file itself (it cannot be opened or read as audio or as a
// DCT) sets *pbRefused, when given, telling it from one of the dictation
// folder, which a later try may get past. A failure leaves no dictation
// behind. bAskUser is the import's batch flag (see LGenSourceOpen).
JobResult LoadFileAsNew(LImportHost& host, bool& bAskUser, const std::string& path, const std::string& folder,
    uint32_t* pNumber, bool* pbRefused = nullptr);

// "Send" "Default" when it names a recipient in use; otherwise the first
// recipient in use, which is stored as the default; nothing when none is.
std::optional<uint8_t> DefaultRecipient();
