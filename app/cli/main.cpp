// tavrine-cli: the dictation engine without a window, for scripts, batch
// work and headless machines.
#include "app/cli/LCliCommand.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSecrets.h"
#include "scribe/LScribeKeys.h"
#include "send/LKeyringMailCredentials.h"

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
    std::vector<std::string> args(argv + 2, argv + argc);
    const bool bHelp = name == "help" || name == "--help" || name == "-h";
    if (bHelp && args.empty())
        return PrintHelp(stdout);
    // "help COMMAND" and "COMMAND --help" give that command's own usage.
    const bool bCommandHelp = !bHelp && args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
    if (bHelp) {
        if (args.size() != 1)
            return PrintHelp(stderr);
        name = args[0];
    }
    for (const LCliCommand& command : GetCliCommands()) {
        if (name != command.szName)
            continue;
        if (bHelp || bCommandHelp)
            return CliHelp(command);
        // Secrets left in the per-user file go to a keyring that is there now.
        LDictationEngineSettings::MoveRecipientSecrets();
        LKeyringMailCredentials::MoveToKeyring();
        LScribeKeys::MoveToKeyring();
        const int nResult = command.pRun(args);
        if (const std::string notice = LSecrets::TakeNotice(); !notice.empty())
            std::fprintf(stderr, "tavrine-cli: %s\n", notice.c_str());
        return nResult;
    }
    return CliError("unknown command '" + name + "' (see 'tavrine-cli help')", 2);
}
