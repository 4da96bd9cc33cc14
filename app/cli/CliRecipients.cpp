// Recipient commands of tavrine-cli: list the recipients in use, add one with
// its values, remove one. The same bookkeeping as the settings pages.
#include "app/cli/LCliCommand.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LRunCommand.h"
#include "send/LSealIdentity.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

int RunRecipients(const std::vector<std::string>& args);
int RunRecipient(const std::vector<std::string>& args);

const LCliCommand kRecipients { "recipients", "recipients", RunRecipients };
const LCliCommand kRecipient { "recipient", "recipient add NAME [KEY=VALUE...] | recipient remove NUMBER",
    RunRecipient };
LCliRegistrar regRecipients(kRecipients);
LCliRegistrar regRecipient(kRecipient);

using Engine = LDictationEngineSettings;

std::string ValueNames()
{
    std::string names;
    for (const char* name : Engine::GetSendToValueNames()) {
        if (std::string_view(name) == Engine::kSendToName)
            continue;
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names;
}

// Why a value was refused, for the user.
std::string Refusal(const std::string& key, const std::string& value, Engine::SendToValueProblem problem)
{
    using P = Engine::SendToValueProblem;
    switch (problem) {
    case P::None:
        break;
    case P::NotARecipientValue:
        return tplprintf("'%s' is not a recipient value; the values are %s", key, ValueNames());
    case P::Bookkeeping:
        return tplprintf("%s is kept by 'recipient add' and 'recipient remove'", key);
    case P::TooLong:
        return tplprintf("the value of %s has %d characters; a setting holds at most %d", key,
            static_cast<uint32_t>(value.size()), static_cast<uint32_t>(kMaxSettingChars));
    case P::NotANumber:
    case P::OutOfRange:
        if (EqualsNoCase(key, "SendFileFormat"))
            return tplprintf("SendFileFormat must be 0 (DCT) or 1 (WAV), not '%s'", value);
        return tplprintf(
            "SendMethod must be 1 (e-mail), 2 (folder), 3 (FTP), 4 (command), 5 (typist pool) or 0 (none), not '%s'",
            value);
    case P::Empty:
        return "a recipient needs a name";
    case P::BadKey: {
        std::string bad;
        Engine::ParseSealTo(value, &bad);
        return tplprintf("SealTo: '%s' is not an age public key (age1...)", bad);
    }
    }
    return std::string();
}

int RunRecipients(const std::vector<std::string>& args)
{
    if (!args.empty())
        return CliUsage(kRecipients);
    std::string out;
    for (Engine::SendToIterator it; it.IsValid(); it.Next()) {
        uint8_t n = it.GetSendTo();
        std::string display;
        Engine::GetSendToDisplayText(n, &display);
        out += tplprintf(
            "%d\t%s\t%s\n", static_cast<uint32_t>(n), CliField(Engine::GetSendToName(n)), CliField(display));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
}

int RunAdd(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return CliUsage(kRecipient);
    const std::string& name = args[1];
    if (Engine::SendToValueProblem problem = Engine::CheckSendToValue(Engine::kSendToName, name);
        problem != Engine::SendToValueProblem::None)
        return CliError(Refusal(Engine::kSendToName, name, problem), 2);
    std::vector<std::pair<std::string, std::string>> values;
    for (size_t i = 2; i < args.size(); ++i) {
        size_t equals = args[i].find('=');
        if (equals == std::string::npos || equals == 0)
            return CliError(tplprintf("'%s' is not KEY=VALUE", args[i]), 2);
        std::string key = args[i].substr(0, equals);
        std::string value = args[i].substr(equals + 1);
        if (EqualsNoCase(key, Engine::kSendToName))
            return CliError("the name is given as NAME, not as a value", 2);
        if (Engine::SendToValueProblem problem = Engine::CheckSendToValue(key, value);
            problem != Engine::SendToValueProblem::None)
            return CliError(Refusal(key, value, problem), 2);
        // Refused now rather than at every send.
        std::string problem;
        if (EqualsNoCase(key, "RunCommand") && !value.empty() && !CheckCommandTemplate(value, &problem))
            return CliError("RunCommand: " + problem, 2);
        for (const auto& [seen, ignored] : values)
            if (EqualsNoCase(seen, key))
                return CliError(tplprintf("%s is given twice", key), 2);
        values.emplace_back(std::move(key), std::move(value));
    }
    uint8_t uSendTo = kNoRecipient;
    switch (Engine::AddSendTo(name, values, &uSendTo)) {
    case Engine::AddSendToResult::Added:
        // Sealing chosen: the dictator's own key is made now, so the first
        // sealed copy can be opened by its author.
        for (const auto& [key, value] : values) {
            std::string why;
            if (EqualsNoCase(key, "SealTo") && !value.empty()
                && !LSealIdentity::LoadOrCreate(LSealIdentity::DictatorPath(), &why))
                return CliError(why);
        }
        std::printf("%u\n", uSendTo);
        return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
    case Engine::AddSendToResult::NoFreeNumber:
        return CliError(tplprintf("all %d recipient numbers are in use", Engine::kSendToCount));
    case Engine::AddSendToResult::BadValue:
        return CliError("a value was refused", 2);
    case Engine::AddSendToResult::StoreFailed:
        break;
    }
    return CliError(tplprintf("cannot store the recipient in %s", GetUserSettingsPath()));
}

int RunRemove(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return CliUsage(kRecipient);
    const std::string& text = args[1];
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos
        || std::stoi(text) >= static_cast<int>(Engine::kSendToCount))
        return CliError("NUMBER must be a recipient number from 0 to 254", 2);
    uint8_t uSendTo = static_cast<uint8_t>(std::stoi(text));
    if (!Engine::IsSendToUsed(uSendTo))
        return CliError(tplprintf("no recipient %d", static_cast<uint32_t>(uSendTo)));
    if (!Engine::RemoveSendTo(uSendTo))
        return CliError(
            tplprintf("cannot remove recipient %d from %s", static_cast<uint32_t>(uSendTo), GetUserSettingsPath()));
    return 0;
}

int RunRecipient(const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "add")
        return RunAdd(args);
    if (!args.empty() && args[0] == "remove")
        return RunRemove(args);
    return CliUsage(kRecipient);
}

} // namespace
