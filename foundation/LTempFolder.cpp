#include "foundation/LTempFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace {

constexpr std::string_view kFolderPrefix = "tavrine-";

std::mutex g_mutex;
std::string g_path;
std::atomic<unsigned> g_counter { 0 };

std::string SystemTempRoot()
{
    const char* szTmp = std::getenv("TMPDIR");
    if (szTmp && *szTmp == '/')
        return szTmp;
    return "/tmp";
}

// Everything goes, hidden names included; links are removed, never followed.
void RemoveTree(int parentFd, const char* szName)
{
    int fd = ::openat(parentFd, szName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR* pDir = ::fdopendir(fd)) {
            while (dirent* pEntry = ::readdir(pDir)) {
                std::string_view name(pEntry->d_name);
                if (name == "." || name == "..")
                    continue;
                if (::unlinkat(fd, pEntry->d_name, 0) != 0 && (errno == EISDIR || errno == EPERM))
                    RemoveTree(fd, pEntry->d_name);
            }
            ::closedir(pDir);
        } else {
            ::close(fd);
        }
    }
    ::unlinkat(parentFd, szName, AT_REMOVEDIR);
}

void RemoveFolder(const std::string& path)
{
    RemoveTree(AT_FDCWD, path.c_str());
}

// A folder "tavrine-PID-XXXXXX" of ours whose process is gone was left by a
// kill; nobody else will remove it.
void RemoveStaleFolders(const std::string& root)
{
    DIR* pDir = ::opendir(root.c_str());
    if (!pDir)
        return;
    uid_t uid = ::getuid();
    while (dirent* pEntry = ::readdir(pDir)) {
        std::string_view name(pEntry->d_name);
        if (name.substr(0, kFolderPrefix.size()) != kFolderPrefix)
            continue;
        std::string_view rest = name.substr(kFolderPrefix.size());
        size_t nDash = rest.find('-');
        if (nDash == std::string_view::npos || nDash == 0 || nDash > 9)
            continue;
        pid_t pid = 0;
        bool bDigits = true;
        for (char c : rest.substr(0, nDash)) {
            if (c < '0' || c > '9') {
                bDigits = false;
                break;
            }
            pid = pid * 10 + (c - '0');
        }
        if (!bDigits || pid <= 0 || pid == ::getpid())
            continue;
        std::string full = root + "/" + std::string(name);
        struct stat st;
        if (::lstat(full.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
            continue;
        if (::kill(pid, 0) == 0 || errno == EPERM)
            continue;
        RemoveFolder(full);
    }
    ::closedir(pDir);
}

void RemoveAtExit()
{
    LTempFolder::RemoveAll();
}

} // namespace

const std::string& LTempFolder::Path()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_path.empty())
        return g_path;
    static bool bRegistered = false;
    std::string root = SystemTempRoot();
    RemoveStaleFolders(root);
    std::string pattern = root + "/" + std::string(kFolderPrefix) + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return g_path; // empty: callers fail rather than fall back to a shared folder
    ::chmod(pattern.c_str(), 0700);
    g_path = pattern;
    if (!bRegistered) {
        bRegistered = true;
        std::atexit(RemoveAtExit);
    }
    return g_path;
}

std::string LTempFolder::CreateFile(const std::string& prefix, const std::string& suffix, int* pFd)
{
    const std::string& folder = Path();
    if (folder.empty())
        return {};
    for (int nTry = 0; nTry < 1000; ++nTry) {
        std::string path = folder + "/" + prefix + std::to_string(++g_counter) + suffix;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        if (pFd)
            *pFd = fd;
        else
            ::close(fd);
        return path;
    }
    return {};
}

std::string LTempFolder::CreateSubfolder(const std::string& prefix)
{
    const std::string& folder = Path();
    if (folder.empty())
        return {};
    for (int nTry = 0; nTry < 1000; ++nTry) {
        std::string path = folder + "/" + prefix + std::to_string(++g_counter);
        if (::mkdir(path.c_str(), 0700) == 0)
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

void LTempFolder::RemoveAll()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_path.empty())
        return;
    RemoveFolder(g_path);
    g_path.clear();
}
