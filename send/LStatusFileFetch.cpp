#include "send/LStatusFileFetch.h"

#include "dictation/LDictationList.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "platform/LFileTransferProtocol.h"
#include "send/LFtpTransfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

using Ftp = LFileTransferProtocol;
using Summary = LStatusFileFetch::Summary;

// A typist's status file is a few records; more than this is not one.
constexpr uint64_t kMaxStatusFile = 16u << 20;
// More typists than any office has: a folder filled with names is not read whole.
constexpr size_t kMaxFurtherFiles = 1000;

void Apply(const std::string& path, const std::string& sentFolder, Summary* pSummary)
{
    std::vector<StatusFileUpdate> updates;
    size_t nUnsaved = 0;
    const StatusFileResult result = LDictationLoadStatusFile(path, sentFolder, &updates, &nUnsaved);
    pSummary->nUnsaved += nUnsaved;
    switch (result) {
    case StatusFileResult::Ok:
    case StatusFileResult::NoRecords:
        ++pSummary->nApplied;
        pSummary->updates.insert(pSummary->updates.end(), updates.begin(), updates.end());
        break;
    case StatusFileResult::UnknownVersion:
        ++pSummary->nUnknownVersion;
        break;
    case StatusFileResult::NotOpened:
        break;
    }
}

uint32_t TimeLeftMs(LStatusFileFetch::Clock::time_point end, uint32_t uCapMs)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - LStatusFileFetch::Clock::now()).count();
    return left <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(left, uCapMs));
}

void SkipLine(LProgressReporter& progress, const std::string& name, const char* szWhy)
{
    progress.SetText(tplprintf("Status file \"%s\" skipped: %s", name, szWhy), 1);
}

// False when stopped.
bool FetchAndApply(Ftp& ftp, LProgressReporter& progress, const std::string& name, const std::string& sentFolder,
    uint32_t uFileMs, LStatusFileFetch::Clock::time_point end, Summary* pSummary)
{
    uint32_t uLimitMs = TimeLeftMs(end, uFileMs);
    if (!uLimitMs) {
        SkipLine(progress, name, "the time for reading status files ran out");
        return true;
    }
    // Downloaded into the private folder: no other user may read or swap it.
    std::string local = LTempFolder::CreateFile("tmp", ".sta");
    if (local.empty())
        return true;
    JobResult nResult = ProcessFtpDownload(progress, name, local, ftp, kMaxStatusFile, uLimitMs);
    if (nResult == JobResult::kDone)
        Apply(local, sentFolder, pSummary);
    else if (nResult == JobResult::kFailed && ftp.GetLastError() == Ftp::Error::TimedOut)
        SkipLine(progress, name, "the server sent it too slowly");
    DeleteFileAt(local);
    return nResult != JobResult::kStopped;
}

} // namespace

std::string LStatusFileFetch::MainName(uint32_t uUserID)
{
    return tplprintf("s%.7d.sta", uUserID);
}

std::string LStatusFileFetch::FurtherPattern(uint32_t uUserID)
{
    return tplprintf("s%.7d-*.sta", uUserID);
}

LStatusFileFetch::Summary LStatusFileFetch::FromFolder(
    const std::string& folder, uint32_t uUserID, const std::string& sentFolder)
{
    Summary summary;
    Apply(FilePathCat(folder, MainName(uUserID)), sentFolder, &summary);
    const std::string pattern = FurtherPattern(uUserID);
    std::vector<std::string> names;
    if (DIR* pDir = ::opendir(folder.c_str())) {
        while (struct dirent* pEntry = ::readdir(pDir)) {
            struct stat st;
            // A link could make a typist's name read a file of the dictator's elsewhere.
            if (::fnmatch(pattern.c_str(), pEntry->d_name, FNM_NOESCAPE | FNM_PERIOD) != 0
                || ::fstatat(::dirfd(pDir), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
                continue;
            names.emplace_back(pEntry->d_name);
            if (names.size() >= kMaxFurtherFiles)
                break;
        }
        ::closedir(pDir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        Apply(FilePathCat(folder, name), sentFolder, &summary);
    return summary;
}

LStatusFileFetch::Summary LStatusFileFetch::FromFtp(Ftp& ftp, LProgressReporter& progress, uint32_t uUserID,
    const std::string& sentFolder, uint32_t uFileMs, Clock::time_point end)
{
    Summary summary;
    if (!FetchAndApply(ftp, progress, MainName(uUserID), sentFolder, uFileMs, end, &summary)) {
        summary.bStopped = true;
        return summary;
    }
    // The whole listing first: the session cannot list and transfer at once.
    std::vector<std::string> names;
    uint32_t uLimitMs = TimeLeftMs(end, uFileMs);
    if (!uLimitMs || !ftp.ListNames(FurtherPattern(uUserID), &names, uLimitMs)) {
        summary.bStopped = ftp.GetLastError() == Ftp::Error::Stopped;
        return summary;
    }
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxFurtherFiles)
        names.resize(kMaxFurtherFiles);
    for (const std::string& name : names) {
        if (progress.Pump() || !FetchAndApply(ftp, progress, name, sentFolder, uFileMs, end, &summary)) {
            summary.bStopped = true;
            break;
        }
    }
    return summary;
}

void LStatusFileFetch::ApplyFile(const std::string& path, const std::string& sentFolder, Summary* pSummary)
{
    Apply(path, sentFolder, pSummary);
}

std::string LStatusFileFetch::Describe(const Summary& summary)
{
    if (summary.nApplied && summary.nUnsaved)
        return tplprintf("updated (%d dictations changed; %d could not be saved)",
            static_cast<uint32_t>(summary.updates.size()), static_cast<uint32_t>(summary.nUnsaved));
    if (summary.nApplied)
        return tplprintf("updated (%d dictations changed)", static_cast<uint32_t>(summary.updates.size()));
    if (summary.nUnknownVersion)
        return "the status file is of an unknown version";
    return "no status file";
}
