// Subcommands of tavrine-cli register themselves here, one file each, so the
// program grows with the engine without a central table to edit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

// Prints "tavrine-cli: <text>" to stderr and returns the status to exit with.
int CliError(const std::string& text, int status = 1);
// Usage failures exit with status 2, as is usual for command-line programs.
int CliUsage(const LCliCommand& command);
// Why a sound file could not be read, from its source's error code
// (defined with the sound commands).
std::string CliSoundErrorText(const std::string& path, uint8_t uError);

// A file number as typed: decimal digits only, 1 to 999999.
std::optional<uint32_t> ParseFileNumber(const std::string& text);

// A command line split into its plain words, in order, and its "--name value"
// pairs. Null when the last option has no value.
struct CliArgs {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;
};
std::optional<CliArgs> SplitCliArgs(const std::vector<std::string>& args);
