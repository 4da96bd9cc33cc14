#include "dictation/LDictationList.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFolderReader.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>

namespace {

// A broken file this young may still be arriving (a copy, a download):
// it is left for a later scan rather than set aside.
constexpr time_t kSettleSeconds = 10;
// How many ".N.bad" names to try beside an existing ".bad".
constexpr int kBadNameAttempts = 100;

bool EndsWithDdf(std::string_view name)
{
    // The last letter first: it turns away the cut files ("N_C.dau") at once.
    return name.size() > 4 && (name.back() == 'f' || name.back() == 'F')
        && EqualsNoCase(name.substr(name.size() - 4), ".ddf");
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A temporary file of a header save ("N.ddf.tmpXXXXXX") older than this was
// left by a killed save: no save takes a minute.
constexpr time_t kStaleTempSeconds = 60;

bool IsOurTempName(std::string_view name)
{
    constexpr std::string_view kMiddle = ".ddf.tmp";
    if (name.size() <= kMiddle.size() + 6)
        return false;
    // The number before it holds no dot, so this is its first occurrence.
    const size_t at = name.size() - kMiddle.size() - 6;
    if (name.substr(at, kMiddle.size()) != kMiddle)
        return false;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    auto isAlnum = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(at), isDigit)
        && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(at + kMiddle.size()), name.end(), isAlnum);
}

enum class SetAsideResult { Renamed, Left, Failed };

// Renames a file that is not a dictation header file out of the scan's way,
// keeping every byte.
SetAsideResult SetAside(const std::string& path, const struct stat& judged)
{
    struct stat now;
    // Replaced or changed since it was judged (a save renamed a good file
    // over it): not the file that was found broken.
    if (::stat(path.c_str(), &now) != 0 || !SameFile(now, judged))
        return SetAsideResult::Left;
    if (std::time(nullptr) - now.st_mtim.tv_sec < kSettleSeconds)
        return SetAsideResult::Left;
    if (MoveFileNoReplace(path, path + ".bad"))
        return SetAsideResult::Renamed;
    for (int n = 2; n < kBadNameAttempts; ++n)
        if (MoveFileNoReplace(path, path + "." + std::to_string(n) + ".bad"))
            return SetAsideResult::Renamed;
    return SetAsideResult::Failed;
}

} // namespace

LDictationList::LDictationList(const std::string& folder)
{
    Build(folder);
}

size_t LDictationList::Build(const std::string& folder)
{
    m_entries.Clear();
    m_uNextIndex = 0;
    m_nBrokenLeft = 0;
    struct Name {
        std::string name;
        unsigned char type;
    };
    std::vector<Name> names;
    LFolderReader reader(folder);
    const time_t now = std::time(nullptr);
    LFolderReader::Entry entry;
    while (reader.Next(&entry)) {
        if (entry.type == DT_DIR)
            continue;
        // Most names are cut files: one look at the end settles them.
        if (EndsWithDdf(entry.name)) {
            names.push_back({ std::string(entry.name), entry.type });
            continue;
        }
        struct stat st;
        if (IsOurTempName(entry.name) && ::fstatat(reader.Fd(), entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode) && now - st.st_mtim.tv_sec > kStaleTempSeconds)
            ::unlinkat(reader.Fd(), entry.name.data(), 0);
    }
    for (const Name& name : names) {
        std::string path = FilePathCat(folder, name.name);
        // Only regular files are opened, never a device or a pipe; where the
        // folder's entry does not say (a link, some file systems), stat does.
        if (name.type != DT_REG) {
            struct stat target;
            if ((name.type != DT_LNK && name.type != DT_UNKNOWN) || ::stat(path.c_str(), &target) != 0
                || !S_ISREG(target.st_mode))
                continue;
        }
        auto pDictation = std::make_unique<LDictation>(path, LDictation::Reading::Row);
        if (pDictation->IsValid()) {
            pDictation->nListIndex = static_cast<int>(m_uNextIndex++);
            m_entries.AddFront(std::move(pDictation));
        } else if (pDictation->GetLoadResult() == LDictation::LoadResult::Broken) {
            // Set aside only the very file judged broken: noted before a
            // second look, so a good file saved over it meanwhile is left.
            struct stat judged;
            if (::stat(path.c_str(), &judged) != 0 || !S_ISREG(judged.st_mode))
                continue;
            if (LDictation(path, LDictation::Reading::Row).GetLoadResult() != LDictation::LoadResult::Broken)
                continue;
            if (SetAside(path, judged) == SetAsideResult::Failed)
                ++m_nBrokenLeft;
        }
    }
    return m_entries.Count();
}

LDictation* LDictationList::NewDictation(std::string_view name)
{
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return nullptr;
    return NewDictation(engine.GetCurrentFolder(), name);
}

