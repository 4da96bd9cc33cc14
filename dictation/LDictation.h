// One dictation: its .ddf header file (identity, priority, recipient, send
// status, notes, attachments, cut list) and the cut files beside it. Every
// change is written through at once. Belongs to one thread; the send thread
// loads its own object for the same files.
#pragma once

#include "dictation/CutRecord.h"
#include "dictation/LDictationHeader.h"
#include "foundation/LList.h"

#include <string>
#include <string_view>

class LDictation {
public:
    // Loads an existing .ddf file; the result is valid or invalid.
    explicit LDictation(const std::string& path);
    // Creates a new dictation in the folder with the next free file number and
    // writes it at once; invalid when the file cannot be written.
    LDictation(const std::string& folder, std::string_view name);
    LDictation(const LDictation&) = delete;
    LDictation& operator=(const LDictation&) = delete;

    bool IsValid() const { return m_header.uVersion != 0; }
    // Why a load gave an invalid document: the file could not be read (missing,
    // held, unreadable), or what was read is not a dictation header file.
    enum class LoadResult { Ok, Unreadable, Broken };
    LoadResult GetLoadResult() const { return m_loadResult; }

    // Rewrites the .ddf file so that a crash leaves the old or the new one;
    // false when the document is invalid or the file could not be written.
    bool Save();

    const DictationHeader& Header() const { return m_header; }
    // For the fields that the send job and the window set directly, then Save.
    DictationHeader& MutableHeader() { return m_header; }

    uint32_t GetFileNumber() const { return m_header.uFileNumber; }
    std::string_view GetName() const;
    bool SetName(std::string_view name);
    std::string_view GetSendStatus() const;
    bool SetSendStatus(std::string_view text);
    bool SetPriority(uint8_t uPriority);

    const std::string& GetNotes() const { return m_notes; }
    bool SetNotes(std::string_view text);
    // The notes on one line of at most 259 bytes, control characters as blanks.
    std::string GetNotesLine() const;

    const LList<std::string>& GetAttachments() const { return m_attachments; }
    bool AddAttachment(std::string_view path);
    bool RemoveAttachment(std::string_view path);

    const std::string& GetPath() const { return m_path; }
    std::string GetFolder() const;
    std::string GetBaseName() const;

    // Deletes the header and the cut files; the document becomes invalid.
    // True when the .ddf file is gone.
    bool Delete();
    // Moves the header and the current cut files into the folder. Nothing is
    // replaced there; on any failure what was moved goes back and false comes back.
    bool MoveToFolder(const std::string& folder);

    const LList<CutRecord>& GetCutList() const { return m_cuts; }
    LList<CutRecord>& MutableCutList() { return m_cuts; }
    uint64_t GetTotalSamples() const;
    uint32_t GetCutLength(const CutRecord& cut) const;
    std::string GetCutFileName(uint16_t uCutNumber) const;
    bool IsCutNumberUsed(uint16_t uCutNumber) const;
    // Frees a record already unlinked from its list, and its cut file when no
    // list names its number any more.
    void DeleteCut(std::unique_ptr<CutRecord> pCut);
    void ClearByDeleteCut(LList<CutRecord>& cuts);
    bool UpdateDuration();

    LList<UndoEntry>& UndoStack() { return m_undo; }
    LList<UndoEntry>& RedoStack() { return m_redo; }

    int nListIndex = -1;

private:
    void Load(const std::string& path);
    void ClearStacks();

    DictationHeader m_header;
    LList<std::string> m_attachments;
    LList<UndoEntry> m_undo;
    LList<UndoEntry> m_redo;
    std::string m_path;
    LList<CutRecord> m_cuts;
    std::string m_notes;
    LoadResult m_loadResult = LoadResult::Ok;
};
