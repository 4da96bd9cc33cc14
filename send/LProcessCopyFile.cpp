#include "send/LProcessCopyFile.h"

#include "send/LSealedFile.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view kPartPrefix = ".tavrine-";
constexpr std::string_view kPartSuffix = ".part";

bool IsTagChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || c == '.';
}

bool IsNumber(std::string_view text)
{
    return !text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// ".tavrine-HOST-PID-N.part"; the ".tavrine-PID-N.part" of earlier versions
// gives an empty host, so only its age can free it.
bool ParsePartName(std::string_view name, std::string* pHost, long* pPid)
{
    if (!name.starts_with(kPartPrefix) || !name.ends_with(kPartSuffix)
        || name.size() < kPartPrefix.size() + kPartSuffix.size())
        return false;
    std::string_view middle = name.substr(kPartPrefix.size(), name.size() - kPartPrefix.size() - kPartSuffix.size());
    size_t nDash = middle.rfind('-');
    if (nDash == std::string_view::npos || !IsNumber(middle.substr(nDash + 1)))
        return false;
    middle = middle.substr(0, nDash);
    nDash = middle.rfind('-');
    std::string_view pid = nDash == std::string_view::npos ? middle : middle.substr(nDash + 1);
    std::string_view host = nDash == std::string_view::npos ? std::string_view() : middle.substr(0, nDash);
    if (!IsNumber(pid) || !std::all_of(host.begin(), host.end(), IsTagChar))
        return false;
    *pHost = host;
    *pPid = std::stol(std::string(pid));
    return *pPid <= std::numeric_limits<pid_t>::max(); // never wrapped into a process group
}

// Why the folder refused the copy, in the user's words where the usual
// causes have some.
std::string FolderReason(int err)
{
    switch (err) {
    case EROFS:
        return "The folder is on a read-only file system.";
    case ENOSPC:
        return "The disk holding the folder is full.";
    case EDQUOT:
        return "Your disk quota on the folder's disk is used up.";
    case EFBIG:
        return "The file is larger than the folder's file system or a file-size limit allows.";
    case ENOENT:
    case ENOTDIR:
        return "The folder does not exist, or the share holding it is not connected.";
    case EACCES:
    case EPERM:
        return "You may not write into the folder.";
    case 0:
        return "The reason is not known.";
    }
    return std::string(std::strerror(err)) + ".";
}

// A hidden name the typist's program does not list as a dictation; random, so
// two senders into one folder never meet.
bool CreateTemporaryTarget(const std::string& folder, LFile* pFile, std::string* pPath)
{
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = std::string(kPartPrefix) + LProcessCopyFile::HostTag() + "-"
            + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000) + std::string(kPartSuffix);
        *pPath = FilePathCat(folder, name);
        if (pFile->Open(*pPath, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew))
            return true;
        if (pFile->LastError() != LFile::Error::Exists)
            return false;
    }
    return false;
}

} // namespace

const std::string& LProcessCopyFile::HostTag()
{
    static const std::string tag = [] {
        std::string id;
        if (ReadTextFile("/etc/machine-id", &id))
            id = id.substr(0, id.find('\n'));
        if (id.size() != 32 || id.find_first_not_of("0123456789abcdef") != std::string::npos) {
            char host[256] = {};
            id = ::gethostname(host, sizeof host - 1) == 0 ? host : "";
        }
        // A sandbox sharing the machine ID may have PIDs of its own, where
        // another's process looks gone.
        char ns[64] = {};
        if (::readlink("/proc/self/ns/pid", ns, sizeof ns - 1) > 0)
            id += std::string(".") + ns;
        std::string clean;
        for (char c : id)
            if (IsTagChar(c) && clean.size() < 64)
                clean += c;
        return clean.empty() ? std::string("unknown") : clean;
    }();
    return tag;
}

