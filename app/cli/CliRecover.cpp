// Work progress and recovery from tavrine-cli: "recover" takes a sent
// dictation back into Current (queueing the typist's cancel notice), and
// "status-update" fetches the typists' status files, as the work-progress
// dialog does.
#include "app/cli/CliSendQueue.h"
#include "app/cli/LCliCommand.h"
#include "app/cli/LTerminalProgress.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "send/LDictationRecover.h"
#include "send/LDictationStatusUpdate.h"
#include "send/LProcessListThread.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int RunRecover(const std::vector<std::string>& args);
int RunStatusUpdate(const std::vector<std::string>& args);

const LCliCommand kRecover { "recover",
    "recover NUMBER [--no-notice] [--all]   takes a sent dictation back into Current and prints its new number; "
    "--all when several sent dictations carry the number",
    RunRecover };
const LCliCommand kStatusUpdate { "status-update",
    "status-update   fetches the typists' status files: one line per recipient, updated or why not", RunStatusUpdate };
LCliRegistrar regRecover(kRecover);
LCliRegistrar regStatusUpdate(kStatusUpdate);

int RunRecover(const std::vector<std::string>& args)
{
    bool bNotice = true, bAll = false;
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (arg == "--no-notice")
            bNotice = false;
        else if (arg == "--all")
            bAll = true;
        else if (arg.rfind("--", 0) == 0)
            return CliUsage(kRecover);
        else
            words.push_back(arg);
    }
    if (words.size() != 1)
        return CliUsage(kRecover);
    std::optional<uint32_t> number = ParseFileNumber(words[0]);
    if (!number)
        return CliError("NUMBER must be a file number from 1 to 999999", 2);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    std::vector<std::string> paths;
    {
        LDictationList sent(engine.GetSentFolder());
        for (const LDictation& dictation : sent)
            if (dictation.GetFileNumber() == *number)
                paths.push_back(dictation.GetPath());
    }
    std::sort(paths.begin(), paths.end());
    if (paths.empty())
        return CliError(tplprintf("no sent dictation %d", *number));
    if (paths.size() > 1 && !bAll)
        return CliError(
            tplprintf("%d sent dictations carry the number %d; none was recovered (--all recovers them all)",
                static_cast<uint32_t>(paths.size()), *number));
    // The queue is only changed here: the window, or 'queue work', sends the notice.
    LProcessListThread queue;
    CliOpenQueue(queue, engine.GetSentFolder());
    LTerminalProgress progress;
    int nStatus = 0;
    for (const std::string& path : paths) {
        uint32_t uNew = 0;
        if (LDictationRecover::Process(progress, path, bNotice, queue, &uNew) != JobResult::kDone) {
            nStatus = 1;
            continue;
        }
        progress.Finish();
        std::printf("%s\n", std::to_string(uNew).c_str());
    }
    return std::fflush(stdout) == 0 ? nStatus : CliError("cannot write to the standard output");
}

int RunStatusUpdate(const std::vector<std::string>& args)
{
    if (!args.empty())
        return CliUsage(kStatusUpdate);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    LTerminalProgress progress;
    std::vector<LDictationStatusUpdate::RecipientOutcome> outcomes;
    const JobResult nResult = LDictationStatusUpdate::Process(progress, engine.GetSentFolder(), &outcomes);
    progress.Finish();
    std::string out;
    for (const auto& outcome : outcomes) {
        out += tplprintf("%d\t%s\t%s\n", static_cast<uint32_t>(outcome.uSendTo),
            CliField(LDictationEngineSettings::GetSendToName(outcome.uSendTo)), CliField(outcome.szText));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0)
        return CliError("cannot write to the standard output");
    return nResult == JobResult::kDone ? 0 : CliError("stopped");
}

} // namespace
