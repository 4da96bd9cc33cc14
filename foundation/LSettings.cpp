#include "foundation/LSettings.h"

#include "foundation/LFile.h"
#include "foundation/LSettingsFile.h"
#include "foundation/LText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file holds a few hundred short values; anything far larger is not
// ours, and a write must not replace it with the part that was understood.
constexpr size_t kMaxSettingsFileBytes = 4u << 20;

constexpr mode_t kUserFolderMode = 0700;
constexpr mode_t kUserFileMode = 0600;
// Machine-wide settings are read by every user and written by administrators.
constexpr mode_t kMachineFolderMode = 0755;
constexpr mode_t kMachineFileMode = 0644;

std::string ConfigHome()
{
    // Relative values are to be ignored, as the XDG base directory rules say.
    const char* szConfig = std::getenv("XDG_CONFIG_HOME");
    if (szConfig && szConfig[0] == '/')
        return szConfig;
    const char* szHome = std::getenv("HOME");
    if (szHome && szHome[0] == '/')
        return std::string(szHome) + "/.config";
    struct passwd pw;
    struct passwd* pResult = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &pResult) == 0 && pResult && pw.pw_dir && pw.pw_dir[0] == '/')
        return std::string(pw.pw_dir) + "/.config";
    return std::string();
}

std::string InConfigHome(const char* szFile)
{
    std::string home = ConfigHome();
    return home.empty() ? home : home + "/Orvane/Tavrine/" + szFile;
}

class LFd {
public:
    explicit LFd(int fd = -1)
        : m_fd(fd)
    {
    }
    ~LFd() { Reset(); }
    LFd(const LFd&) = delete;
    LFd& operator=(const LFd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string* pText)
{
    pText->clear();
    if (path.empty())
        return ReadResult::Failed;
    // Non-blocking so that a FIFO put in the file's place cannot hang a reader.
    LFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)
        || static_cast<uint64_t>(st.st_size) > kMaxSettingsFileBytes)
        return ReadResult::Failed;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadResult::Failed;
        if (n == 0)
            break;
        pText->append(buf, static_cast<size_t>(n));
        if (pText->size() > kMaxSettingsFileBytes)
            return ReadResult::Failed;
    }
    return ReadResult::Ok;
}

// False when the file exists but cannot be read; a missing file is empty.
bool LoadFile(const std::string& path, LSettingsFile* pFile)
{
    std::string text;
    ReadResult result = ReadWholeFile(path, &text);
    if (result == ReadResult::Failed)
        return false;
    pFile->Parse(text);
    return true;
}

bool MakeFolders(const std::string& folder, mode_t mode)
{
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (errno != ENOENT)
        return false;
    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), mode))
        return false;
    return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// A link to the file (a dotfile kept elsewhere) stays a link: the writer
// works beside its target. A dangling link is left alone rather than replaced.
bool ResolveTarget(const std::string& path, std::string* pTarget)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        *pTarget = path;
        return true;
    }
    char* szReal = ::realpath(path.c_str(), nullptr);
    if (!szReal)
        return false;
    *pTarget = szReal;
    std::free(szReal);
    return true;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix)
{
    DIR* pDir = ::opendir(folder.c_str());
    if (!pDir)
        return;
    while (struct dirent* pEntry = ::readdir(pDir))
        if (std::strncmp(pEntry->d_name, prefix.c_str(), prefix.size()) == 0)
            ::unlinkat(::dirfd(pDir), pEntry->d_name, 0);
    ::closedir(pDir);
}

// Edits return whether they changed anything; unchanged files are not rewritten.
using LSettingsEdit = std::function<bool(LSettingsFile&)>;

// Rewrites a settings file so that a crash leaves the old or the new version and
// concurrent writers in any process never lose each other's changes.
bool ModifyFile(const std::string& path, mode_t folderMode, mode_t fileMode, const LSettingsEdit& edit)
{
    std::string target;
    if (path.empty() || !ResolveTarget(path, &target))
        return false;
    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || !MakeFolders(folder, folderMode))
        return false;

    // The lock file is never deleted: a writer could be waiting on it, and its
    // successor would then lock a different file than the next one to come.
    LFile lock;
    if (!lock.OpenLock(target + ".lock", true, LFile::kWaitForever, fileMode))
        return false;

    LSettingsFile file;
    if (!LoadFile(target, &file))
        return false;
    if (!edit(file))
        return true;
    std::string text = file.Serialise();

    // Temporary files are made only under the lock, so any found while holding
    // it were left by a writer that died before its rename (the dotted form
    // by earlier versions).
    RemoveStaleTemporaries(folder, base + ".tmp");
    RemoveStaleTemporaries(folder, "." + base + ".tmp-");
    if (!WriteFileAtomic(target, text.data(), text.size(), fileMode))
        return false;
    // The new file is current from here on; syncing the folder only makes the
    // rename last through a power cut, so its failure cannot undo the write.
    SyncFolder(folder);
    return true;
}

