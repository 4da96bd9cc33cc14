#include "scribe/LFtpInboxSource.h"

#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "platform/LFileTransferProtocol.h"
#include "scribe/LScribeJobFile.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeStatusWriter.h"
#include "send/LDctReader.h"
#include "send/LDictationSaveAsDct.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

namespace {

using Ftp = LFileTransferProtocol;

constexpr const char* kClaimedFolder = "Claimed";
constexpr const char* kDoneFolder = "Done";
constexpr const char* kCancelledFolder = "Cancelled";
// A job bigger than this is no dictation; a status file or notice of more is hostile.
constexpr uint64_t kMaxJobBytes = 1ull << 31;
constexpr uint64_t kMaxStatusBytes = 16u << 20;
constexpr uint64_t kMaxNoticeBytes = 64;
constexpr unsigned kMinPollSeconds = 5;

uint32_t Now()
{
    return static_cast<uint32_t>(std::time(nullptr));
}

std::string Reason(const Ftp& ftp)
{
    return ftp.GetLastErrorText().empty() ? std::string("the server refused") : ftp.GetLastErrorText();
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* pDir = ::opendir(folder.c_str())) {
        while (dirent* pEntry = ::readdir(pDir))
            if (pEntry->d_name[0] != '.')
                names.emplace_back(pEntry->d_name);
        ::closedir(pDir);
    }
    return names;
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::vector<uint8_t> bytes;
    LFile file;
    if (OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting)) {
        bytes.resize(static_cast<size_t>(std::min<uint64_t>(file.GetFileSizeBytes(), kMaxStatusBytes)));
        bytes.resize(file.Read(bytes.data(), bytes.size()));
    }
    return bytes;
}

} // namespace

LFtpInboxSource::LFtpInboxSource(std::string name, std::string typist, const LScribeSourceConfig& config)
    : LInboxSource(std::move(name), std::move(typist))
    , m_server(config.Get("FtpServer"))
    , m_userName(config.Get("FtpUserName"))
    , m_password(config.Get("FtpPassword"))
    , m_directory(config.Get("FtpDirectory"))
{
    std::string plain = config.Get("FtpAllowPlain");
    m_bAllowPlain = plain == "1" || EqualsNoCase(plain, "true");
    std::string poll = config.Get("PollSeconds");
    if (!poll.empty() && poll.find_first_not_of("0123456789") == std::string::npos && poll.size() < 7)
        m_uPollSeconds = std::max<unsigned>(kMinPollSeconds, static_cast<unsigned>(std::atoi(poll.c_str())));
}

std::string LFtpInboxSource::AreaOf(LScribeJobState state) const
{
    switch (state) {
    case LScribeJobState::Waiting:
        break;
    case LScribeJobState::Claimed:
        return std::string(kClaimedFolder) + "/" + GetTypist();
    case LScribeJobState::Done:
        return std::string(kDoneFolder) + "/" + GetTypist();
    case LScribeJobState::Cancelled:
        return kCancelledFolder;
    }
    return {};
}

std::string LFtpInboxSource::DirectoryOf(const std::string& area) const
{
    if (area.empty())
        return m_directory;
    if (m_directory.empty())
        return area;
    return m_directory.back() == '/' ? m_directory + area : m_directory + "/" + area;
}

bool LFtpInboxSource::LogOn(Ftp& ftp, const std::string& area, std::string* pWhy) const
{
    ftp.SetAllowPlain(m_bAllowPlain);
    if (!ftp.LogOnServer(m_server, m_userName, m_password)) {
        *pWhy = tplprintf("source %s: cannot log on to the ftp server \"%s\": %s", GetName(), m_server, Reason(ftp));
        return false;
    }
    if (!ftp.SetCurrentDirectory(DirectoryOf(area))) {
        *pWhy = tplprintf(
            "source %s: the directory \"%s\" was not found on \"%s\"", GetName(), DirectoryOf(area), m_server);
        return false;
    }
    return true;
}

