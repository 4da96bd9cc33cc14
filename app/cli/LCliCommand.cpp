#include "app/cli/LCliCommand.h"

#include <cstdio>

static std::vector<LCliCommand>& Commands()
{
    static std::vector<LCliCommand> commands;
    return commands;
}

LCliRegistrar::LCliRegistrar(const LCliCommand& command)
{
    Commands().push_back(command);
}

const std::vector<LCliCommand>& GetCliCommands()
{
    return Commands();
}

int CliError(const std::string& text, int status)
{
    std::fprintf(stderr, "tavrine-cli: %s\n", text.c_str());
    return status;
}

int CliUsage(const LCliCommand& command)
{
    std::fprintf(stderr, "usage: tavrine-cli %s\n", command.szUsage);
    return 2;
}
