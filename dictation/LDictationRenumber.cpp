// A recovered dictation takes a new file number on disk, so that a copy sent
// again cannot be taken by the typist's program for the one it was told to
// cancel. Header, cut files and attachment folder change together: the new
// names are hard links made first, the header's number changes in one atomic
// write, the header's name in one rename, and only then do the old names go.
#include "dictation/LDictation.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxAttachmentPath = 254;
constexpr char kJournalPrefix[] = ".renumber-";

std::string NumberText(uint32_t uNumber)
{
    return std::to_string(uNumber % 10000000);
}

std::string AttachmentFolderFor(const std::string& folder, uint32_t uNumber)
{
    return FilePathCat(FilePathCat(_GetFolderFromPath(folder), "Attachments"), NumberText(uNumber));
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

// A second name for the file; true when the target already is one.
bool LinkOnce(const std::string& from, const std::string& to, bool* pMade)
{
    *pMade = ::link(from.c_str(), to.c_str()) == 0;
    return *pMade || (errno == EEXIST && IsSameFile(from, to));
}

std::string JournalPath(const std::string& folder, uint32_t uNew)
{
    return FilePathCat(folder, kJournalPrefix + NumberText(uNew));
}

} // namespace

bool LDictation::Renumber(uint32_t uFileNumber)
{
    if (!IsValid() || uFileNumber == 0 || uFileNumber == m_header.uFileNumber)
        return false;
    // The cut files move with the number: the records must be known first.
    ReadCuts();
    const std::string folder = GetFolder();
    const std::string newBase = NumberText(uFileNumber);
    if (FileExists(FilePathCat(folder, newBase + ".ddf")))
        return false;
    // The journal names the old base name and number: after a kill, the
    // header may already carry the new number while the old names remain.
    const std::string journal = JournalPath(folder, uFileNumber);
    const std::string text = GetBaseName() + "\n" + std::to_string(m_header.uFileNumber) + "\n";
    if (!WriteFileAtomic(journal, text.data(), text.size(), 0600))
        return false;
    const bool bDone = RenumberSteps(m_header.uFileNumber, GetBaseName(), uFileNumber);
    // Once the header carries the new number the journal stays until the
    // change is complete; before, a failure has put everything back.
    if (bDone || m_header.uFileNumber != uFileNumber) {
        DeleteFileAt(journal);
        SyncFolder(folder);
    }
    return bDone;
}