std::string LFtpInboxSource::CacheFolder() const
{
    std::string data = LScribeSettings::GetDataFolder();
    if (data.empty())
        return {};
    std::string folder = FilePathCat(FilePathCat(data, "ftp"), GetName());
    // Another user's dictations: readable by this user only.
    if (!CreateFolderTree(folder) || ::chmod(FilePathCat(data, "ftp").c_str(), 0700) != 0
        || ::chmod(folder.c_str(), 0700) != 0)
        return {};
    return folder;
}

bool LFtpInboxSource::Download(
    Ftp& ftp, const std::string& name, uint64_t nMaxBytes, std::string* pPath, std::string* pWhy) const
{
    // Only into the process's private folder, under a name of its own making.
    *pPath = LTempFolder::CreateFile("job", GetFileExtension(name));
    LFile file;
    if (pPath->empty() || !file.Open(*pPath, LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways, 0600)) {
        *pWhy = "no private temporary file can be made";
        return false;
    }
    bool bOk = ftp.Download(
        name, [&](const char* p, size_t n) { return file.Write(p, n); }, {}, nMaxBytes);
    file.Close();
    if (!bOk) {
        *pWhy = tplprintf("cannot download \"%s\": %s", name, Reason(ftp));
        DeleteFileAt(*pPath);
        pPath->clear();
    }
    return bOk;
}

