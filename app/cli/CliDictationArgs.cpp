#include "app/cli/CliDictationArgs.h"

#include "app/cli/LCliCommand.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "sound/LSoundTime.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

std::optional<int> ParseCliRecordMode(const std::string& text)
{
    if (text == "end")
        return kRecordAtEnd;
    if (text == "insert")
        return kRecordInsert;
    if (text == "overwrite")
        return kRecordOverwrite;
    return std::nullopt;
}

std::optional<int32_t> ParseCliPosition(const std::string& text)
{
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    if (text.find(':') != std::string::npos || text.find('.') != std::string::npos) {
        if (text.find_first_not_of("0123456789:.-") != std::string::npos)
            return std::nullopt;
        return LSoundTime::FromText(text).Ms();
    }
    char* pEnd = nullptr;
    const long long n = std::strtoll(text.c_str(), &pEnd, 10);
    if (*pEnd != '\0' || n < INT32_MIN || n > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(n);
}

bool CliRecordPlace::Take(const std::string& arg, const std::string& value, std::optional<CliFailure>* pFailure)
{
    if (arg == "--mode") {
        if (std::optional<int> mode = ParseCliRecordMode(value))
            nMode = *mode;
        else
            *pFailure = CliFailure { "--mode must be end, insert or overwrite", 2 };
        return true;
    }
    if (arg == "--at") {
        if (!(at = ParseCliPosition(value)))
            *pFailure = CliFailure { "--at must be a position in milliseconds (or h:mm:ss.mmm)", 2 };
        return true;
    }
    return false;
}

std::optional<CliFailure> CliRecordPlace::Check() const
{
    if (nMode != kRecordAtEnd && !at)
        return CliFailure { "--mode insert and --mode overwrite need --at MS", 2 };
    // A position silently ignored would record somewhere else than asked.
    if (nMode == kRecordAtEnd && at)
        return CliFailure { "--at needs --mode insert or --mode overwrite (a recording at the end takes no position)",
            2 };
    return std::nullopt;
}

namespace {

std::optional<CliFailure> FindDictation(
    const LDictationEngineSettings& engine, uint32_t uNumber, bool bSentToo, std::string* pPath)
{
    const std::string name = std::to_string(uNumber) + ".ddf";
    const std::string current = FilePathCat(engine.GetCurrentFolder(), name);
    if (FileExists(current)) {
        *pPath = current;
        return std::nullopt;
    }
    const std::string sent = FilePathCat(engine.GetSentFolder(), name);
    if (FileExists(sent)) {
        if (bSentToo) {
            *pPath = sent;
            return std::nullopt;
        }
        return CliFailure { tplprintf("dictation %d has been sent; only dictations in Current can be recorded into",
            static_cast<int32_t>(uNumber)) };
    }
    return CliFailure { tplprintf("no dictation %d", static_cast<int32_t>(uNumber)) };
}

} // namespace

std::optional<CliFailure> OpenCliDictation(
    const std::string& numberText, bool bSentToo, std::optional<LDictation>* pDictation)
{
    std::optional<uint32_t> number = ParseFileNumber(numberText);
    if (!number)
        return CliFailure { "NUMBER must be a file number from 1 to 999999", 2 };
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliFailure { engine.GetError() };
    std::string path;
    if (std::optional<CliFailure> failure = FindDictation(engine, *number, bSentToo, &path))
        return failure;
    pDictation->emplace(path);
    if (!(*pDictation)->IsValid())
        return CliFailure { tplprintf("\"%s\" is not a readable dictation", path) };
    return std::nullopt;
}

CliFailure CliRecordStartFailure(const LDictation& d)
{
    if (std::string full = CliDiskFullText(d.GetFolder(), d.GetLastErrno()); !full.empty())
        return CliFailure { "cannot start recording" + full };
    return CliFailure { "cannot start recording: no free cut number, or the cut file cannot be created in \""
        + d.GetFolder() + "\"" };
}

void UndoFailedRecording(LDictation& d)
{
    d.UndoFailedRecording();
}

std::string CliLevelMeter(int nLevelDb)
{
    const int nBars = std::clamp((nLevelDb + 36) / 2, 0, 24);
    return std::string(size_t(nBars), '#') + std::string(size_t(24 - nBars), ' ');
}
