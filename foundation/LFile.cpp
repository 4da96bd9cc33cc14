#include "foundation/LFile.h"

#include "foundation/LPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

LFile::~LFile()
{
    Close();
}

LFile::LFile(LFile&& other) noexcept
    : m_fd(other.m_fd)
    , m_error(other.m_error)
    , m_errno(other.m_errno)
{
    other.m_fd = -1;
}

LFile& LFile::operator=(LFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_error = other.m_error;
        m_errno = other.m_errno;
        other.m_fd = -1;
    }
    return *this;
}

bool LFile::Fail(int err)
{
    m_errno = err;
    switch (err) {
    case EWOULDBLOCK:
        m_error = Error::SharingViolation;
        break;
    case ENOENT:
        m_error = Error::NotFound;
        break;
    case EEXIST:
        m_error = Error::Exists;
        break;
    case ENAMETOOLONG:
        m_error = Error::NameTooLong;
        break;
    case EISDIR:
        m_error = Error::IsFolder;
        break;
    case ENXIO:
    case ENODEV:
        m_error = Error::NotRegular;
        break;
    default:
        m_error = Error::Other;
        break;
    }
    return false;
}

// The share mode becomes one advisory lock: an open that tolerates other
// writers takes none; one that shares nothing, or writes, takes it exclusive;
// a reader that shares reading takes it shared.
static int LockFor(unsigned access, unsigned share)
{
    if (share & LFile::kShareWrite)
        return 0;
    if (share == LFile::kShareNone || (access & LFile::kWrite))
        return LOCK_EX;
    return LOCK_SH;
}

bool LFile::Reset(const std::string& path)
{
    Close();
    m_error = Error::None;
    m_errno = 0;
    if (path.empty())
        return Fail(ENOENT);
    return path.size() <= kMaxPath || Fail(ENAMETOOLONG);
}

bool LFile::Open(const std::string& path, Access access, Share share, Creation creation, unsigned mode)
{
    if (!Reset(path))
        return false;

    int flags = O_CLOEXEC;
    flags |= (access == kReadWrite) ? O_RDWR : (access == kWrite ? O_WRONLY : O_RDONLY);
    switch (creation) {
    case kOpenExisting:
        break;
    case kCreateAlways:
    case kOpenAlways:
        flags |= O_CREAT;
        break;
    case kCreateNew:
        flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
        break;
    }
    // Non-blocking, so that a FIFO or a device in a document's place is
    // refused at once instead of waiting for a writer for ever.
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY, static_cast<mode_t>(mode));
    if (fd < 0)
        return Fail(errno);
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool bFolder = (st.st_mode & S_IFMT) == S_IFDIR;
        ::close(fd);
        return Fail(bFolder ? EISDIR : ENODEV);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    // A lock is taken before truncating, so a held file is never emptied.
    int lock = LockFor(access, share);
    if (lock != 0 && ::flock(fd, lock | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return Fail(err == EWOULDBLOCK ? EWOULDBLOCK : err);
    }
    if (creation == kCreateAlways && (access & kWrite) && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        return Fail(err);
    }
    m_fd = fd;
    return true;
}

void LFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

size_t LFile::Read(void* pBuf, size_t nBytes)
{
    if (m_fd < 0)
        return 0;
    size_t nDone = 0;
    auto* p = static_cast<char*>(pBuf);
    while (nDone < nBytes) {
        ssize_t n = ::read(m_fd, p + nDone, nBytes - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                Fail(errno);
            break;
        }
        nDone += static_cast<size_t>(n);
    }
    return nDone;
}

bool LFile::Write(const void* pBuf, size_t nBytes)
{
    if (m_fd < 0)
        return Fail(EBADF);
    size_t nDone = 0;
    const auto* p = static_cast<const char*>(pBuf);
    while (nDone < nBytes) {
        ssize_t n = ::write(m_fd, p + nDone, nBytes - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        nDone += static_cast<size_t>(n);
    }
    return true;
}

int64_t LFile::MoveFromPipe(int nPipeFd, size_t nBytes)
{
    if (m_fd < 0) {
        Fail(EBADF);
        return -1;
    }
    for (;;) {
        const ssize_t n = ::splice(nPipeFd, nullptr, m_fd, nullptr, nBytes, SPLICE_F_MOVE);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EINVAL)
            break;
        std::vector<uint8_t> buffer(std::min<size_t>(nBytes, 65536));
        const ssize_t nRead = ::read(nPipeFd, buffer.data(), buffer.size());
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0)
            break;
        return Write(buffer.data(), static_cast<size_t>(nRead)) ? nRead : -1;
    }
    Fail(errno);
    return -1;
}