bool LFtpInboxSource::ListJobs(
    const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
{
    std::vector<LScribeJobState> states { LScribeJobState::Waiting, LScribeJobState::Claimed };
    if (bAll) {
        states.push_back(LScribeJobState::Done);
        states.push_back(LScribeJobState::Cancelled);
    }
    std::vector<uint8_t> statusBytes;
    bool bStatusRead = false;
    Ftp ftp;
    std::string why;
    if (!LogOn(ftp, {}, &why)) {
        pProblems->push_back(why);
        return false;
    }
    const std::string cache = CacheFolder();
    std::set<std::string> listed;
    for (LScribeJobState state : states) {
        // An area nobody made yet holds no job.
        if (!ftp.SetCurrentDirectory(DirectoryOf(AreaOf(state))))
            continue;
        std::vector<Ftp::Entry> entries;
        std::vector<std::string> rejected;
        if (!ftp.ListEntries(&entries, &rejected)) {
            pProblems->push_back(tplprintf("source %s: the directory cannot be listed: %s", GetName(), Reason(ftp)));
            if (state == LScribeJobState::Waiting)
                return false;
            continue;
        }
        for (const std::string& line : rejected)
            pProblems->push_back(tplprintf("source %s: %s", GetName(), line));
        for (const Ftp::Entry& entry : entries) {
            LScribeJobFile::NameKind kind = LScribeJobFile::KindOfName(entry.name);
            if (!entry.bFile || kind == LScribeJobFile::NameKind::None
                || kind == LScribeJobFile::NameKind::CancelNotice) {
                if (!entry.name.empty() && entry.name[0] != '.' && !LScribeJobFile::IsSafeName(entry.name))
                    pProblems->push_back(
                        tplprintf("source %s: skipped an entry whose name is not printable UTF-8", GetName()));
                continue;
            }
            if (entry.nSize > kMaxJobBytes) {
                pProblems->push_back(
                    tplprintf("source %s: skipped \"%s\": it is too large for a dictation", GetName(), entry.name));
                continue;
            }
            LScribeJob job;
            job.szSource = GetName();
            job.szFileName = entry.name;
            job.szId = GetName() + ":" + entry.name;
            // A job is read once: its copy is kept while the server lists it at the same size.
            listed.insert(entry.name);
            std::string local = cache.empty() ? std::string() : FilePathCat(cache, entry.name);
            bool bCached = !local.empty() && GetFileSizeBytes(local) == entry.nSize && FileExists(local);
            if (!bCached) {
                std::string fetched;
                if (!Download(ftp, entry.name, kMaxJobBytes, &fetched, &why)) {
                    // Gone meanwhile is another typist's claim, no problem.
                    if (ftp.GetLastError() != Ftp::Error::NotFound)
                        pProblems->push_back(tplprintf("source %s: skipped \"%s\": %s", GetName(), entry.name, why));
                    continue;
                }
                if (local.empty() || !MoveFileTo(fetched, local))
                    local = fetched;
            }
            bool bOk = LScribeJobFile::ReadJob(local, entry.name, keys, &job, &why);
            if (cache.empty() || _GetFolderFromPath(local) != cache)
                DeleteFileAt(local);
            if (!bOk) {
                pProblems->push_back(tplprintf("source %s: skipped \"%s\": %s", GetName(), entry.name, why));
                continue;
            }
            if (job.bEncrypted && !job.bKeyFound)
                pProblems->push_back(tplprintf("source %s: \"%s\" is encrypted and none of the keys held opens it "
                                               "(author %d); it is listed without its notes",
                    GetName(), entry.name, job.uUserID));
            SetState(job, state);
            if (state == LScribeJobState::Claimed) {
                if (!bStatusRead && job.kind == LScribeJobKind::Dct) {
                    bStatusRead = true;
                    std::string local2;
                    if (ftp.SetCurrentDirectory(DirectoryOf({}))
                        && Download(ftp, LScribeStatusWriter::FileName(job.uUserID, GetTypist()), kMaxStatusBytes,
                            &local2, &why)) {
                        statusBytes = ReadAll(local2);
                        DeleteFileAt(local2);
                    }
                    ftp.SetCurrentDirectory(DirectoryOf(AreaOf(state)));
                }
                uint32_t t = 0;
                LScribeStatusWriter::Find(statusBytes, job.uFileNumber, &job.szStatus, &t);
            }
            pJobs->push_back(std::move(job));
        }
    }
    // Copies of jobs the server no longer lists (taken by another typist, or
    // a partial listing's leftovers after bAll) are dropped.
    if (!cache.empty() && bAll)
        for (const std::string& name : FolderNames(cache))
            if (!listed.count(name))
                DeleteFileAt(FilePathCat(cache, name));
    return true;
}

bool LFtpInboxSource::FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob)
{
    const LScribeJobFile::NameKind kind = LScribeJobFile::KindOfName(fileName);
    if (!LScribeJobFile::IsSafeName(fileName)
        || (kind != LScribeJobFile::NameKind::Dct && kind != LScribeJobFile::NameKind::Audio))
        return false;
    Ftp ftp;
    std::string why;
    if (!LogOn(ftp, {}, &why))
        return false;
    for (LScribeJobState state :
        { LScribeJobState::Waiting, LScribeJobState::Claimed, LScribeJobState::Done, LScribeJobState::Cancelled }) {
        if (!ftp.SetCurrentDirectory(DirectoryOf(AreaOf(state)))
            || ftp.FilePresence(fileName) != Ftp::Presence::Present)
            continue;
        std::string local;
        if (!Download(ftp, fileName, kMaxJobBytes, &local, &why))
            return false;
        LScribeJob job;
        job.szSource = GetName();
        job.szFileName = fileName;
        job.szId = GetName() + ":" + fileName;
        bool bOk = LScribeJobFile::ReadJob(local, fileName, keys, &job, &why);
        DeleteFileAt(local);
        if (!bOk)
            return false;
        SetState(job, state);
        if (state == LScribeJobState::Claimed && job.kind == LScribeJobKind::Dct
            && ftp.SetCurrentDirectory(DirectoryOf({}))
            && Download(ftp, LScribeStatusWriter::FileName(job.uUserID, GetTypist()), kMaxStatusBytes, &local, &why)) {
            uint32_t t = 0;
            LScribeStatusWriter::Find(ReadAll(local), job.uFileNumber, &job.szStatus, &t);
            DeleteFileAt(local);
        }
        *pJob = std::move(job);
        return true;
    }
    return false;
}

