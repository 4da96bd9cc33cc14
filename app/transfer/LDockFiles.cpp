#include "app/transfer/LDockFiles.h"

#include "app/transfer/LLoadFile.h"
#include "dictation/LDictation.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <map>
#include <vector>

namespace {

using namespace DockKeys;

struct Entry {
    std::string path;
    int64_t t = 0;
};

bool EndsWithNoCase(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

// The names in a folder, sorted, hidden ones left out, that are folders
// (bFolders) or regular files (links followed: a recorder's card may be
// mounted anywhere).
std::vector<std::string> List(const std::string& folder, bool bFolders)
{
    std::vector<std::string> names;
    DIR* pDir = ::opendir(folder.c_str());
    if (!pDir)
        return names;
    while (const dirent* pEntry = ::readdir(pDir)) {
        const std::string name = pEntry->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        struct stat st { };
        if (::fstatat(::dirfd(pDir), name.c_str(), &st, 0) != 0)
            continue;
        if (bFolders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))
            names.push_back(name);
    }
    ::closedir(pDir);
    std::sort(names.begin(), names.end());
    return names;
}

// The dictation's header was written through a synced rename; its cut files
// and attachments were written without a sync, so they are synced here
// before the file they came from may go.
bool SyncDictation(const std::string& current, uint32_t uNumber)
{
    LDictation dictation(FilePathCat(current, std::to_string(uNumber) + ".ddf"));
    if (!dictation.IsValid())
        return false;
    std::vector<std::string> files;
    for (auto it = dictation.GetCutList().GetFirst(); it.IsValid(); it.Next())
        files.push_back(dictation.GetCutFileName(it->uCutNumber));
    for (auto it = dictation.GetAttachments().GetFirst(); it.IsValid(); it.Next())
        files.push_back(*it);
    for (const std::string& file : files) {
        LFile handle;
        if (!handle.Open(file, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting) || !handle.Sync())
            return false;
    }
    return SyncFolder(current)
        && (dictation.GetAttachments().Count() == 0 || SyncFolder(dictation.GetAttachmentFolder()));
}

// A refused file is remembered by its real path, so that a folder given
// relative, or through a link, names it alike.
std::string RefusedKey(const std::string& path)
{
    char* szReal = ::realpath(path.c_str(), nullptr);
    if (!szReal)
        return path;
    std::string key(szReal);
    std::free(szReal);
    return key;
}

class Walk {
public:
    Walk(LDockFileHost& host, const LDockFileOptions& options, const std::string& current)
        : m_host(host)
        , m_options(options)
        , m_current(current)
    {
        m_tLastDate = kLastDate.Get();
        // Taken once: a file loaded now never hides an older one met later.
        m_tThreshold = options.bOnlyNewFiles ? m_tLastDate + 1 : 0;
        for (const std::string& key : GetSettingNames(kRefusedSection))
            m_refused[key] = GetSettingString(kRefusedSection, key, {});
    }

