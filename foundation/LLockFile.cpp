#include "foundation/LLockFile.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string LLockFile::LockPathFor(const std::string& path)
{
    if (GetFileExtension(path).empty())
        return path + ".lck";
    return _ApplyNewFileExtension(path, ".lck");
}

bool LLockFile::Lock(const std::string& path)
{
    Close();
    std::string lockPath = LockPathFor(path);
    if (lockPath.size() > kMaxPath)
        return true;
    // The lock is the flock on the file, not its existence: a file left by a
    // crashed holder is simply locked again. After locking, the path must
    // still name the same file, or a releasing holder deleted it meanwhile.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int err = errno;
            ::close(fd);
            return err != EWOULDBLOCK;
        }
        struct stat held, named;
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &named) == 0 && held.st_ino == named.st_ino
            && held.st_dev == named.st_dev) {
            m_fd = fd;
            m_path = lockPath;
            return true;
        }
        ::close(fd);
    }
    return true;
}

void LLockFile::Close()
{
    if (m_fd >= 0) {
        // Deleted while still locked, so no one else can lock the old file
        // between the delete and the close.
        ::unlink(m_path.c_str());
        ::close(m_fd);
        m_fd = -1;
        m_path.clear();
    }
}
