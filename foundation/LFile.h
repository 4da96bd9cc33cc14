// A file handle with the share modes that the window's thread and the send
// thread rely on, emulated by advisory flock locks (non-blocking): an open
// that another holder's lock refuses fails as a sharing violation, and
// OpenFileRetry waits and tries again. Owned by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Longest path this system opens, creates or deletes; a longer one is an error
// (ENAMETOOLONG) that the caller reports, never cut to name another file.
inline constexpr size_t kMaxPath = 4095;

class LFile {
public:
    enum Access : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3 };
    // What other holders may do while this handle is open.
    enum Share : unsigned { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareReadWrite = 3 };
    enum Creation {
        kOpenExisting, // fails when missing
        kCreateAlways, // creates or truncates
        kOpenAlways, // opens, creating when missing
        kCreateNew, // fails when it exists (a symbolic link included)
    };
    // NotRegular and IsFolder: the path names a FIFO, a device, a socket or a
    // folder, which is never opened as a document (a FIFO would block).
    enum class Error { None, SharingViolation, NotFound, Exists, NameTooLong, NotRegular, IsFolder, Other };

    LFile() = default;
    ~LFile();
    LFile(LFile&& other) noexcept;
    LFile& operator=(LFile&& other) noexcept;
    LFile(const LFile&) = delete;
    LFile& operator=(const LFile&) = delete;

    // Opens regular files only, without blocking; a file created gets the mode.
    bool Open(const std::string& path, Access access, Share share, Creation creation, unsigned mode = 0644);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    Error LastError() const { return m_error; }
    int LastErrno() const { return m_errno; }

    // Reads up to nBytes; returns the count read (short only at the end or on error).
    size_t Read(void* pBuf, size_t nBytes);
    // Writes all of pBuf; false (with the error kept) when any byte was not written.
    bool Write(const void* pBuf, size_t nBytes);
    // Moves up to nBytes from a pipe into the file at its position without
    // copying them through this process (a plain copy where the file system
    // cannot); waits for the pipe's first byte. The count moved, 0 at the
    // pipe's end, -1 on failure (the error kept).
    int64_t MoveFromPipe(int nPipeFd, size_t nBytes);
    // Positions from the start of the file; nothing happens on a closed file.
    bool Seek(uint64_t pos);
    uint64_t Tell() const;
    bool Truncate();
    uint64_t GetFileSizeBytes() const;
    // Flushes data and metadata to the disk (before a rename makes a file current).
    bool Sync();

    static constexpr unsigned kWaitForever = 0xFFFFFFFFu;
    // Opens a lock file (created with the mode when missing, never through a
    // link; read-only when it cannot be written) and takes its flock, shared
    // or exclusive, waiting as OpenFileRetry does, or blocking for
    // kWaitForever. The path must still name the file locked afterwards,
    // since a holder that deletes its lock file on release may have done so
    // meanwhile. A refusal fails as a sharing violation.
    bool OpenLock(const std::string& path, bool bExclusive, unsigned timeoutMs, unsigned mode = 0600);

private:
    bool Fail(int err);
    // Closes and clears the error; false for an empty or too long path.
    bool Reset(const std::string& path);

    int m_fd = -1;
    Error m_error = Error::None;
    int m_errno = 0;
};

// Opens with the sharing-violation retry: waits (timeout + 127) / 256 ms (at
// least 1 ms), doubling, and gives up at the deadline; any other error gives up at once.
bool OpenFileRetry(LFile& file, const std::string& path, LFile::Access access, LFile::Share share, unsigned timeoutMs,
    LFile::Creation creation, unsigned mode = 0644);
// True when the file exists and another holder keeps it open with a lock.
bool IsFileInUse(const std::string& path);
// Size of a file by path; 0 when it cannot be read.
uint64_t GetFileSizeBytes(const std::string& path);
// At most the first 65536 bytes of a file; false for an empty or missing one.
bool ReadTextFile(const std::string& path, std::string* pText);
// Writes a whole file so that a crash leaves the old or the new content:
// temporary file beside it ("NAME.tmpXXXXXX"), every write checked, fsync,
// rename over the old, and a sync of the folder when the name is new.
// On failure errno tells why (ENOSPC, EDQUOT: the disk is full).
bool WriteFileAtomic(const std::string& path, const void* pData, size_t nBytes, unsigned mode = 0644);
// The same for a file that must not exist yet: false with errno EEXIST when
// the path is taken, so two writers never replace each other's new file.
bool WriteNewFileAtomic(const std::string& path, const void* pData, size_t nBytes, unsigned mode = 0644);
// One file of WriteFilesAtomic; nErrno is set to why it was not written, or 0.
struct AtomicFileWrite {
    std::string path;
    std::vector<uint8_t> data;
    int nErrno = 0;
};
// WriteFileAtomic for many files, each whole or untouched after a crash as
// there: every temporary file is written before any is synced, so one journal
// commit carries them all, instead of one commit each. A file that fails
// leaves the others to be written. The paths must differ. Returns how many
// were written.
size_t WriteFilesAtomic(std::vector<AtomicFileWrite>& files, unsigned mode = 0644);
// True for the errors of a full disk or an exhausted quota.
bool IsDiskFullError(int err);
// fsync of a folder ("" is the current one), so that a new or renamed name in
// it outlasts a power cut; SyncFolderOf syncs the folder holding the path.
bool SyncFolder(const std::string& folder);
bool SyncFolderOf(const std::string& path);
// Deletes the files of a folder whose names do not begin with '.', then the
// folder; recursive into such subfolders when asked. Symbolic links are
// removed as links and never followed. True when the folder itself was removed.
bool DeleteFolderAndFiles(const std::string& folder, bool recursive = false);
// Free space available to the user on the file system holding the path, in
// KiB, saturated at 0xFFFFFFFF; 0x1000000 when it cannot be read.
uint32_t GetDriveFreeSpaceKB(const std::string& path);
bool FileExists(const std::string& path);
bool CreateFolder(const std::string& path); // true when it exists afterwards
bool DeleteFileAt(const std::string& path); // true when it is gone afterwards
bool MoveFileTo(const std::string& from, const std::string& to); // rename, or copy and delete across file systems
// Flushes a folder's entries (after a rename or a delete in it) to the disk.
bool SyncFolder(const std::string& folder);
// Moves without replacing: false when the target exists or the move fails.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
// A file streamed in parts that must appear whole or not at all (a transfer
// file, a saved copy): CreatePartialFile makes a new hidden file beside the
// target (".NAME.partXXXXXX", mode 0600) to write into; CommitPartialFile
// syncs it and renames it over the target. A failed write deletes the
// partial file and leaves an old target as it was. Empty or false on failure.
std::string CreatePartialFile(const std::string& target);
bool CommitPartialFile(const std::string& partial, const std::string& target);
