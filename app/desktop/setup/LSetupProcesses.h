// The install and uninstall processes as the user sees them: the running
// program asked to close, the terms page, the copy under the progress
// dialog, and what went where. Every question goes through LUserPrompts so
// that a test can answer it. GUI thread; each returns the exit status
// (0 done, 1 declined or cancelled, 2 failed).
#pragma once

#include <string>

struct LUserPrompts;

inline constexpr const char* kUninstallArgument = "/uninstall";

// Installs from the setup file (the running image).
int RunInstallProcess(LUserPrompts& prompts, const std::string& setupFile);

// The installed uninstaller started by the user: it cannot remove itself
// while it runs, so it starts a private copy of itself with
// kUninstallArgument and its program folder, and ends.
int StartUninstallerCopy(LUserPrompts& prompts, const std::string& uninstaller);
// That copy: asks, closes the running program, removes the installation of
// programFolder and then itself.
int RunUninstallProcess(LUserPrompts& prompts, const std::string& self, const std::string& programFolder);

// Asks a running instance to end (the message interface's exit command) and
// waits up to nWaitMs for it to be gone; true when none runs afterwards.
bool CloseRunningInstance(int nWaitMs);