bool ReadValue(const std::string& path, std::string_view section, std::string_view name, std::string* pValue)
{
    LSettingsFile file;
    if (!LoadFile(path, &file))
        return false;
    const std::string* pFound = file.Find(section, name);
    if (!pFound)
        return false;
    *pValue = *pFound;
    return true;
}

// Applies the read rules of a value found in the scope: the per-user store is
// one file; the machine-wide store reads the user's overlay before the file.
bool ReadScope(LSettingsScope scope, std::string_view section, std::string_view name, std::string* pValue)
{
    bool found;
    if (scope == LSettingsScope::User)
        found = ReadValue(GetUserSettingsPath(), section, name, pValue);
    else
        found = ReadValue(GetMachineOverlayPath(), section, name, pValue)
            || ReadValue(GetMachineSettingsPath(), section, name, pValue);
    // The first design read into 260 bytes; what would not fit read as missing.
    return found && pValue->size() <= kMaxSettingChars;
}

bool WriteScope(LSettingsScope scope, const LSettingsEdit& edit, std::string_view section, std::string_view name)
{
    if (scope == LSettingsScope::User)
        return ModifyFile(GetUserSettingsPath(), kUserFolderMode, kUserFileMode, edit);
    // Once a value lives in the overlay it is the one read, so it is the one written.
    std::string overlay = GetMachineOverlayPath();
    std::string unused;
    if (ReadValue(overlay, section, name, &unused))
        return ModifyFile(overlay, kUserFolderMode, kUserFileMode, edit);
    return ModifyFile(GetMachineSettingsPath(), kMachineFolderMode, kMachineFileMode, edit)
        || ModifyFile(overlay, kUserFolderMode, kUserFileMode, edit);
}

bool SetValue(LSettingsScope scope, std::string_view section, std::string_view name, std::string_view value)
{
    if (!LSettingsFile::IsValidName(section) || !LSettingsFile::IsValidName(name) || value.size() > kMaxSettingChars
        || value.find('\0') != std::string_view::npos)
        return false;
    return WriteScope(
        scope,
        [&](LSettingsFile& file) {
            const std::string* pOld = file.Find(section, name);
            if (pOld && *pOld == value)
                return false;
            return file.Set(section, name, value);
        },
        section, name);
}

// True when the value no longer reads from the file; one that cannot be read
// cannot be seen either, and a missing file is not created.
bool RemoveFrom(
    const std::string& path, mode_t folderMode, mode_t fileMode, std::string_view section, std::string_view name)
{
    LSettingsFile file;
    if (!LoadFile(path, &file) || !file.Find(section, name))
        return true;
    return ModifyFile(
        path, folderMode, fileMode, [&](LSettingsFile& current) { return current.Remove(section, name); });
}

std::string GetString(LSettingsScope scope, std::string_view section, std::string_view name, std::string_view def)
{
    std::string value;
    if (!ReadScope(scope, section, name, &value))
        return std::string(def);
    return value;
}

int GetInt(LSettingsScope scope, std::string_view section, std::string_view name, int def)
{
    std::string text = GetString(scope, section, name, "");
    return text.empty() ? def : ParseLeadingInt(text);
}

bool GetBool(LSettingsScope scope, std::string_view section, std::string_view name, bool def)
{
    return ParseSettingBool(GetString(scope, section, name, ""), def);
}

} // namespace

bool ParseSettingBool(std::string_view text, bool def)
{
    if (text.empty())
        return def;
    // A hand-written word would otherwise read as true by its first letter.
    for (std::string_view word : { "false", "no", "off" })
        if (EqualsNoCase(text, word))
            return false;
    return text[0] != '0';
}