bool LFile::Seek(uint64_t pos)
{
    if (m_fd < 0)
        return false;
    return ::lseek(m_fd, static_cast<off_t>(pos), SEEK_SET) >= 0 || Fail(errno);
}

uint64_t LFile::Tell() const
{
    if (m_fd < 0)
        return 0;
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

bool LFile::Truncate()
{
    if (m_fd < 0)
        return false;
    return ::ftruncate(m_fd, static_cast<off_t>(Tell())) == 0 || Fail(errno);
}

uint64_t LFile::GetFileSizeBytes() const
{
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool LFile::Sync()
{
    if (m_fd < 0)
        return false;
    return ::fsync(m_fd) == 0 || Fail(errno);
}

namespace {

// The sharing-violation schedule: (timeout + 127) / 256 ms at first, at least
// 1 ms so that short time-outs do not spin on a wait of 0, doubling, until
// the deadline; a time-out of 0 still gets one retry after a short wait.
bool RetryWhileShared(LFile& file, unsigned timeoutMs, const std::function<bool()>& attempt)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned waitMs = (timeoutMs + 127) / 256;
    if (waitMs == 0)
        waitMs = 1;
    bool bRetried = false;
    for (;;) {
        if (attempt())
            return true;
        if (file.LastError() != LFile::Error::SharingViolation)
            return false;
        auto now = Clock::now();
        if (now >= deadline && bRetried)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        unsigned sleepMs = waitMs;
        if (left > 0 && static_cast<unsigned>(left) < sleepMs)
            sleepMs = static_cast<unsigned>(left);
        if (left <= 0)
            sleepMs = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        bRetried = true;
        if (waitMs < 0x40000000u)
            waitMs *= 2;
    }
}

} // namespace

bool OpenFileRetry(LFile& file, const std::string& path, LFile::Access access, LFile::Share share, unsigned timeoutMs,
    LFile::Creation creation, unsigned mode)
{
    return RetryWhileShared(file, timeoutMs, [&] { return file.Open(path, access, share, creation, mode); });
}

bool LFile::OpenLock(const std::string& path, bool bExclusive, unsigned timeoutMs, unsigned mode)
{
    if (!Reset(path))
        return false;
    const int nLock = (bExclusive ? LOCK_EX : LOCK_SH) | (timeoutMs == kWaitForever ? 0 : LOCK_NB);
    // A handful of tries: each one lost only to a holder deleting the file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, static_cast<mode_t>(mode));
        if (fd < 0 && errno == EACCES)
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
        if (fd < 0)
            return Fail(errno);
        bool bLocked = RetryWhileShared(*this, timeoutMs == kWaitForever ? 0 : timeoutMs, [&] {
            int rc;
            while ((rc = ::flock(fd, nLock)) != 0 && errno == EINTR) { }
            return rc == 0 || Fail(errno);
        });
        if (!bLocked) {
            ::close(fd);
            return false;
        }
        struct stat held, named;
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino
            && held.st_dev == named.st_dev) {
            m_error = Error::None;
            m_errno = 0;
            m_fd = fd;
            return true;
        }
        ::close(fd);
    }
    return Fail(ESTALE);
}

bool IsFileInUse(const std::string& path)
{
    LFile file;
    if (file.Open(path, LFile::kRead, LFile::kShareNone, LFile::kOpenExisting))
        return false;
    return file.LastError() == LFile::Error::SharingViolation;
}

