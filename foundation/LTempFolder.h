// The process's own folder for temporary files: dictation audio on its way
// into a transfer file, decoded imports and downloaded status files are
// confidential, so they never lie in the shared temporary folder under a
// name another user could guess or read. Created on first use (mode 0700,
// files 0600) and removed with everything in it when the process exits.
// Any thread may call these.
#pragma once

#include <string>

class LTempFolder {
public:
    // The folder's path, "$TMPDIR/tavrine-PID-XXXXXX" (or under /tmp), made on
    // first call; empty when it cannot be made. Folders that earlier
    // processes of this user left behind when killed are removed then too.
    static const std::string& Path();

    // Creates a new empty file "PREFIXnnnnSUFFIX" in the folder, exclusively
    // (never an existing file, never through a link), mode 0600, and returns
    // its path; empty on failure. With pFd the file stays open for writing
    // (the caller closes it), otherwise it is closed.
    static std::string CreateFile(const std::string& prefix, const std::string& suffix, int* pFd = nullptr);

    // Makes a new empty subfolder (mode 0700) for work of several files;
    // empty on failure. The caller may delete it early with DeleteFolderAndFiles.
    static std::string CreateSubfolder(const std::string& prefix);

    // Removes the folder and everything in it; the next Path() makes a new
    // one. Called at exit by itself; tests call it to start clean.
    static void RemoveAll();
};
