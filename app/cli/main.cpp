// tavrine-cli: the dictation engine without a window, for scripts, batch
// work and headless machines.
#include "app/cli/LCliCommand.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static int PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: tavrine-cli COMMAND [ARGS...]\n\ncommands:\n");
    std::vector<LCliCommand> commands = GetCliCommands();
    std::sort(commands.begin(), commands.end(),
        [](const LCliCommand& a, const LCliCommand& b) { return std::strcmp(a.szName, b.szName) < 0; });
    for (const LCliCommand& command : commands)
        std::fprintf(out, "  %s\n", command.szUsage);
    return out == stdout ? 0 : 2;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return PrintHelp(stderr);
    std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h")
        return PrintHelp(stdout);
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const LCliCommand& command : GetCliCommands())
        if (name == command.szName)
            return command.pRun(args);
    std::fprintf(stderr, "tavrine-cli: unknown command '%s' (see 'tavrine-cli help')\n", name.c_str());
    return 2;
}