uint64_t GetFileSizeBytes(const std::string& path)
{
    struct stat st;
    if (path.size() > kMaxPath || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool ReadTextFile(const std::string& path, std::string* pText)
{
    pText->clear();
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return false;
    pText->resize(65536);
    size_t n = file.Read(pText->data(), pText->size());
    pText->resize(n);
    return n > 0;
}

bool SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool bOk = ::fsync(fd) == 0;
    ::close(fd);
    return bOk;
}

bool SyncFolderOf(const std::string& path)
{
    return SyncFolder(_GetFolderFromPath(path));
}

// Writes every byte: 0, or the error that stopped it (ENOSPC for a write of nothing).
static int WriteAllTo(int fd, const void* pData, size_t nBytes)
{
    const auto* p = static_cast<const char*>(pData);
    size_t nDone = 0;
    while (nDone < nBytes) {
        const ssize_t n = ::write(fd, p + nDone, nBytes - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        nDone += static_cast<size_t>(n);
    }
    return 0;
}

static bool WriteAtomic(const std::string& path, const void* pData, size_t nBytes, unsigned mode, bool bReplace)
{
    if (path.empty() || path.size() + 16 > kMaxPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::string folder = _GetFolderFromPath(path);
    std::string tmpl = path + ".tmpXXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    int err = 0;
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0)
        err = errno;
    if (err == 0)
        err = WriteAllTo(fd, pData, nBytes);
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    // Replacing a file needs no sync of the folder: should the rename be lost
    // to a power cut, the old file is still whole. A new file's name must
    // reach the disk, or the file itself would be lost.
    const bool bReplacing = bReplace && FileExists(path);
    if (err == 0 && !(bReplace ? ::rename(name.data(), path.c_str()) == 0 : MoveFileNoReplace(name.data(), path)))
        err = !bReplace && FileExists(path) ? EEXIST : errno;
    if (err != 0) {
        ::unlink(name.data());
        errno = err;
        return false;
    }
    if (!bReplacing)
        SyncFolder(folder);
    return true;
}

bool WriteFileAtomic(const std::string& path, const void* pData, size_t nBytes, unsigned mode)
{
    return WriteAtomic(path, pData, nBytes, mode, true);
}

bool WriteNewFileAtomic(const std::string& path, const void* pData, size_t nBytes, unsigned mode)
{
    return WriteAtomic(path, pData, nBytes, mode, false);
}

// Calls fn(0) to fn(n - 1), each once, spread over a few threads, this one
// among them; for calls that mostly wait for the disk.
static void ForEachOnThreads(size_t n, const std::function<void(size_t)>& fn)
{
    constexpr size_t kThreads = 8;
    std::atomic<size_t> nNext { 0 };
    auto work = [&] {
        for (size_t i = nNext++; i < n; i = nNext++)
            fn(i);
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < kThreads && i < n; ++i) {
        // Without more threads this one does all.
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}

size_t WriteFilesAtomic(std::vector<AtomicFileWrite>& files, unsigned mode)
{
    // Open at once in one round, well under the usual limit of 1024 descriptors.
    constexpr size_t kRound = 256;
    struct Pending {
        AtomicFileWrite* pFile;
        std::vector<char> tmp;
        int fd;
        bool bNewName = false;
    };
    size_t nWritten = 0;
    std::vector<std::string> newNameFolders;
    for (size_t nFirst = 0; nFirst < files.size(); nFirst += kRound) {
        std::vector<Pending> round;
        const size_t nEnd = std::min(files.size(), nFirst + kRound);
        for (size_t i = nFirst; i < nEnd; ++i) {
            AtomicFileWrite& file = files[i];
            file.nErrno = 0;
            if (file.path.empty() || file.path.size() + 16 > kMaxPath) {
                file.nErrno = ENAMETOOLONG;
                continue;
            }
            std::string tmpl = file.path + ".tmpXXXXXX";
            std::vector<char> name(tmpl.begin(), tmpl.end());
            name.push_back('\0');
            const int fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd < 0) {
                file.nErrno = errno;
                continue;
            }
            int err = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
            if (err == 0)
                err = WriteAllTo(fd, file.data.data(), file.data.size());
            // Starts the writeback now, so the blocks of the whole round are
            // allocated before the first fsync commits them.
            if (err == 0)
                ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            if (err != 0) {
                ::close(fd);
                ::unlink(name.data());
                file.nErrno = err;
                continue;
            }
            round.push_back(Pending { &file, std::move(name), fd, false });
        }
        // Every file keeps its fsync, issued from a few threads at once: the
        // journal commits them together and the disk merges their cache
        // flushes, where one after the other each waits for its own.
        ForEachOnThreads(round.size(), [&round](size_t i) {
            Pending& p = round[i];
            int err = ::fsync(p.fd) == 0 ? 0 : errno;
            if (::close(p.fd) != 0 && err == 0)
                err = errno;
            p.pFile->nErrno = err;
        });
        // Renamed only once all are durable, so no rename adds to the
        // transaction the fsyncs wait for. From threads too: on a busy disk a
        // rename often waits for a journal commit (anyone's), and one after
        // the other those waits added up to a second or more per 1,000 files.
        ForEachOnThreads(round.size(), [&round](size_t i) {
            Pending& p = round[i];
            if (p.pFile->nErrno != 0) {
                ::unlink(p.tmp.data());
                return;
            }
            p.bNewName = !FileExists(p.pFile->path);
            if (::rename(p.tmp.data(), p.pFile->path.c_str()) != 0) {
                p.pFile->nErrno = errno;
                ::unlink(p.tmp.data());
            }
        });
        for (const Pending& p : round) {
            if (p.pFile->nErrno != 0)
                continue;
            ++nWritten;
            // As in WriteFileAtomic, only a new name needs its folder synced.
            if (p.bNewName) {
                std::string folder = _GetFolderFromPath(p.pFile->path);
                if (std::find(newNameFolders.begin(), newNameFolders.end(), folder) == newNameFolders.end())
                    newNameFolders.push_back(std::move(folder));
            }
        }
    }
    for (const std::string& folder : newNameFolders)
        SyncFolder(folder);
    return nWritten;
}

bool IsDiskFullError(int err)
{
    return err == ENOSPC || err == EDQUOT;
}

bool DeleteFolderAndFiles(const std::string& folder, bool recursive)
{
    if (folder.empty() || folder.size() > kMaxPath)
        return false;
    // Opening without following a link keeps a link named as the folder from
    // leading the deletion into another tree.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0)
        return false;
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return false;
    }
    std::vector<std::string> subfolders;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue;
        struct stat st;
        if (::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (recursive)
                subfolders.push_back(name);
        } else {
            ::unlinkat(dfd, name, 0);
        }
    }
    ::closedir(dir);
    for (const std::string& sub : subfolders)
        DeleteFolderAndFiles(FilePathCat(folder, sub), true);
    return ::rmdir(folder.c_str()) == 0;
}

