// tavrine-cli settings: reads and changes the settings store from scripts, in
// either scope, with the same rules as the program itself.
#include "app/cli/LCliCommand.h"

#include "foundation/LBoolKeyList.h"
#include "foundation/LSettings.h"

// Their boolean keys list themselves, so `set` knows them even where nothing
// else in this program reads them. The window's own keys lie above this
// program; they keep the reader's tolerant rule.
#include "app/shared/input/LInputKeys.h"
#include "app/shared/transport/LTransportKeys.h"
#include "app/transfer/LDockFiles.h"
#include "send/LMailSettings.h"

#include <cstdio>
#include <string>
#include <vector>

static int RunSettings(const std::vector<std::string>& args);

static const LCliCommand kSettingsCommand = {
    "settings",
    "settings get|set|delete [--machine] SECTION NAME [VALUE]",
    RunSettings,
};
static const LCliRegistrar kSettingsRegistrar(kSettingsCommand);

static int RunSettings(const std::vector<std::string>& args)
{
    if (args.empty())
        return CliUsage(kSettingsCommand);
    const std::string& verb = args[0];
    size_t nWords = verb == "get" || verb == "delete" ? 2 : verb == "set" ? 3 : 0;
    if (nWords == 0)
        return CliUsage(kSettingsCommand);

    LSettingsScope scope = LSettingsScope::User;
    std::vector<std::string> words;
    bool options = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--machine") {
            scope = LSettingsScope::Machine;
        } else if (options && arg == "--") {
            options = false;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return CliUsage(kSettingsCommand);
        } else {
            // A value may well begin with '-' (a negative number).
            options = false;
            words.push_back(arg);
        }
    }
    if (words.size() != nWords)
        return CliUsage(kSettingsCommand);
    const std::string& section = words[0];
    const std::string& name = words[1];
    if (section.empty() || name.empty())
        return CliError("a section and a value name cannot be empty", 2);
    bool machine = scope == LSettingsScope::Machine;
    std::string where
        = machine ? GetMachineSettingsPath() + " (or " + GetMachineOverlayPath() + ")" : GetUserSettingsPath();

    if (verb == "get") {
        std::string value;
        if (!RegGetString(scope, section, name, &value, ""))
            return 1;
        // A value may come from a machine-wide file someone else wrote.
        value = CliPrintable(value);
        value.push_back('\n');
        std::fwrite(value.data(), 1, value.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : CliError("cannot write the value to the standard output");
    }
    if (verb == "set") {
        std::string value = words[2];
        bool bValue = false;
        if (LBoolKeyList::Contains(section, name)) {
            if (!ParseBoolWord(value, &bValue))
                return CliError(section + "/" + name
                        + " is a yes-or-no setting: give 1, 0, true, false, yes, no, on or off, not \""
                        + CliPrintable(value) + "\"",
                    2);
            value = bValue ? "1" : "0";
        }
        if (value.size() > kMaxSettingChars)
            return CliError("cannot store " + section + "/" + name + ": the value has " + std::to_string(value.size())
                + " characters, a setting holds at most " + std::to_string(kMaxSettingChars));
        if (!RegSetString(scope, section, name, value))
            return CliError("cannot store " + section + "/" + name + " in " + where);
        return 0;
    }
    bool deleted = machine ? DeleteMachineSetting(section, name) : DeleteSetting(section, name);
    if (!deleted)
        return CliError("cannot delete " + section + "/" + name + " from " + where);
    return 0;
}