int LProcessCopyFile::RemoveStaleParts(const std::string& folder)
{
    DIR* pDir = ::opendir(folder.c_str());
    if (!pDir)
        return 0;
    const time_t now = ::time(nullptr);
    std::vector<std::string> stale;
    while (const dirent* pEntry = ::readdir(pDir)) {
        std::string host;
        long nPid = 0;
        struct stat st { };
        if (!ParsePartName(pEntry->d_name, &host, &nPid)
            || ::fstatat(::dirfd(pDir), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool bGone = host == HostTag() && nPid > 0 && ::kill(static_cast<pid_t>(nPid), 0) != 0 && errno == ESRCH;
        if (bGone || now - st.st_mtime > kStalePartSeconds)
            stale.emplace_back(pEntry->d_name);
    }
    int nRemoved = 0;
    for (const std::string& name : stale)
        nRemoved += ::unlinkat(::dirfd(pDir), name.c_str(), 0) == 0 ? 1 : 0;
    ::closedir(pDir);
    return nRemoved;
}

std::string LProcessCopyFile::NumberedName(const std::string& target, int n)
{
    if (n <= 1)
        return target;
    const std::string extension = NumberingExtension(target);
    return target.substr(0, target.size() - extension.size()) + " (" + std::to_string(n) + ")" + extension;
}

std::string LProcessCopyFile::NumberingExtension(const std::string& name)
{
    const std::string extension = GetFileExtension(name);
    if (!EqualsNoCase(extension, LSealedFile::kExtension))
        return extension;
    return GetFileExtension(std::string_view(name).substr(0, name.size() - extension.size())) + extension;
}

JobResult LProcessCopyFile::Process(LProgressReporter& progress, const std::string& source, const std::string& target,
    std::string* pDelivered, std::string* pReason)
{
    std::string scratch;
    std::string& reason = pReason ? *pReason : scratch;
    progress.SetText("Copy File", 0);
    progress.SetText(_GetFileFromPath(target), 1);
    progress.SetProgress(0.0);
    LFile in;
    auto unreadable = [](const LFile& file) {
        return std::string("The transfer file cannot be read: ") + std::strerror(file.LastErrno()) + ".";
    };
    if (!in.Open(source, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting)) {
        reason = unreadable(in);
        return JobResult::kFailed;
    }
    const std::string folder = _GetFolderFromPath(target);
    LFile out;
    std::string temporary;
    if (!CreateTemporaryTarget(folder, &out, &temporary)) {
        reason = FolderReason(out.LastErrno());
        return JobResult::kFailed;
    }
    auto fail = [&](JobResult nResult, const std::string& why) {
        out.Close();
        DeleteFileAt(temporary);
        reason = why;
        return nResult;
    };
    const uint64_t nSize = in.GetFileSizeBytes();
    const double fStep = static_cast<double>(kBlockBytes) / static_cast<double>(std::max<uint64_t>(nSize, kBlockBytes));
    std::vector<uint8_t> block(kBlockBytes);
    double fDone = 0.0;
    for (;;) {
        if (progress.Pump())
            return fail(JobResult::kStopped, "stopped");
        const size_t n = in.Read(block.data(), block.size());
        // A short read is the end only when no error came with it (a lost share).
        if (in.LastError() != LFile::Error::None)
            return fail(JobResult::kFailed, unreadable(in));
        if (n == 0)
            break;
        if (!out.Write(block.data(), n))
            return fail(JobResult::kFailed, FolderReason(out.LastErrno()));
        progress.SetProgress(fDone);
        fDone = std::min(1.0, fDone + fStep);
        if (n < block.size())
            break;
    }
    // On the disk before it gets a name the typist's program looks for.
    if (!out.Sync())
        return fail(JobResult::kFailed, FolderReason(out.LastErrno()));
    out.Close();
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        const std::string name = NumberedName(target, n);
        if (MoveFileNoReplace(temporary, name)) {
            SyncFolder(folder);
            if (pDelivered)
                *pDelivered = _GetFileFromPath(name);
            return JobResult::kDone;
        }
        const int nErr = errno;
        if (!FileExists(name))
            return fail(JobResult::kFailed, FolderReason(nErr));
    }
    return fail(JobResult::kFailed,
        tplprintf("Every name up to \"%s\" is taken.", _GetFileFromPath(NumberedName(target, kMaxNumberedNames))));
}
