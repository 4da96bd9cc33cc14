// Delivery by a command line of the recipient's: the template is split into
// words the way a shell splits plain words, and the program is run on that
// argument list through the process runner, never through a shell, so a
// path or name can never be read as shell syntax. Runs on the thread of the
// reporter given.
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LProgressReporter;

// Splits a template into arguments: blanks separate words; single quotes,
// double quotes and backslashes work as in a shell; nothing is expanded
// ($, globs, ~ stay as written). "%filepath%" is replaced by filePath
// inside its word, so the path is exactly one argument (or part of one)
// whatever it holds; "%%" is one '%'; any other %token% is empty. A '%' is
// read so in every quoting. False, with *pProblem for the user, for an
// unclosed quote or unquoted shell syntax (| & ; < > ( ) `), which no shell
// is here to carry out.
bool SplitCommandTemplate(std::string_view commandTemplate, const std::string& filePath,
    std::vector<std::string>* pArgs, std::string* pProblem);

// Checks a template before it is stored and again before it runs: false,
// with *pProblem for the user, for what SplitCommandTemplate refuses and
// for a shell given a command string (-c) that holds "%filepath%", where a
// name with $( ) or ; in it would be run as shell code.
bool CheckCommandTemplate(std::string_view commandTemplate, std::string* pProblem);

// The arguments as one line for messages, quoted where a shell would need it.
std::string CommandLineText(const std::vector<std::string>& args);

// Runs the command on the file and waits up to timeoutMs (ending it, and
// its process group, at the time-out or a stop request). A JobResult: done
// when it exited with status 0; stopped; failed with a message naming the
// command, how it ended and the last lines it wrote.
JobResult ProcessRunCommand(
    LProgressReporter& progress, const std::string& commandTemplate, const std::string& filePath, uint32_t timeoutMs);