    LDockFileResult Run()
    {
        const std::string& top = m_options.folder;
        struct stat st { };
        if (top.empty() || ::stat(top.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            m_result.bNoFolder = true;
            return m_result;
        }
        for (const std::string& s : List(top, true)) {
            const std::string sub = FilePathCat(top, s);
            for (const std::string& t : List(sub, true))
                LoadFolder(FilePathCat(sub, t));
            LoadFolder(sub);
        }
        LoadFolder(top);
        return Finish();
    }

private:
    void LoadFolder(const std::string& folder)
    {
        const std::vector<std::string> names = List(folder, false);
        for (const char* szPattern : kDockPatterns) {
            std::vector<Entry> files;
            for (const std::string& name : names) {
                if (!EndsWithNoCase(name, szPattern))
                    continue;
                Entry entry { FilePathCat(folder, name), DockFileTime(FilePathCat(folder, name)) };
                if (entry.t >= 0 && entry.t >= m_tThreshold)
                    files.push_back(entry);
            }
            for (size_t i = 0; i < files.size(); ++i) {
                if (!m_result.bStopped && IsRefused(files[i].path)) {
                    ++m_result.nPassedOver;
                    continue;
                }
                // Once stopped, every file still to come is only kept for next time.
                const int nLoad = m_result.bStopped ? kStopped : LoadOne(files[i]);
                if (nLoad == kLoaded)
                    continue;
                if (nLoad == kRefused) {
                    // Told once and passed over from now on: failing on it at
                    // every dock would hold back the files after it for good.
                    Refuse(files[i].path);
                    ++m_result.nFailed;
                    continue;
                }
                // This pattern ends here; what it leaves is tried next time.
                for (size_t j = nLoad == kLoadedNotSent ? i + 1 : i; j < files.size(); ++j)
                    m_tKeepBelow = std::min(m_tKeepBelow, files[j].t);
                if (nLoad == kStopped)
                    m_result.bStopped = true;
                else
                    ++m_result.nFailed;
                break;
            }
        }
    }

    bool IsRefused(const std::string& path) const
    {
        auto it = m_refused.find(RefusedKey(path));
        return it != m_refused.end() && it->second == DockRefusedStamp(path);
    }

    void Refuse(const std::string& path)
    {
        m_result.refused.push_back(path);
        const std::string key = RefusedKey(path);
        const std::string stamp = DockRefusedStamp(path);
        if (!stamp.empty() && SetSettingString(kRefusedSection, key, stamp))
            m_refused[key] = stamp;
    }

    // What is remembered of files under the docked folder that are gone or
    // have changed since goes: they are tried as new when met again.
    void Forget()
    {
        const std::string top = RefusedKey(m_options.folder) + "/";
        for (auto it = m_refused.begin(); it != m_refused.end();) {
            if (it->first.compare(0, top.size(), top) == 0 && DockRefusedStamp(it->first) != it->second
                && DeleteSetting(kRefusedSection, it->first))
                it = m_refused.erase(it);
            else
                ++it;
        }
    }

    enum { kLoaded, kLoadedNotSent, kRefused, kFailed, kStopped };
    int LoadOne(const Entry& file)
    {
        uint32_t uNumber = 0;
        bool bRefused = false;
        const JobResult nLoad = m_host.Load(file.path, &uNumber, &bRefused);
        if (nLoad != JobResult::kDone)
            return nLoad == JobResult::kStopped ? kStopped : bRefused ? kRefused : kFailed;
        ++m_result.nLoaded;
        m_tNewest = std::max(m_tNewest, file.t);
        if (m_options.bDeleteFiles
            && (!SyncDictation(m_current, uNumber) || (::unlink(file.path.c_str()) != 0 && errno != ENOENT)))
            m_host.DeleteFailed(file.path);
        m_host.Loaded(file.path, uNumber);
        if (m_options.bAutoSend && !m_host.Send(uNumber))
            return kLoadedNotSent;
        return kLoaded;
    }

    LDockFileResult Finish()
    {
        Forget();
        int64_t tStore = std::min(m_tNewest, m_tKeepBelow - 1);
        tStore = std::min<int64_t>(tStore, INT_MAX);
        if (tStore > m_tLastDate)
            kLastDate.Set(static_cast<int>(tStore));
        return m_result;
    }

    LDockFileHost& m_host;
    const LDockFileOptions& m_options;
    const std::string& m_current;
    int64_t m_tLastDate = 0;
    int64_t m_tThreshold = 0;
    int64_t m_tNewest = INT64_MIN;
    int64_t m_tKeepBelow = INT64_MAX;
    LDockFileResult m_result;
    std::map<std::string, std::string> m_refused; // real path -> stamp
};

} // namespace

LDockFileOptions LDockFileOptions::Read()
{
    LDockFileOptions options;
    options.folder = kFolder.Get();
    options.bDeleteFiles = kDeleteFiles.Get();
    options.bOnlyNewFiles = kOnlyNewFiles.Get();
    options.bAutoSend = kAutoSend.Get();
    return options;
}

bool LDockFileOptions::Store() const
{
    bool bAll = kFolder.Set(folder);
    bAll = kDeleteFiles.Set(bDeleteFiles) && bAll;
    bAll = kOnlyNewFiles.Set(bOnlyNewFiles) && bAll;
    return kAutoSend.Set(bAutoSend) && bAll;
}

int64_t DockFileTime(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    const time_t t = st.st_mtim.tv_sec;
    std::tm local {};
    if (!::localtime_r(&t, &local))
        return -1;
    return static_cast<int64_t>(t) + local.tm_gmtoff;
}

std::string DockRefusedStamp(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string nsec = std::to_string(st.st_mtim.tv_nsec);
    nsec.insert(0, 9 - std::min<size_t>(nsec.size(), 9), '0');
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." + nsec;
}

LDockFileResult DockFiles(LDockFileHost& host, const LDockFileOptions& options, const std::string& current)
{
    return Walk(host, options, current).Run();
}
