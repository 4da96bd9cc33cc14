// Opens any audio file the program loads as a sound source, by its
// extension: the kinds this program reads itself directly, every other kind
// through an external decoder (see LExternalDecoder.h) whose output the
// source reads from a pipe. Runs on the thread of its host.
#pragma once

#include "foundation/JobResult.h"
#include "import/LImportHost.h"
#include "sound/LSoundSourceBase.h"

#include <string>

// bAskUser is shared by a batch of files: while it is set, the first failure
// is shown through the host and the raw settings dialog may be shown; each
// use clears it, so a batch asks and complains at most once. The message
// names the file by its full path. A source decoded by an external program
// holds the running decoder, which is ended and reaped when the source is
// released. Done: the source is set; stopped: the user cancelled;
// failed: the message, if the ask-user flag allowed one, has been shown.
JobResult LGenSourceOpen(LSoundSourceRef& source, const std::string& path, bool& bAskUser, LImportHost& host);
