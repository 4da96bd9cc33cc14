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

std::optional<uint32_t> ParseFileNumber(const std::string& text)
{
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    if (n < 1 || n > 999999)
        return std::nullopt;
    return n;
}

std::optional<CliArgs> SplitCliArgs(const std::vector<std::string>& args)
{
    CliArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0) {
            split.words.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size())
            return std::nullopt;
        split.options.emplace_back(args[i], args[i + 1]);
        ++i;
    }
    return split;
}
