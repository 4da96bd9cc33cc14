// Loading one file of any kind the program takes as a new dictation, and the
// recipient that "send to default" means. Shared by the window's Load
// commands and tavrine-cli's load, so both programs dispatch alike. Runs on
// the host's thread.
#pragma once

#include "import/LImportHost.h"

#include <cstdint>
#include <optional>
#include <string>

// A failure of the file itself (it cannot be opened or read as audio or as a
// DCT), told apart from one of the dictation folder, which a later try may get
// past. Callers that only need a JobResult take it as 2.
inline constexpr int kLoadFileRefused = 3;

// A ".dct" file by the DCT loader (under the progress "Loading Dictation"),
// any other file through the audio import into a dictation named after the
// file (under "Loading file"). Returns a JobResult: 0 with *pNumber set, 1
// cancelled, 2 failed with the message shown through the host (the DCT
// loader's through its progress), or kLoadFileRefused. A failure leaves no
// dictation behind. bAskUser is the import's batch flag (see LGenSourceOpen).
int LoadFileAsNew(
    LImportHost& host, bool& bAskUser, const std::string& path, const std::string& folder, uint32_t* pNumber);

// "Send" "Default" when it names a recipient in use; otherwise the first
// recipient in use, which is stored as the default; nothing when none is.
std::optional<uint8_t> DefaultRecipient();
