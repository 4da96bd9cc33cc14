// Recording into a dictation without a sound card: record a file into it the
// way the Record command does, edit it with undo and redo from a script on
// standard input, and export its audio.
#include "app/cli/CliDictationArgs.h"
#include "app/cli/LCliCommand.h"
#include "app/cli/LTerminalProgress.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "sound/LPRSourceToSink.h"
#include "sound/LSoundTime.h"
#include "sound/files/LSoundFileByName.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace {

int RunRecord(const std::vector<std::string>& args);
int RunEdit(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);

const LCliCommand kRecord { "record", "record NUMBER --from FILE [--mode end|insert|overwrite] [--at MS]", RunRecord };
const LCliCommand kEdit { "edit",
    "edit NUMBER < ACTIONS   one action a line: record FILE [end|insert|overwrite] [MS], undo, redo, export FILE "
    "(undo history lives in memory only, with the open dictation, so undo and redo exist only inside edit)",
    RunEdit };
const LCliCommand kExport { "export", "export NUMBER OUT", RunExport };
LCliRegistrar regRecord(kRecord);
LCliRegistrar regEdit(kEdit);
LCliRegistrar regExport(kExport);

// Copies with a progress bar when standard error is a terminal; Ctrl+C stops
// the copy (the caller puts things back).
JobResult CopyWithProgress(const char* szWhat, const LSoundSourceRef& source, const LSoundSinkRef& sink)
{
    LTerminalProgress progress;
    return LPRSourceToSink::Process(progress, szWhat, source, sink);
}

// Records the file into the dictation as the Record command does: a record
// sink in the mode at the position, saved for undo, then the file copied in.
std::optional<CliFailure> RecordFile(LDictation& d, const std::string& file, int nMode, int32_t nPositionMs)
{
    if (LSoundFileByName::KindOf(file) == LSoundFileKind::Unknown)
        return CliFailure { "\"" + file + "\": unknown file type (use " + LSoundFileByName::KnownExtensions() + ")",
            2 };
    LSoundSourceRef source = LSoundFileByName::OpenSource(file);
    if (!source->IsUsable())
        return CliFailure { CliSoundErrorText(file, source->ErrorCode()) };
    // Checked before the sink is opened, so a refused file changes nothing.
    const auto nRate = static_cast<int32_t>(d.Header().uSampleRate);
    if (source->SampleRate() != nRate)
        return CliFailure { tplprintf("\"%s\" is %d Hz but the dictation records at %d Hz; changing the sample rate is "
                                      "not available yet",
            file, source->SampleRate(), nRate) };
    if (source->NumChannels() != d.Header().uChannels)
        return CliFailure { tplprintf("\"%s\" has %d channel(s) but the dictation records %d; changing the channel "
                                      "count is not available yet",
            file, static_cast<int32_t>(source->NumChannels()), static_cast<int32_t>(d.Header().uChannels)) };

    LSoundSinkRef sink = d.OpenSink(nMode, true, nPositionMs);
    if (!sink)
        return CliRecordStartFailure(d);
    const JobResult nResult = CopyWithProgress("recording", source, sink);
    const bool bWritten = sink->IsUsable();
    const int nErrno = sink->SystemError();
    sink.Reset(); // closes the cut file
    d.UpdateDuration();
    if (nResult != JobResult::kDone || !bWritten) {
        // Put the dictation back as it was; the partial cut goes with the redo entry.
        UndoFailedRecording(d);
        return CliFailure { "recording \"" + file + "\" failed" + CliDiskFullText(d.GetFolder(), nErrno)
            + "; the dictation is as it was" };
    }
    return std::nullopt;
}

std::optional<CliFailure> ExportTo(const LDictation& d, const std::string& out)
{
    if (LSoundFileByName::KindOf(out) == LSoundFileKind::Unknown)
        return CliFailure { "\"" + out + "\": unknown file type (use " + LSoundFileByName::KnownExtensions() + ")", 2 };
    auto source = LDictationAudioSource::Make(d);
    LSoundSinkRef sink = LSoundFileByName::OpenSink(out, source->SampleRate(), source->NumChannels());
    if (!sink || !sink->IsUsable()) {
        if (std::string why = CliWriteFailureText(out, sink ? sink->SystemError() : 0); !why.empty())
            return CliFailure { why };
        return CliFailure { tplprintf("cannot write \"%s\" at %d Hz, %d channel(s)", out, source->SampleRate(),
            static_cast<int32_t>(source->NumChannels())) };
    }
    const JobResult nResult = CopyWithProgress("exporting", LSoundSourceRef(source), sink);
    const bool bWritten = sink->IsUsable();
    const int nErrno = sink->SystemError();
    sink.Reset(); // the last reference finishes the file's header
    if (nResult != JobResult::kDone || !bWritten)
        return CliFailure { "exporting to \"" + out + "\" failed" + CliDiskFullText(_GetFolderFromPath(out), nErrno) };
    return std::nullopt;
}

