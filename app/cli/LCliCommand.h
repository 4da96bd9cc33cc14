// Subcommands of tavrine-cli register themselves here, one file each, so the
// program grows with the engine without a central table to edit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct LCliCommand {
    const char* szName; // first word on the command line
    const char* szUsage; // one line, shown by "tavrine-cli help"
    // Runs with the words after the name; returns the exit status.
    int (*pRun)(const std::vector<std::string>& args);
};

class LCliRegistrar {
public:
    explicit LCliRegistrar(const LCliCommand& command);
};

const std::vector<LCliCommand>& GetCliCommands();

// Text from a file, a setting, a device list or a server made safe for a
// terminal: control characters (C0, DEL and C1) and bytes that are not UTF-8
// become \xHH, so such text cannot retitle, clear or move about the user's
// terminal. bKeepLines keeps line feeds and tabs (notes, messages).
std::string CliPrintable(std::string_view text, bool bKeepLines = false);
// A field of tab-separated output: the same characters as blanks, so the
// field stays one field on one line.
std::string CliField(std::string_view text);

// Prints "tavrine-cli: <text>" to stderr (made printable) and returns the
// status to exit with.
int CliError(const std::string& text, int status = 1);
// Usage failures exit with status 2, as is usual for command-line programs.
int CliUsage(const LCliCommand& command);
// "usage: tavrine-cli <usage>" on standard output, for "help COMMAND" and
// "COMMAND --help"; status 0.
int CliHelp(const LCliCommand& command);
// Why a sound file could not be read, from its source's error code
// (defined with the sound commands).
std::string CliSoundErrorText(const std::string& path, uint8_t uError);
// Why a file could not be opened for reading as a document: "is a folder",
// "is not a regular file" (a FIFO, a device), missing, or not readable.
std::string CliOpenFailureText(const std::string& path);
// Why a file could not be written, from the system's error (0 when unknown):
// a full disk, a missing folder, no permission, a name taken by a folder or
// something that is not a regular file.
std::string CliWriteFailureText(const std::string& path, int nErrno);
// " : the disk holding \"folder\" is full" for ENOSPC and EDQUOT, else empty.
std::string CliDiskFullText(const std::string& folder, int nErrno);

// A file number as typed: decimal digits only, 1 to 999999.
std::optional<uint32_t> ParseFileNumber(const std::string& text);

// A command line split into its plain words, in order, and its "--name value"
// pairs. Null when the last option has no value.
struct CliArgs {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;
};
std::optional<CliArgs> SplitCliArgs(const std::vector<std::string>& args);
