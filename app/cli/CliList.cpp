// Dictation list commands of tavrine-cli: list a working folder, delete a
// dictation, apply a typist's status file to the sent dictations.
#include "app/cli/LCliCommand.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LDateTime.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

int RunList(const std::vector<std::string>& args);
int RunDelete(const std::vector<std::string>& args);
int RunStatusFile(const std::vector<std::string>& args);

const LCliCommand kList { "list",
    "list [--sent]   number, name, date, time, length, priority, send status; --sent: the Send folder, with the "
    "date and time sent and the recipient",
    RunList };
const LCliCommand kDelete { "delete", "delete NUMBER", RunDelete };
const LCliCommand kStatusFile { "status-file", "status-file PATH", RunStatusFile };
LCliRegistrar regList(kList);
LCliRegistrar regDelete(kDelete);
LCliRegistrar regStatusFile(kStatusFile);

int RunList(const std::vector<std::string>& args)
{
    bool bSent = false;
    for (const std::string& arg : args) {
        if (arg == "--sent")
            bSent = true;
        else
            return CliUsage(kList);
    }
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    LDictationList list(bSent ? engine.GetSentFolder() : engine.GetCurrentFolder());
    std::vector<const LDictation*> rows;
    rows.reserve(list.Count());
    for (const LDictation& dictation : list)
        rows.push_back(&dictation);
    // Folder order means nothing to a script: by file number.
    std::sort(rows.begin(), rows.end(),
        [](const LDictation* a, const LDictation* b) { return a->GetFileNumber() < b->GetFileNumber(); });
    std::string out;
    out.reserve(rows.size() * 64);
    for (const LDictation* pDictation : rows) {
        const DictationHeader& h = pDictation->Header();
        LDateTime created(h.tCreated);
        out += tplprintf("%s\t%s\t%s\t%s\t%.2d:%.2d\t%s\t%s\n", std::to_string(h.uFileNumber),
            CliField(pDictation->GetName()), created.Date(), created.Time(), h.uDuration / 60, h.uDuration % 60,
            PriorityText(h.uPriority), CliField(pDictation->GetSendStatus()));
        // Sent work also shows when it went and to whom.
        if (bSent) {
            LDateTime sent(h.tSent);
            out.back() = '\t';
            out += tplprintf("%s\t%s\t%s\n", sent.Date(), sent.Time(),
                h.uSendTo == kNoRecipient ? std::string()
                                          : CliField(LDictationEngineSettings::GetSendToName(h.uSendTo)));
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0)
        return CliError("cannot write the list to the standard output");
    // The listing itself is complete: a warning, not a failure.
    if (list.GetBrokenLeft() > 0)
        CliError(tplprintf("warning: %d files of the folder are not dictations and could not be renamed to *.bad",
            static_cast<uint32_t>(list.GetBrokenLeft())));
    return 0;
}

int RunDelete(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return CliUsage(kDelete);
    std::optional<uint32_t> number = ParseFileNumber(args[0]);
    if (!number)
        return CliError("NUMBER must be a file number from 1 to 999999", 2);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    std::string path = FilePathCat(engine.GetCurrentFolder(), std::to_string(*number) + ".ddf");
    if (!FileExists(path))
        return CliError(tplprintf("no dictation %d in the Current folder", *number));
    LDictation dictation(path);
    if (!dictation.IsValid()) {
        if (dictation.GetLoadResult() == LDictation::LoadResult::Broken)
            return CliError(tplprintf("\"%s\" is not a dictation header file; it was not deleted", path));
        return CliError(tplprintf("dictation %d cannot be read now (in use, or from a newer version)", *number));
    }
    if (!dictation.Delete())
        return CliError(tplprintf("cannot delete \"%s\"", path));
    return 0;
}

int RunStatusFile(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty())
        return CliUsage(kStatusFile);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    std::vector<StatusFileUpdate> updates;
    switch (LDictationLoadStatusFile(args[0], engine.GetSentFolder(), &updates)) {
    case StatusFileResult::NotOpened:
        return CliError("cannot read the status file: " + CliOpenFailureText(args[0]));
    case StatusFileResult::UnknownVersion:
        return CliError(tplprintf("\"%s\" is not a status file of version 0 or 1", args[0]));
    case StatusFileResult::NoRecords:
    case StatusFileResult::Ok:
        break;
    }
    std::string out;
    for (const StatusFileUpdate& update : updates)
        out += tplprintf("%s\t%s\n", std::to_string(update.uFileNumber), CliField(update.szStatus));
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
}

} // namespace