LClaimResult LFtpInboxSource::Claim(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Waiting) {
        *pWhy = tplprintf("%s is not waiting: it is %s", job.szId, job.szStatus);
        return LClaimResult::Failed;
    }
    Ftp ftp;
    if (!LogOn(ftp, {}, pWhy))
        return LClaimResult::Failed;
    const std::string area = AreaOf(LScribeJobState::Claimed);
    if (!ftp.MakeDirectory(kClaimedFolder) || !ftp.MakeDirectory(area)) {
        *pWhy = tplprintf("source %s: cannot make the folder \"%s\": %s", GetName(), area, Reason(ftp));
        return LClaimResult::Failed;
    }
    if (!ftp.RenameFile(job.szFileName, area + "/" + job.szFileName)) {
        if (ftp.GetLastError() == Ftp::Error::NotFound) {
            *pWhy = tplprintf("%s was claimed by another typist first", job.szId);
            return LClaimResult::Lost;
        }
        *pWhy = tplprintf("cannot claim %s: %s", job.szId, Reason(ftp));
        return LClaimResult::Failed;
    }
    job.state = LScribeJobState::Claimed;
    job.szClaimedBy = GetTypist();
    job.szStatus = "Typing";
    std::string why;
    if (job.kind == LScribeJobKind::Dct && !WriteStatusOn(ftp, job, "Typing", Now(), &why))
        *pWhy = why;
    return LClaimResult::Claimed;
}

bool LFtpInboxSource::WriteStatusOn(
    Ftp& ftp, const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy)
{
    const std::string name = LScribeStatusWriter::FileName(job.uUserID, GetTypist());
    std::vector<uint8_t> existing;
    std::string local;
    std::string why;
    if (Download(ftp, name, kMaxStatusBytes, &local, &why)) {
        existing = ReadAll(local);
        DeleteFileAt(local);
    } else if (ftp.GetLastError() != Ftp::Error::NotFound) {
        *pWhy = tplprintf("source %s: cannot read the status file: %s", GetName(), why);
        return false;
    }
    const std::vector<uint8_t> bytes = LScribeStatusWriter::Update(existing, job.uFileNumber, text, tStatus);
    size_t nAt = 0;
    Ftp::Reader reader = [&](char* p, size_t n) {
        n = std::min(n, bytes.size() - nAt);
        std::copy_n(bytes.data() + nAt, n, p);
        nAt += n;
        return static_cast<ptrdiff_t>(n);
    };
    // Hidden and not "s*.sta": the dictator's side never reads it half-written.
    if (!ftp.UploadAs("." + name + ".part", name, bytes.size(), reader, {})) {
        *pWhy = tplprintf("source %s: cannot write the status file \"%s\": %s", GetName(), name, Reason(ftp));
        return false;
    }
    return true;
}

bool LFtpInboxSource::WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done) {
        *pWhy = tplprintf("%s is not held by %s; only its holder writes its status", job.szId, GetTypist());
        return false;
    }
    if (job.kind != LScribeJobKind::Dct) {
        *pWhy = tplprintf("%s is a plain audio file and carries no file number to report a status for", job.szId);
        return false;
    }
    Ftp ftp;
    if (!LogOn(ftp, AreaOf(job.state), pWhy))
        return false;
    // Only the holder: the file must still be in this typist's area.
    if (ftp.FilePresence(job.szFileName) == Ftp::Presence::Absent) {
        *pWhy = tplprintf("%s is not held by %s; only its holder writes its status", job.szId, GetTypist());
        return false;
    }
    if (!ftp.SetCurrentDirectory(DirectoryOf({}))) {
        *pWhy = tplprintf("source %s: the directory \"%s\" was not found", GetName(), DirectoryOf({}));
        return false;
    }
    return WriteStatusOn(ftp, job, text, tStatus, pWhy);
}

