#include "scribe/LFolderInboxSource.h"

#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "scribe/LScribeJobFile.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeStatusWriter.h"
#include "send/LDctReader.h"
#include "send/LDictationSaveAsDct.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

// A name from the folder as it may be shown: control bytes and bytes that
// are not UTF-8 as \xHH.
std::string Shown(std::string_view name)
{
    bool utf8 = LScribeJobFile::IsSafeName(std::string(name)) || name.empty();
    std::string out;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || (!utf8 && u >= 0x80)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (dirent* e = ::readdir(dir.get())) {
        std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

uint32_t Now()
{
    return static_cast<uint32_t>(std::time(nullptr));
}

// Renames without ever replacing: renameat2's flag where the file system has
// it; elsewhere only when the target is free. Never a link and unlink, which
// would let two claimers both succeed.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st { };
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Moves into an area, taking "NAME (2).EXT" and so on when the name is taken.
bool MoveIntoArea(const std::string& from, const std::string& area, const std::string& name, std::string* pTo)
{
    if (!CreateFolderTree(area))
        return false;
    std::string title = GetFileTitle(name);
    std::string ext = GetFileExtension(name);
    for (uint32_t n = 1; n <= 100; ++n) {
        std::string to = FilePathCat(area, n == 1 ? name : tplprintf("%s (%d)", title, n) + ext);
        if (RenameNoReplace(from, to)) {
            *pTo = to;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

LFolderInboxSource::LFolderInboxSource(std::string name, std::string typist, std::string folder)
    : LInboxSource(std::move(name), std::move(typist))
    , m_folder(std::move(folder))
{
}

std::string LFolderInboxSource::PathOf(const LScribeJob& job) const
{
    switch (job.state) {
    case LScribeJobState::Waiting:
        break;
    case LScribeJobState::Claimed:
        return FilePathCat(FilePathCat(FilePathCat(m_folder, kClaimedFolder), GetTypist()), job.szFileName);
    case LScribeJobState::Done:
        return FilePathCat(FilePathCat(FilePathCat(m_folder, kDoneFolder), GetTypist()), job.szFileName);
    case LScribeJobState::Cancelled:
        return FilePathCat(FilePathCat(m_folder, kCancelledFolder), job.szFileName);
    }
    return FilePathCat(m_folder, job.szFileName);
}

std::vector<LFolderInboxSource::Area> LFolderInboxSource::Areas(bool bAll) const
{
    std::vector<Area> areas { { m_folder, LScribeJobState::Waiting },
        { FilePathCat(FilePathCat(m_folder, kClaimedFolder), GetTypist()), LScribeJobState::Claimed } };
    if (bAll) {
        areas.push_back({ FilePathCat(FilePathCat(m_folder, kDoneFolder), GetTypist()), LScribeJobState::Done });
        areas.push_back({ FilePathCat(m_folder, kCancelledFolder), LScribeJobState::Cancelled });
    }
    return areas;
}

bool LFolderInboxSource::ReadEntry(const Area& area, const std::string& name, const LScribeKeys& keys, LScribeJob* pJob,
    std::vector<std::string>* pProblems, std::pair<uint32_t, std::vector<uint8_t>>* pStatus)
{
    LScribeJobFile::NameKind kind = LScribeJobFile::KindOfName(name);
    if (kind == LScribeJobFile::NameKind::None || kind == LScribeJobFile::NameKind::CancelNotice) {
        // Hidden and temporary files are another program's work in
        // progress, and status files and areas are ours: no line.
        if (!name.empty() && name[0] != '.' && !LScribeJobFile::IsSafeName(name))
            pProblems->push_back(
                tplprintf("source %s: skipped \"%s\": its name holds control characters or is not UTF-8", GetName(),
                    Shown(name)));
        return false;
    }
    std::string path = FilePathCat(area.folder, name);
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0)
        return false; // gone meanwhile: claimed by another typist
    if (!S_ISREG(st.st_mode)) {
        pProblems->push_back(tplprintf("source %s: skipped \"%s\": %s", GetName(), Shown(name),
            std::string(S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a regular file")));
        return false;
    }
    LScribeJob& job = *pJob;
    job.szSource = GetName();
    job.szFileName = name;
    job.szId = GetName() + ":" + name;
    std::string why;
    bool ok = LScribeJobFile::ReadJob(path, name, keys, &job, &why);
    if (!ok) {
        if (::access(path.c_str(), F_OK) == 0)
            pProblems->push_back(tplprintf("source %s: skipped \"%s\": %s", GetName(), Shown(name), why));
        return false;
    }
    if (job.bEncrypted && !job.bKeyFound)
        pProblems->push_back(tplprintf("source %s: \"%s\" is encrypted and none of the keys held opens it "
                                       "(author %d); it is listed without its notes",
            GetName(), Shown(name), job.uUserID));
    SetState(job, area.state);
    if (area.state == LScribeJobState::Claimed) {
        if (pStatus->first != job.uUserID) {
            pStatus->first = job.uUserID;
            pStatus->second.clear();
            LFile file;
            std::string sta = FilePathCat(m_folder, LScribeStatusWriter::FileName(job.uUserID, GetTypist()));
            if (OpenFileRetry(file, sta, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting)) {
                pStatus->second.resize(static_cast<size_t>(std::min<uint64_t>(file.GetFileSizeBytes(), 1 << 24)));
                pStatus->second.resize(file.Read(pStatus->second.data(), pStatus->second.size()));
            }
        }
        uint32_t t = 0;
        LScribeStatusWriter::Find(pStatus->second, job.uFileNumber, &job.szStatus, &t);
    }
    return true;
}

bool LFolderInboxSource::ListJobs(
    const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
{
    struct stat root { };
    if (::stat(m_folder.c_str(), &root) != 0 || !S_ISDIR(root.st_mode)) {
        pProblems->push_back(tplprintf("source %s: the folder \"%s\" cannot be read", GetName(), m_folder));
        return false;
    }
    std::pair<uint32_t, std::vector<uint8_t>> status { 0xFFFFFFFF, {} };
    for (const Area& area : Areas(bAll)) {
        for (const std::string& name : Names(area.folder)) {
            LScribeJob job;
            if (ReadEntry(area, name, keys, &job, pProblems, &status))
                pJobs->push_back(std::move(job));
        }
    }
    return true;
}

bool LFolderInboxSource::FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob)
{
    // A name from the command line is only ever a name in one of the areas.
    if (fileName.find('/') != std::string::npos || fileName == "." || fileName == "..")
        return false;
    std::pair<uint32_t, std::vector<uint8_t>> status { 0xFFFFFFFF, {} };
    std::vector<std::string> problems;
    for (const Area& area : Areas(true)) {
        if (ReadEntry(area, fileName, keys, pJob, &problems, &status))
            return true;
    }
    return false;
}

LClaimResult LFolderInboxSource::Claim(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Waiting) {
        *pWhy = tplprintf("%s is not waiting: it is %s", job.szId, job.szStatus);
        return LClaimResult::Failed;
    }
    std::string area = FilePathCat(FilePathCat(m_folder, kClaimedFolder), GetTypist());
    if (!CreateFolderTree(area)) {
        *pWhy = tplprintf("cannot make the folder \"%s\"", area);
        return LClaimResult::Failed;
    }
    std::string from = PathOf(job);
    if (!RenameNoReplace(from, FilePathCat(area, job.szFileName))) {
        int err = errno;
        if (err == ENOENT) {
            *pWhy = tplprintf("%s was claimed by another typist first", job.szId);
            return LClaimResult::Lost;
        }
        *pWhy = err == EEXIST ? tplprintf("%s: you already hold a job of that file name", job.szId)
                              : tplprintf("cannot claim %s: %s", job.szId, std::string(std::strerror(err)));
        return LClaimResult::Failed;
    }
    job.state = LScribeJobState::Claimed;
    job.szClaimedBy = GetTypist();
    job.szStatus = "Typing";
    std::string why;
    if (!WriteStatus(job, "Typing", Now(), &why))
        *pWhy = why;
    return LClaimResult::Claimed;
}

bool LFolderInboxSource::WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy)
{
    struct stat st { };
    if ((job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done)
        || ::lstat(PathOf(job).c_str(), &st) != 0) {
        *pWhy = tplprintf("%s is not held by %s; only its holder writes its status", job.szId, GetTypist());
        return false;
    }
    if (job.uFileNumber == 0) {
        *pWhy = tplprintf("%s does not tell its author and file number, so no status can go back", job.szId);
        return false;
    }
    return LScribeStatusWriter::WriteInFolder(m_folder, job.uUserID, GetTypist(), job.uFileNumber, text, tStatus, pWhy);
}

bool LFolderInboxSource::MarkDone(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed) {
        *pWhy = tplprintf("%s is not held by %s", job.szId, GetTypist());
        return false;
    }
    if (job.uFileNumber != 0 && !WriteStatus(job, "Typed", Now(), pWhy))
        return false;
    std::string to;
    std::string from = PathOf(job);
    if (!MoveIntoArea(from, FilePathCat(FilePathCat(m_folder, kDoneFolder), GetTypist()), job.szFileName, &to)) {
        *pWhy = tplprintf("cannot move %s to the done area: %s", job.szId, std::string(std::strerror(errno)));
        return false;
    }
    // The keeping time counts from now, not from when the file was made.
    ::utimensat(AT_FDCWD, to.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
    job.state = LScribeJobState::Done;
    job.szFileName = _GetFileFromPath(to);
    job.szStatus = "Typed";
    return true;
}

void LFolderInboxSource::HandleCancels(std::vector<std::string>* pLines)
{
    std::vector<std::string> notices;
    for (const std::string& name : Names(m_folder)) {
        if (LScribeJobFile::KindOfName(name) == LScribeJobFile::NameKind::CancelNotice)
            notices.push_back(name);
    }
    if (notices.empty())
        return;
    LScribeKeys none;
    std::vector<LScribeJob> jobs;
    std::vector<std::string> ignored;
    ListJobs(none, false, &jobs, &ignored);
    for (const std::string& notice : notices) {
        uint32_t user = 0, number = 0;
        LScribeJobFile::ParseCancelName(notice, &user, &number);
        std::string path = FilePathCat(m_folder, notice);
        // The name alone is not the notice: its 18 bytes must say the same.
        LDctReader reader;
        LDctHeader header;
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !reader.Open(path)
            || reader.ReadHeader(&header) != LDctReader::Result::Ok || !(header.uFlags & kDctFlagCancelNotice)
            || header.uUserID != user || header.uFileNumber != number)
            continue;
        bool removeNotice = false;
        for (LScribeJob& job : jobs) {
            if (job.kind != LScribeJobKind::Dct || job.uUserID != user || job.uFileNumber != number)
                continue;
            bool held = job.state == LScribeJobState::Claimed;
            if (held) {
                std::string why;
                WriteStatus(job, "Cancelled", Now(), &why);
            }
            std::string to;
            if (!MoveIntoArea(PathOf(job), FilePathCat(m_folder, kCancelledFolder), job.szFileName, &to))
                continue; // another Scribe moved the waiting job first
            pLines->push_back(tplprintf("%s: %s; moved to \"%s\"", job.szId, kCancelledText, to));
            removeNotice = true;
        }
        if (removeNotice)
            DeleteFileAt(path);
    }
}

void LFolderInboxSource::ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines)
{
    std::string area = FilePathCat(FilePathCat(m_folder, kDoneFolder), GetTypist());
    uint64_t keep = uint64_t(nDays) * 86400;
    for (const std::string& name : Names(area)) {
        std::string path = FilePathCat(area, name);
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime < 0)
            continue;
        if (uint64_t(st.st_mtime) + keep > tNow)
            continue;
        if (DeleteFileAt(path))
            pLines->push_back(tplprintf(
                "source %s: deleted \"%s\", done more than %d days ago", GetName(), Shown(name), uint32_t(nDays)));
    }
}

bool LFolderInboxSource::FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy)
{
    *pPath = PathOf(job);
    *pTemporary = false;
    struct stat st { };
    if (::lstat(pPath->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *pWhy = tplprintf("%s is no longer in the source", job.szId);
        return false;
    }
    return true;
}