int RunRecord(const std::vector<std::string>& args)
{
    std::optional<std::string> from;
    CliRecordPlace place;
    const std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split)
        return CliUsage(kRecord);
    for (const auto& [arg, value] : split->options) {
        std::optional<CliFailure> failure;
        if (place.Take(arg, value, &failure)) {
            if (failure)
                return CliError(failure->text, failure->status);
        } else if (arg == "--from") {
            from = value;
        } else {
            return CliUsage(kRecord);
        }
    }
    if (split->words.size() != 1 || !from)
        return CliUsage(kRecord);
    const std::string& number = split->words[0];
    if (std::optional<CliFailure> failure = place.Check())
        return CliError(failure->text, failure->status);

    std::optional<LDictation> d;
    if (std::optional<CliFailure> failure = OpenCliDictation(number, false, &d))
        return CliError(failure->text, failure->status);
    if (std::optional<CliFailure> failure = RecordFile(*d, *from, place.nMode, place.at.value_or(0)))
        return CliError(failure->text, failure->status);
    return 0;
}

int RunExport(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return CliUsage(kExport);
    std::optional<LDictation> d;
    if (std::optional<CliFailure> failure = OpenCliDictation(args[0], true, &d))
        return CliError(failure->text, failure->status);
    if (std::optional<CliFailure> failure = ExportTo(*d, args[1]))
        return CliError(failure->text, failure->status);
    return 0;
}

// Words of an action line; a word may be put in double quotes to hold blanks.
std::optional<std::vector<std::string>> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                return std::nullopt;
            word = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::optional<CliFailure> RunAction(LDictation& d, const std::vector<std::string>& words)
{
    const std::string& verb = words[0];
    if (verb == "undo" && words.size() == 1)
        return d.Undo() ? std::nullopt : std::optional<CliFailure>(CliFailure { "nothing to undo" });
    if (verb == "redo" && words.size() == 1)
        return d.Redo() ? std::nullopt : std::optional<CliFailure>(CliFailure { "nothing to redo" });
    if (verb == "export" && words.size() == 2)
        return ExportTo(d, words[1]);
    if (verb == "record" && words.size() >= 2 && words.size() <= 4) {
        int nMode = kRecordAtEnd;
        if (words.size() >= 3) {
            std::optional<int> mode = ParseCliRecordMode(words[2]);
            if (!mode)
                return CliFailure { "the mode must be end, insert or overwrite", 2 };
            nMode = *mode;
        }
        std::optional<int32_t> at;
        if (words.size() == 4 && !(at = ParseCliPosition(words[3])))
            return CliFailure { "the position must be in milliseconds (or h:mm:ss.mmm)", 2 };
        if (nMode != kRecordAtEnd && !at)
            return CliFailure { "insert and overwrite need a position", 2 };
        if (nMode == kRecordAtEnd && at)
            return CliFailure { "a recording at the end takes no position (use insert or overwrite)", 2 };
        return RecordFile(d, words[1], nMode, at.value_or(0));
    }
    return CliFailure { "unknown action (record FILE [end|insert|overwrite] [MS], undo, redo, export FILE)", 2 };
}

int RunEdit(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return CliUsage(kEdit);
    std::optional<LDictation> d;
    if (std::optional<CliFailure> failure = OpenCliDictation(args[0], false, &d))
        return CliError(failure->text, failure->status);
    int nStatus = 0;
    std::string line;
    for (unsigned nLine = 1; std::getline(std::cin, line); ++nLine) {
        std::optional<std::vector<std::string>> words = SplitWords(line);
        if (words && (words->empty() || (*words)[0].rfind('#', 0) == 0))
            continue;
        std::optional<CliFailure> failure = words ? RunAction(*d, *words) : CliFailure { "unbalanced quote", 2 };
        if (failure) {
            CliError(tplprintf("line %d: %s", static_cast<int32_t>(nLine), failure->text));
            nStatus = std::max(nStatus, failure->status);
        }
        // The menu texts after every action, as the window's Edit menu would show them.
        std::string undo, redo;
        d->GetUndoText(&undo);
        d->GetRedoText(&redo);
        std::printf("%s\n%s\n", undo.c_str(), redo.c_str());
        std::fflush(stdout);
    }
    d->DropUndoHistory();
    return nStatus;
}

} // namespace