bool LFtpInboxSource::MarkDone(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed) {
        *pWhy = tplprintf("%s is not held by %s", job.szId, GetTypist());
        return false;
    }
    if (job.kind == LScribeJobKind::Dct && !WriteStatus(job, "Typed", Now(), pWhy))
        return false;
    Ftp ftp;
    if (!LogOn(ftp, {}, pWhy))
        return false;
    const std::string area = AreaOf(LScribeJobState::Done);
    if (!ftp.MakeDirectory(kDoneFolder) || !ftp.MakeDirectory(area)
        || !ftp.RenameFile(AreaOf(LScribeJobState::Claimed) + "/" + job.szFileName, area + "/" + job.szFileName)) {
        *pWhy = tplprintf("cannot move %s to the done area: %s", job.szId, Reason(ftp));
        return false;
    }
    job.state = LScribeJobState::Done;
    job.szStatus = "Typed";
    return true;
}

void LFtpInboxSource::HandleCancels(std::vector<std::string>* pLines)
{
    Ftp ftp;
    std::string why;
    if (!LogOn(ftp, {}, &why))
        return;
    std::vector<Ftp::Entry> entries;
    std::vector<std::string> rejected;
    if (!ftp.ListEntries(&entries, &rejected))
        return;
    for (const Ftp::Entry& entry : entries) {
        if (!entry.bFile || LScribeJobFile::KindOfName(entry.name) != LScribeJobFile::NameKind::CancelNotice
            || entry.nSize > kMaxNoticeBytes)
            continue;
        uint32_t uUser = 0, uNumber = 0;
        LScribeJobFile::ParseCancelName(entry.name, &uUser, &uNumber);
        std::string local;
        if (!Download(ftp, entry.name, kMaxNoticeBytes, &local, &why))
            continue;
        // The name alone is not the notice: its 18 bytes must say the same.
        LDctReader reader;
        LDctHeader header;
        bool bNotice = reader.Open(local) && reader.ReadHeader(&header) == LDctReader::Result::Ok
            && (header.uFlags & kDctFlagCancelNotice) && header.uUserID == uUser && header.uFileNumber == uNumber;
        DeleteFileAt(local);
        if (!bNotice)
            continue;
        LScribeKeys none;
        std::vector<LScribeJob> jobs;
        std::vector<std::string> ignored;
        ListJobs(none, false, &jobs, &ignored);
        bool bRemove = false;
        for (LScribeJob& job : jobs) {
            if (job.kind != LScribeJobKind::Dct || job.uUserID != uUser || job.uFileNumber != uNumber)
                continue;
            if (job.state == LScribeJobState::Claimed)
                WriteStatus(job, "Cancelled", Now(), &why);
            const std::string from
                = AreaOf(job.state).empty() ? job.szFileName : AreaOf(job.state) + "/" + job.szFileName;
            if (!ftp.MakeDirectory(kCancelledFolder)
                || !ftp.RenameFile(from, std::string(kCancelledFolder) + "/" + job.szFileName))
                continue; // another Scribe moved the waiting job first
            pLines->push_back(tplprintf(
                "%s: %s; moved to \"%s/%s\"", job.szId, kCancelledText, std::string(kCancelledFolder), job.szFileName));
            bRemove = true;
        }
        if (bRemove)
            ftp.DeleteFile(entry.name);
    }
}

void LFtpInboxSource::ExpireDone(unsigned, uint32_t, std::vector<std::string>*)
{
    // The server's times are not trusted to be this machine's: done audio on
    // a server is left to whoever keeps that server.
}

bool LFtpInboxSource::FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy)
{
    *pTemporary = true;
    if (job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done) {
        *pWhy = tplprintf("%s is not held by %s; claim it first", job.szId, GetTypist());
        return false;
    }
    Ftp ftp;
    if (!LogOn(ftp, AreaOf(job.state), pWhy))
        return false;
    if (!LScribeJobFile::IsSafeName(job.szFileName)) {
        *pWhy = tplprintf("%s has a name that cannot be used", job.szId);
        return false;
    }
    return Download(ftp, job.szFileName, kMaxJobBytes, pPath, pWhy);
}
