// The dictations of one working folder, each owned by the list and known by
// a list index that windows keep with their rows. Belongs to the thread that
// built it; the send thread builds its own lists, never walks another's.
#pragma once

#include "dictation/LDictation.h"
#include "dictation/LStatusFile.h"
#include "foundation/LList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LDictationList {
public:
    LDictationList() = default;
    // Loads every "*.ddf" file of the folder (see Build).
    explicit LDictationList(const std::string& folder);
    LDictationList(const LDictationList&) = delete;
    LDictationList& operator=(const LDictationList&) = delete;

    // Empties the list and loads the folder's dictations, the first found
    // with index 0. User files are never deleted here: a file that cannot be
    // read now (held, newer version) is skipped; one that is not a dictation
    // header file is renamed with ".bad" appended and skipped. Only the
    // temporary files of header saves that a kill left ("N.ddf.tmpXXXXXX",
    // older than a minute) are removed. Returns how many were loaded.
    size_t Build(const std::string& folder);

    // Creates a dictation in the current folder, or in the given one, and adds
    // it; null when it could not be written or added.
    LDictation* NewDictation(std::string_view name);
    LDictation* NewDictation(const std::string& folder, std::string_view name);
    // Why the last NewDictation failed (errno; ENOSPC or EDQUOT: a full disk).
    int GetLastNewErrno() const { return m_nLastNewErrno; }
    // Takes the document and puts it first with the next free index; false
    // (and the caller keeps it) for null or a path already listed.
    bool AddDictation(std::unique_ptr<LDictation>& pDictation);
    LDictation* FindDictation(int nIndex) const;
    // The entry of that file number, the newest addition first; null if none.
    LDictation* FindFileNumber(uint32_t uFileNumber) const;
    // Deletes the entry's files and the entry; true when its .ddf file is
    // gone. An index no entry has does nothing.
    bool DeleteDictation(int nIndex);

    // Newest addition first.
    LListIterator<LDictation> GetFirst() const { return m_entries.GetFirst(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }
    size_t Count() const { return m_entries.Count(); }

    // Broken files of the last Build that could not be renamed aside (one
    // modified in the last seconds is left for a later scan, not counted).
    size_t GetBrokenLeft() const { return m_nBrokenLeft; }

private:
    bool IsIndexUsed(int nIndex) const;

    LList<LDictation> m_entries;
    unsigned m_uNextIndex = 0;
    size_t m_nBrokenLeft = 0;
    int m_nLastNewErrno = 0;
};

// Applies a typist's status file (see LStatusFile) to the dictations of the
// sent folder: each takes the text of the last record of its file number
// whose time is not before its uStatusTime, records that time there, and is
// saved once. *pUpdates, when given, lists the dictations whose status
// changed and was saved; *pnUnsaved counts those whose save failed.
StatusFileResult LDictationLoadStatusFile(const std::string& path, const std::string& sentFolder,
    std::vector<StatusFileUpdate>* pUpdates = nullptr, size_t* pnUnsaved = nullptr);
// The same for the sent folder of the engine settings.
StatusFileResult LDictationLoadStatusFile(const std::string& path);
