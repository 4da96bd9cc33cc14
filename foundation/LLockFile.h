// A lock file that keeps a second process from working on the same thing
// (the send queue, one dictation). Held until Close, destruction or the
// process's end; the file is deleted when the lock is released.
#pragma once

#include "foundation/LFile.h"

#include <string>

class LLockFile {
public:
    LLockFile() = default;
    ~LLockFile() { Close(); }
    LLockFile(const LLockFile&) = delete;
    LLockFile& operator=(const LLockFile&) = delete;

    // Locks the file named by the path with its extension replaced by ".lck"
    // (appended when the path has none). True when the lock was taken, false
    // when another holder has it; true for any other error, so a read-only
    // folder never stops the work.
    bool Lock(const std::string& path);
    void Close();
    bool IsLocked() const { return m_file.IsOpen(); }
    static std::string LockPathFor(const std::string& path);

private:
    LFile m_file;
    std::string m_path;
};
