// The external-program launcher: opens a file in another program (the audio
// editor) through the process runner and, when asked, waits until the user
// has closed it. Runs under a progress dialog; Cancel stops the wait but
// leaves the program running, since it is the user's window and may hold
// unsaved work.
#pragma once

#include "foundation/JobResult.h"

#include <string>

class LProgressReporter;

// Up to an hour; the program is left running when the wait ends.
inline constexpr unsigned kLaunchWaitMs = 3600000;

// Runs program with the file as its one argument. Returns a JobResult: done when it
// ended (or was not waited for, or the hour passed), stopped when the wait was
// cancelled, failed when it could not be started (a message naming it went to ErrorBox).
JobResult ProcessLLaunchApplication(LProgressReporter& progress, const std::string& file, const std::string& program,
    const std::string& displayName, bool bWait);
