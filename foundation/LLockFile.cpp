#include "foundation/LLockFile.h"

#include "foundation/LPath.h"

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
    // crashed holder is simply locked again.
    if (m_file.OpenLock(lockPath, true, 0))
        m_path = lockPath;
    return m_file.IsOpen() || m_file.LastError() != LFile::Error::SharingViolation;
}

void LLockFile::Close()
{
    if (m_file.IsOpen()) {
        // Deleted while still locked, so no one else can lock the old file
        // between the delete and the close.
        ::unlink(m_path.c_str());
        m_file.Close();
        m_path.clear();
    }
}