bool ParseBoolWord(std::string_view text, bool* pValue)
{
    static constexpr std::pair<std::string_view, bool> kWords[] = { { "1", true }, { "0", false }, { "true", true },
        { "false", false }, { "yes", true }, { "no", false }, { "on", true }, { "off", false } };
    for (const auto& [word, value] : kWords) {
        if (EqualsNoCase(text, word)) {
            *pValue = value;
            return true;
        }
    }
    return false;
}

std::string GetUserSettingsPath()
{
    return InConfigHome("user.conf");
}

std::string GetMachineSettingsPath()
{
    const char* szPath = std::getenv("TAVRINE_MACHINE_CONFIG");
    return szPath && *szPath ? std::string(szPath) : std::string("/etc/Orvane/Tavrine/machine.conf");
}

std::string GetMachineOverlayPath()
{
    return InConfigHome("machine.conf");
}

std::string GetSettingString(std::string_view section, std::string_view name, std::string_view def)
{
    return GetString(LSettingsScope::User, section, name, def);
}

bool SetSettingString(std::string_view section, std::string_view name, std::string_view value)
{
    return SetValue(LSettingsScope::User, section, name, value);
}

bool SetSettingStrings(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values)
{
    if (!LSettingsFile::IsValidName(section))
        return false;
    for (const auto& value : values)
        if (!LSettingsFile::IsValidName(value.first) || value.second.size() > kMaxSettingChars
            || value.second.find('\0') != std::string::npos)
            return false;
    return ModifyFile(GetUserSettingsPath(), kUserFolderMode, kUserFileMode, [&](LSettingsFile& file) {
        bool bChanged = false;
        for (const auto& value : values) {
            const std::string* pOld = file.Find(section, value.first);
            if (!pOld || *pOld != value.second)
                bChanged = file.Set(section, value.first, value.second) || bChanged;
        }
        return bChanged;
    });
}

int GetSettingInt(std::string_view section, std::string_view name, int def)
{
    return GetInt(LSettingsScope::User, section, name, def);
}

bool SetSettingInt(std::string_view section, std::string_view name, int value)
{
    return SetValue(LSettingsScope::User, section, name, std::to_string(value));
}

bool GetSettingBool(std::string_view section, std::string_view name, bool def)
{
    return GetBool(LSettingsScope::User, section, name, def);
}

bool SetSettingBool(std::string_view section, std::string_view name, bool value)
{
    return SetValue(LSettingsScope::User, section, name, value ? "1" : "0");
}

bool DeleteSetting(std::string_view section, std::string_view name)
{
    return RemoveFrom(GetUserSettingsPath(), kUserFolderMode, kUserFileMode, section, name);
}

std::vector<std::string> GetSettingNames(std::string_view section)
{
    LSettingsFile file;
    if (!LoadFile(GetUserSettingsPath(), &file))
        return {};
    return file.Names(section);
}

std::string GetMachineString(std::string_view section, std::string_view name, std::string_view def)
{
    return GetString(LSettingsScope::Machine, section, name, def);
}

bool SetMachineString(std::string_view section, std::string_view name, std::string_view value)
{
    return SetValue(LSettingsScope::Machine, section, name, value);
}

int GetMachineInt(std::string_view section, std::string_view name, int def)
{
    return GetInt(LSettingsScope::Machine, section, name, def);
}

bool SetMachineInt(std::string_view section, std::string_view name, int value)
{
    return SetValue(LSettingsScope::Machine, section, name, std::to_string(value));
}

bool GetMachineBool(std::string_view section, std::string_view name, bool def)
{
    return GetBool(LSettingsScope::Machine, section, name, def);
}

bool SetMachineBool(std::string_view section, std::string_view name, bool value)
{
    return SetValue(LSettingsScope::Machine, section, name, value ? "1" : "0");
}

bool DeleteMachineSetting(std::string_view section, std::string_view name)
{
    // The machine file first: when it cannot be changed, nothing is.
    return RemoveFrom(GetMachineSettingsPath(), kMachineFolderMode, kMachineFileMode, section, name)
        && RemoveFrom(GetMachineOverlayPath(), kUserFolderMode, kUserFileMode, section, name);
}

bool RegGetString(
    LSettingsScope scope, std::string_view section, std::string_view name, std::string* pOut, std::string_view def)
{
    std::string value;
    bool found = ReadScope(scope, section, name, &value);
    if (pOut)
        *pOut = found ? std::move(value) : std::string(def);
    return found;
}

bool RegSetString(LSettingsScope scope, std::string_view section, std::string_view name, std::string_view value)
{
    return SetValue(scope, section, name, value);
}
