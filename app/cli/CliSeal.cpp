// Sealed-file commands of tavrine-cli: seal a transfer file to typists' age
// public keys, open one with an identity file, and make a key pair as
// age-keygen does, so a dictator can open a copy they sealed to themselves
// and anyone can check a sealed file with the standard age tools.
#include "app/cli/LCliCommand.h"
#include "foundation/LFile.h"
#include "platform/LAgeKeys.h"
#include "send/LSealIdentity.h"
#include "send/LSealedFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

int RunSeal(const std::vector<std::string>& args);
int RunUnseal(const std::vector<std::string>& args);
int RunKeygen(const std::vector<std::string>& args);

const LCliCommand kSeal { "seal",
    "seal FILE --to age1... [--to age1...] [--out OUT]   seals FILE for each public key into OUT (default "
    "FILE.age), which the age tool opens too",
    RunSeal };
const LCliCommand kUnseal { "unseal",
    "unseal FILE --identity KEYFILE [--out OUT]   opens a sealed file with the identities in KEYFILE into OUT "
    "(default FILE without .age); a changed, cut or foreign file writes nothing",
    RunUnseal };
const LCliCommand kKeygen { "keygen",
    "keygen [--out KEYFILE]   makes a key pair as age-keygen does: the identity into KEYFILE (mode 0600, never "
    "replacing one) or to standard output, and prints the public key",
    RunKeygen };
LCliRegistrar regSeal(kSeal);
LCliRegistrar regUnseal(kUnseal);
LCliRegistrar regKeygen(kKeygen);

int SealFailure(LSealedFile::Result result, const std::string& input, const std::string& output, int nErrno)
{
    if (result == LSealedFile::Result::ReadFailed)
        return CliError(CliOpenFailureText(input));
    if (result == LSealedFile::Result::WriteFailed)
        return CliError(CliWriteFailureText(output, nErrno));
    return CliError(LSealedFile::ResultText(result, input));
}

int RunSeal(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.size() != 1)
        return CliUsage(kSeal);
    const std::string& input = split->words[0];
    std::string output = input + LSealedFile::kExtension;
    std::vector<LAgeKey32> recipients;
    for (const auto& [name, value] : split->options) {
        if (name == "--out") {
            output = value;
        } else if (name == "--to") {
            std::optional<LAgeKey32> key = LAgeKeys::ParseRecipient(value);
            if (!key)
                return CliError("not an age public key (age1...): '" + value + "'", 2);
            recipients.push_back(*key);
        } else {
            return CliUsage(kSeal);
        }
    }
    if (recipients.empty())
        return CliError("seal needs at least one --to age1... public key", 2);
    int nErrno = 0;
    const LSealedFile::Result result = LSealedFile::Seal(input, output, recipients, &nErrno);
    return result == LSealedFile::Result::Ok ? 0 : SealFailure(result, input, output, nErrno);
}

int RunUnseal(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.size() != 1)
        return CliUsage(kUnseal);
    const std::string& input = split->words[0];
    std::optional<std::string> output;
    std::optional<std::string> keyFile;
    for (const auto& [name, value] : split->options) {
        if (name == "--out")
            output = value;
        else if (name == "--identity")
            keyFile = value;
        else
            return CliUsage(kUnseal);
    }
    if (!keyFile)
        return CliError("unseal needs --identity KEYFILE", 2);
    const std::string_view ext(LSealedFile::kExtension);
    if (!output) {
        if (input.size() <= ext.size() || input.compare(input.size() - ext.size(), ext.size(), ext) != 0)
            return CliError("\"" + input + "\" does not end in .age: name the output with --out", 2);
        output = input.substr(0, input.size() - ext.size());
    }
    std::string text;
    if (!ReadTextFile(*keyFile, &text))
        return CliError(CliOpenFailureText(*keyFile));
    std::optional<std::vector<LAgeKey32>> identities = LAgeKeys::ParseIdentityFile(text);
    std::fill(text.begin(), text.end(), '\0');
    if (!identities)
        return CliError("\"" + *keyFile + "\" holds no age identity (AGE-SECRET-KEY-1...)");
    int nErrno = 0;
    const LSealedFile::Result result = LSealedFile::Unseal(input, *output, *identities, &nErrno);
    return result == LSealedFile::Result::Ok ? 0 : SealFailure(result, input, *output, nErrno);
}

int RunKeygen(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || !split->words.empty())
        return CliUsage(kKeygen);
    std::optional<std::string> output;
    for (const auto& [name, value] : split->options) {
        if (name != "--out")
            return CliUsage(kKeygen);
        output = value;
    }
    const std::optional<LAgeKey32> secret = LAgeKeys::Generate();
    const std::optional<LAgeKey32> pub = secret ? LAgeKeys::PublicOf(*secret) : std::nullopt;
    if (!pub)
        return CliError("could not make a key pair");
    std::string text = LAgeKeys::IdentityFileText(*secret, LSealIdentity::CreatedNow());
    if (!output) {
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const bool bOk = WriteNewFileAtomic(*output, text.data(), text.size(), 0600);
    const int nErrno = errno;
    std::fill(text.begin(), text.end(), '\0');
    if (!bOk)
        return nErrno == EEXIST ? CliError("\"" + *output + "\" exists; an identity is never replaced")
                                : CliError(CliWriteFailureText(*output, nErrno));
    std::printf("%s\n", LAgeKeys::RecipientText(*pub).c_str());
    return 0;
}

} // namespace