LDictation* LDictationList::NewDictation(const std::string& folder, std::string_view name)
{
    auto pDictation = std::make_unique<LDictation>(folder, name);
    m_nLastNewErrno = pDictation->GetLastErrno();
    if (!pDictation->IsValid())
        return nullptr;
    LDictation* pResult = pDictation.get();
    return AddDictation(pDictation) ? pResult : nullptr;
}

bool LDictationList::IsIndexUsed(int nIndex) const
{
    for (const LDictation& entry : m_entries)
        if (entry.nListIndex == nIndex)
            return true;
    return false;
}

bool LDictationList::AddDictation(std::unique_ptr<LDictation>& pDictation)
{
    if (!pDictation)
        return false;
    for (const LDictation& entry : m_entries)
        if (entry.GetPath() == pDictation->GetPath())
            return false;
    while (IsIndexUsed(static_cast<int>(m_uNextIndex)))
        ++m_uNextIndex;
    pDictation->nListIndex = static_cast<int>(m_uNextIndex++);
    m_entries.AddFront(std::move(pDictation));
    return true;
}

LDictation* LDictationList::FindDictation(int nIndex) const
{
    for (auto it = m_entries.GetFirst(); it.IsValid(); it.Next())
        if (it->nListIndex == nIndex)
            return it.Get();
    return nullptr;
}

LDictation* LDictationList::FindFileNumber(uint32_t uFileNumber) const
{
    for (auto it = m_entries.GetFirst(); it.IsValid(); it.Next())
        if (it->GetFileNumber() == uFileNumber)
            return it.Get();
    return nullptr;
}

bool LDictationList::DeleteDictation(int nIndex)
{
    for (auto it = m_entries.GetFirst(); it.IsValid(); it.Next()) {
        if (it->nListIndex == nIndex) {
            bool bDeleted = it->Delete();
            m_entries.Detach(it);
            return bDeleted;
        }
    }
    return false;
}

StatusFileResult LDictationLoadStatusFile(
    const std::string& path, const std::string& sentFolder, std::vector<StatusFileUpdate>* pUpdates, size_t* pnUnsaved)
{
    if (pUpdates)
        pUpdates->clear();
    if (pnUnsaved)
        *pnUnsaved = 0;
    LStatusFile file;
    StatusFileResult result = file.Open(path);
    if (result != StatusFileResult::Ok)
        return result;

    struct Target {
        LDictation* pDictation;
        std::string szStatus;
        uint32_t tStatus;
        bool bMatched;
    };
    LDictationList sent(sentFolder);
    std::unordered_map<uint32_t, std::vector<Target>> byNumber;
    for (auto it = sent.GetFirst(); it.IsValid(); it.Next())
        byNumber[it->GetFileNumber()].push_back(Target { it.Get(), std::string(), it->Header().uStatusTime, false });

    // The time applied is kept with the status, so a typist's several files,
    // read in any order, end at the latest record and never step back to an
    // older one; each dictation is written once, with that result.
    StatusRecord record;
    while (file.ReadRecord(&record)) {
        auto found = byNumber.find(record.uFileNumber);
        if (found == byNumber.end())
            continue;
        for (Target& target : found->second) {
            if (target.tStatus > record.tStatus)
                continue;
            target.szStatus = record.szStatus;
            target.tStatus = record.tStatus;
            target.bMatched = true;
        }
    }
    // Saved together: a save each would wait for the disk once per dictation.
    std::vector<LDictation*> saving;
    std::vector<StatusFileUpdate> changed;
    std::vector<bool> textChanged;
    for (auto& [number, targets] : byNumber) {
        for (Target& target : targets) {
            if (!target.bMatched)
                continue;
            LDictation& d = *target.pDictation;
            bool bChanged = d.GetSendStatus() != target.szStatus;
            if (!bChanged && d.Header().uStatusTime == target.tStatus)
                continue;
            d.PutSendStatus(target.szStatus, target.tStatus);
            saving.push_back(&d);
            changed.push_back(StatusFileUpdate { number, target.szStatus });
            textChanged.push_back(bChanged);
        }
    }
    const size_t nSaved = LDictation::SaveAll(saving);
    if (pnUnsaved)
        *pnUnsaved = saving.size() - nSaved;
    for (size_t i = 0; i < saving.size(); ++i)
        if (pUpdates && textChanged[i] && saving[i]->GetLastErrno() == 0)
            pUpdates->push_back(std::move(changed[i]));
    if (pUpdates)
        std::sort(pUpdates->begin(), pUpdates->end(),
            [](const StatusFileUpdate& a, const StatusFileUpdate& b) { return a.uFileNumber < b.uFileNumber; });
    return StatusFileResult::Ok;
}

StatusFileResult LDictationLoadStatusFile(const std::string& path)
{
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return StatusFileResult::NotOpened;
    return LDictationLoadStatusFile(path, engine.GetSentFolder());
}
