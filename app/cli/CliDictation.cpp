// Dictation commands of tavrine-cli: create a dictation and show one.
#include "app/cli/LCliCommand.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LDateTime.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

int RunNew(const std::vector<std::string>& args);
int RunShow(const std::vector<std::string>& args);

const LCliCommand kNew { "new", "new [--name TEXT] [--priority N] [--notes TEXT]", RunNew };
const LCliCommand kShow { "show", "show NUMBER", RunShow };
LCliRegistrar regNew(kNew);
LCliRegistrar regShow(kShow);

int RunNew(const std::vector<std::string>& args)
{
    std::string name = "Dictation";
    std::optional<int> priority;
    std::optional<std::string> notes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i + 1 >= args.size())
            return CliUsage(kNew);
        if (arg == "--name") {
            name = args[++i];
        } else if (arg == "--priority") {
            const std::string& value = args[++i];
            char* end = nullptr;
            long p = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || p < 0 || p > 255)
                return CliError("priority must be a number from 0 to 255 (20 low, 50 normal, 100 high)", 2);
            priority = static_cast<int>(p);
        } else if (arg == "--notes") {
            notes = args[++i];
        } else {
            return CliUsage(kNew);
        }
    }
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    LDictation dictation(engine.GetCurrentFolder(), name);
    if (!dictation.IsValid())
        return CliError(tplprintf("cannot write a new dictation into \"%s\"%s", engine.GetCurrentFolder(),
            CliDiskFullText(engine.GetCurrentFolder(), dictation.GetLastErrno())));
    if (priority)
        dictation.MutableHeader().uPriority = static_cast<uint8_t>(*priority);
    if (notes)
        dictation.SetNotes(*notes);
    else if (priority)
        dictation.Save();
    std::printf("%u\n", dictation.GetFileNumber());
    return 0;
}

int RunShow(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return CliUsage(kShow);
    std::optional<uint32_t> number = ParseFileNumber(args[0]);
    if (!number)
        return CliError("NUMBER must be a file number from 1 to 999999", 2);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    std::string path;
    const char* folderName = nullptr;
    for (const auto& [folder, label] :
        { std::pair { engine.GetCurrentFolder(), "Current" }, std::pair { engine.GetSentFolder(), "Send" } }) {
        std::string candidate = FilePathCat(folder, std::to_string(*number) + ".ddf");
        if (FileExists(candidate)) {
            path = candidate;
            folderName = label;
            break;
        }
    }
    if (path.empty())
        return CliError(tplprintf("no dictation %d", static_cast<int32_t>(*number)));
    LDictation dictation(path);
    if (!dictation.IsValid())
        return CliError(tplprintf("\"%s\" is not a readable dictation", path));
    const DictationHeader& h = dictation.Header();
    LDateTime created(h.tCreated), recorded(h.tRecorded), sent(h.tSent);
    std::printf("File number: %u\n", h.uFileNumber);
    std::printf("Folder: %s\n", folderName);
    // Name, status, attachments and notes come from the file (a typist's
    // status text among them): printed with control characters escaped.
    std::printf("Name: %s\n", CliPrintable(dictation.GetName()).c_str());
    std::printf("Created: %s %s\n", created.Date().c_str(), created.Time().c_str());
    std::printf("Recorded: %s %s\n", recorded.Date().c_str(), recorded.Time().c_str());
    if (h.tSent == 0)
        std::printf("Sent: never\n");
    else
        std::printf("Sent: %s %s\n", sent.Date().c_str(), sent.Time().c_str());
    std::printf("Priority: %s (%u)\n", PriorityText(h.uPriority), h.uPriority);
    if (h.uSendTo == kNoRecipient)
        std::printf("Recipient: none\n");
    else
        std::printf("Recipient: %u\n", h.uSendTo);
    std::printf("Send status: %s\n", CliPrintable(dictation.GetSendStatus()).c_str());
    std::printf("User ID: %u\n", h.uUserID);
    std::printf("Sample rate: %u\n", h.uSampleRate);
    std::printf("Channels: %u\n", h.uChannels);
    std::printf("Duration: %u s\n", h.uDuration);
    std::printf("Cuts: %zu\n", dictation.GetCutList().Count());
    std::printf("Attachments: %u\n", h.nAttachments);
    for (const std::string& attachment : dictation.GetAttachments())
        std::printf("  %s\n", CliPrintable(attachment).c_str());
    std::printf("Notes:\n%s\n", CliPrintable(dictation.GetNotes(), true).c_str());
    return 0;
}

} // namespace
