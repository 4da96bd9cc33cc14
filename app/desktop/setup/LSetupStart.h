// What the program file is, read from its last 4 bytes before anything else
// opens: a setup file installs, the installed uninstaller removes the
// installation, and every other file starts the dictation program, except a
// file named like a setup file that lost its payload, which says so.
#pragma once

#include <string>

enum class LStartRole { Normal, Installer, Uninstaller, CorruptSetup };

// The role of this program file (the running image, /proc/self/exe).
LStartRole GetStartRole();
// The same for a file at this path, named as it is.
LStartRole GetStartRole(const std::string& programFile);

// Runs an installer, uninstaller or the corrupt-file message in the
// QApplication that main made (no single-instance claim, no dictation
// engine); the process's exit status. Not for LStartRole::Normal.
int RunSetupRole(LStartRole role, int argc, char** argv);
