// tavrine-cli settings: reads and changes the settings store from scripts, in
// either scope, with the same rules as the program itself.
#include "app/cli/LCliCommand.h"

#include "foundation/LBoolKeyList.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LKeyringMailCredentials.h"
#include "send/LMailCredentials.h"

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

// The SMTP logon lives in its own store, not the machine-wide file: reading
// and changing it goes through that store. Null when the name is not one of them.
static std::string* LogonField(LMailLogon& logon, const std::string& section, const std::string& name)
{
    if (!EqualsNoCase(section, MailKeys::kSection))
        return nullptr;
    if (EqualsNoCase(name, MailKeys::kSmtpUser.szName))
        return &logon.user;
    return EqualsNoCase(name, MailKeys::kSmtpPassword.szName) ? &logon.password : nullptr;
}

static int RunLogon(
    const std::string& verb, const std::string& section, const std::string& name, const std::string& value)
{
    LMailCredentials& store = LMailCredentials::Default();
    LMailLogon logon;
    const bool bStored = store.Read(&logon);
    std::string* pField = LogonField(logon, section, name);
    if (verb == "get") {
        if (!bStored)
            return 1;
        if (std::string why; pField == &logon.password && !LKeyringMailCredentials::CheckReachable(&why))
            return CliError(why);
        std::string text = CliPrintable(*pField) + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : CliError("cannot write the value to the standard output");
    }
    *pField = verb == "set" ? value : std::string();
    if (!store.Write(logon))
        return CliError("cannot store " + section + "/" + name + " in " + GetUserSettingsPath());
    return 0;
}

// An old "host:user:password" given for the machine: the logon goes to this
// user's store first, then the machine-wide value keeps the host alone.
static int SetMailHost(const std::string& value)
{
    const LMailServer server = SplitMailHostSetting(value);
    if (!LMailCredentials::Default().Write(server.logon))
        return CliError("cannot store the mail user name and password in " + GetUserSettingsPath());
    if (!MailKeys::kSmtpHost.Set(server.host))
        return CliError(
            "cannot store Email/MailSMTPHost in " + GetMachineSettingsPath() + " (or " + GetMachineOverlayPath() + ")");
    std::fprintf(stderr,
        "tavrine-cli: the user name and password were stored for you alone in %s (Email/MailSMTPUser and "
        "MailSMTPPassword); Email/MailSMTPHost keeps the host\n",
        GetUserSettingsPath().c_str());
    return 0;
}

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
    LMailLogon probe;
    if (!machine && LogonField(probe, section, name))
        return RunLogon(verb, section, name, nWords == 3 ? words[2] : std::string());
    if (machine && verb == "set" && EqualsNoCase(section, MailKeys::kSection)
        && EqualsNoCase(name, MailKeys::kSmtpHost.szName) && words[2].find(':') != std::string::npos)
        return SetMailHost(words[2]);
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
