#include "send/LSendAutoDelete.h"

#include "dictation/LDictation.h"
#include "foundation/LFile.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"

#include <dirent.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

bool IsDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The file number of "N.ddf", "N_k.dau" or "N.lck"; empty for any other name.
std::string NumberOf(const std::string& name, const char* szEnding)
{
    const std::string ending(szEnding);
    if (name.size() <= ending.size() || name.compare(name.size() - ending.size(), ending.size(), ending) != 0)
        return std::string();
    std::string stem = name.substr(0, name.size() - ending.size());
    if (ending == ".dau") {
        const size_t underscore = stem.find('_');
        if (underscore == std::string::npos || !IsDigits(stem.substr(underscore + 1)))
            return std::string();
        stem.resize(underscore);
    }
    return IsDigits(stem) ? stem : std::string();
}

// A leftover of WriteFileAtomic ("N.ddf.tmpXXXXXX", "sending.dat.tmpXXXXXX")
// or of the queue's rewrite before it used that writer ("sending.dat.tmp").
bool IsOurTemporary(const std::string& name)
{
    constexpr std::string_view kQueueTemp = "sending.dat.tmp";
    const size_t at = name.find(".ddf.tmp");
    return name == kQueueTemp || (name.size() == kQueueTemp.size() + 6 && name.starts_with(kQueueTemp))
        || (at != std::string::npos && IsDigits(name.substr(0, at)) && name.size() == at + 8 + 6);
}

// The later of the last write and the last rename: a cut file moved here a
// minute ago is recent, however old its audio.
int64_t LastTouched(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return INT64_MAX;
    return std::max<int64_t>(st.st_mtime, st.st_ctime);
}

} // namespace

LSendAutoDelete::Result LSendAutoDelete::Process(
    const std::string& sentFolder, const std::string& queuePath, int nDays, uint32_t tNow)
{
    Result result;
    if (nDays <= 0)
        return result;
    const int64_t tCutOff = static_cast<int64_t>(tNow) - static_cast<int64_t>(nDays) * 86400;

    std::set<std::string> queued;
    {
        LProcessListFile::Lock lock;
        LProcessListHeader header;
        using Status = LProcessListFile::Status;
        const Status status = lock.Take(queuePath, false, LProcessListThread::kLockTimeoutMs)
            ? LProcessListFile::Walk(queuePath, &header,
                [&](const SendJobItem& item) {
                    queued.insert(std::string(item.DictationPath()));
                    return true;
                })
            : Status::Unreadable;
        if (status != Status::Ok && status != Status::Missing && status != Status::Empty) {
            result.bQueueRead = false;
            return result;
        }
    }

    std::vector<std::string> names;
    if (DIR* dir = ::opendir(sentFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    // Whole dictations first, so that their cut files are not counted as leftovers.
    std::set<std::string> kept;
    for (const std::string& name : names) {
        const std::string number = NumberOf(name, ".ddf");
        if (number.empty())
            continue;
        const std::string path = FilePathCat(sentFolder, name);
        LLockFile lock;
        LDictation dictation(path);
        const DictationHeader& header = dictation.Header();
        // One being moved, sent or changed by another thread or process holds its lock.
        if (!dictation.IsValid() || header.tSent == 0 || header.tSent >= tCutOff || queued.count(path) > 0
            || !lock.Lock(path)) {
            kept.insert(number);
            continue;
        }
        // The header first: a crash part-way leaves cut files that the next pass takes as leftovers.
        if (DeleteFileAt(path)) {
            dictation.Delete();
            ++result.nDictations;
        } else {
            kept.insert(number);
        }
    }
    for (const std::string& name : names) {
        const std::string path = FilePathCat(sentFolder, name);
        std::string number = NumberOf(name, ".dau");
        const bool bCut = !number.empty();
        if (!bCut)
            number = NumberOf(name, ".lck");
        if (!bCut && number.empty() && !IsOurTemporary(name))
            continue;
        if (LastTouched(path) >= tCutOff || (bCut && kept.count(number) > 0))
            continue;
        if (!number.empty()) {
            // A dictation moving in holds its lock while its cut files arrive
            // before its header.
            LLockFile lock;
            const std::string header = FilePathCat(sentFolder, number + ".ddf");
            if (!lock.Lock(header) || (bCut && FileExists(header)))
                continue;
            // Taking a stale lock and letting it go has deleted it.
            if (!bCut)
                continue;
        }
        DeleteFileAt(path);
    }
    return result;
}