bool LDictation::RenumberSteps(uint32_t uOld, const std::string& oldBase, uint32_t uNew)
{
    const std::string folder = GetFolder();
    const std::string newBase = NumberText(uNew);
    const std::string newPath = FilePathCat(folder, newBase + ".ddf");
    const std::string oldAttachments = AttachmentFolderFor(folder, uOld);
    const std::string newAttachments = AttachmentFolderFor(folder, uNew);
    const bool bHeaderDone = m_header.uFileNumber == uNew;

    std::vector<std::string> made;
    auto rollBack = [&]() {
        // Only before the header changed: afterwards the new names are the dictation's.
        if (!bHeaderDone) {
            for (const std::string& path : made)
                DeleteFileAt(path);
            ::rmdir(newAttachments.c_str());
        }
        return false;
    };
    std::set<uint16_t> numbers;
    for (const CutRecord& cut : m_cuts)
        numbers.insert(cut.uCutNumber);
    for (uint16_t uCut : numbers) {
        const std::string from = CutFileName(folder, oldBase, uCut);
        const std::string to = CutFileName(folder, newBase, uCut);
        // A cut whose file is gone plays as silence under either number.
        if (!FileExists(from))
            continue;
        bool bMade = false;
        if (!LinkOnce(from, to, &bMade))
            return rollBack();
        if (bMade)
            made.push_back(to);
    }
    LList<std::string> attachments;
    bool bAttachmentsMoved = false;
    const std::string oldPrefix = oldAttachments + "/";
    for (const std::string& path : m_attachments) {
        if (path.compare(0, oldPrefix.size(), oldPrefix) != 0) {
            attachments.Add(path);
            continue;
        }
        const std::string to = FilePathCat(newAttachments, path.substr(oldPrefix.size()));
        bool bMade = false;
        if (to.size() > kMaxAttachmentPath || !CreateFolder(newAttachments)
            || ::chmod(newAttachments.c_str(), 0700) != 0 || !LinkOnce(path, to, &bMade))
            return rollBack();
        if (bMade)
            made.push_back(to);
        attachments.Add(to);
        bAttachmentsMoved = true;
    }
    // The new names reach the disk before the header points at them.
    SyncFolder(folder);
    if (bAttachmentsMoved)
        SyncFolder(newAttachments);

    if (!bHeaderDone || bAttachmentsMoved) {
        const DictationHeader before = m_header;
        LList<std::string> beforeAttachments = m_attachments;
        m_header.uFileNumber = uNew;
        m_attachments = attachments;
        if (!Save()) {
            m_header = before;
            m_attachments = beforeAttachments;
            return rollBack();
        }
    }
    if (m_path != newPath) {
        if (!MoveFileNoReplace(m_path, newPath))
            return false; // whole under the new number; the journal finishes it
        m_path = newPath;
        SyncFolder(folder);
    }
    for (uint16_t uCut : numbers) {
        const std::string from = CutFileName(folder, oldBase, uCut);
        if (IsSameFile(from, CutFileName(folder, newBase, uCut)))
            DeleteFileAt(from);
    }
    if (DIR* pDir = ::opendir(oldAttachments.c_str())) {
        std::vector<std::string> names;
        while (dirent* pEntry = ::readdir(pDir))
            names.emplace_back(pEntry->d_name);
        ::closedir(pDir);
        for (const std::string& name : names) {
            const std::string from = FilePathCat(oldAttachments, name);
            if (name != "." && name != ".." && IsSameFile(from, FilePathCat(newAttachments, name)))
                DeleteFileAt(from);
        }
        ::rmdir(oldAttachments.c_str());
    }
    SyncFolder(folder);
    return true;
}

void LDictation::FinishRenumbering(const std::string& folder)
{
    std::vector<std::string> journals;
    if (DIR* pDir = ::opendir(folder.c_str())) {
        while (dirent* pEntry = ::readdir(pDir)) {
            const std::string name = pEntry->d_name;
            if (name.rfind(kJournalPrefix, 0) == 0)
                journals.push_back(name);
        }
        ::closedir(pDir);
    }
    for (const std::string& name : journals) {
        const std::string journal = FilePathCat(folder, name);
        const std::string digits = name.substr(sizeof kJournalPrefix - 1);
        std::string text;
        const bool bRead = ReadTextFile(journal, &text);
        const size_t nEnd = text.find('\n');
        if (!bRead || digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos
            || nEnd == std::string::npos || nEnd == 0) {
            DeleteFileAt(journal);
            continue;
        }
        const uint32_t uNew = static_cast<uint32_t>(std::stoul(digits));
        const std::string oldBase = text.substr(0, nEnd);
        const std::string oldNumber = text.substr(nEnd + 1, text.find('\n', nEnd + 1) - nEnd - 1);
        // Names this program made: a journal naming anything else is dropped.
        if (oldBase.find('/') != std::string::npos || oldBase[0] == '.' || oldNumber.empty() || oldNumber.size() > 10
            || oldNumber.find_first_not_of("0123456789") != std::string::npos) {
            DeleteFileAt(journal);
            continue;
        }
        const uint32_t uOld = static_cast<uint32_t>(std::stoull(oldNumber) & 0xFFFFFFFFu);
        const std::string oldPath = FilePathCat(folder, oldBase + ".ddf");
        const std::string newPath = FilePathCat(folder, NumberText(uNew) + ".ddf");
        // The rename of the header is the one step that changes which name
        // exists, so whichever exists says how far the change got.
        const std::string path = FileExists(oldPath) ? oldPath : newPath;
        bool bDone = true;
        if (FileExists(path)) {
            LDictation dictation(path);
            if (!dictation.IsValid())
                continue; // held now: finished at a later call
            bDone = dictation.RenumberSteps(uOld, oldBase, uNew);
        }
        if (bDone) {
            DeleteFileAt(journal);
            SyncFolder(folder);
        }
    }
}