uint32_t GetDriveFreeSpaceKB(const std::string& path)
{
    struct statvfs st;
    if (path.empty() || path.size() > kMaxPath || ::statvfs(path.c_str(), &st) != 0)
        return 0x1000000;
    unsigned __int128 bytes = static_cast<unsigned __int128>(st.f_bavail) * st.f_frsize;
    unsigned __int128 kb = bytes / 1024;
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && path.size() <= kMaxPath && ::lstat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path)
{
    if (path.empty() || path.size() > kMaxPath)
        return false;
    if (::mkdir(path.c_str(), 0700) == 0)
        return true;
    struct stat st;
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileAt(const std::string& path)
{
    if (path.empty() || path.size() > kMaxPath)
        return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

static bool CopyFileContents(const std::string& from, const std::string& to)
{
    LFile in;
    if (!in.Open(from, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting))
        return false;
    std::vector<char> data(static_cast<size_t>(in.GetFileSizeBytes()));
    if (in.Read(data.data(), data.size()) != data.size())
        return false;
    return WriteFileAtomic(to, data.data(), data.size());
}

bool MoveFileTo(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty() || from.size() > kMaxPath || to.size() > kMaxPath)
        return false;
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    if (!CopyFileContents(from, to))
        return false;
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty() || from.size() > kMaxPath || to.size() > kMaxPath)
        return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EXDEV)
        return false;
    // File systems without the flag: a hard link refuses an existing target too.
    if (errno != EXDEV && ::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (FileExists(to))
        return false;
    return MoveFileTo(from, to);
}

// The folder and name of a path made here: only '/' separates them, since
// the partial file must lie in the very folder of the target.
static std::pair<std::string, std::string> SplitAtSlash(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return { ".", path };
    return { slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1) };
}

std::string CreatePartialFile(const std::string& target)
{
    const auto [folder, name] = SplitAtSlash(target);
    if (name.empty() || target.size() + 16 > kMaxPath)
        return {};
    std::string tmpl = FilePathCat(folder, "." + name + ".partXXXXXX");
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return tmpl;
}

bool CommitPartialFile(const std::string& partial, const std::string& target)
{
    const int fd = ::open(partial.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    bool bOk = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    bOk = bOk && ::rename(partial.c_str(), target.c_str()) == 0;
    if (!bOk) {
        ::unlink(partial.c_str());
        return false;
    }
    SyncFolder(SplitAtSlash(target).first);
    return true;
}
