// One dictation: its .ddf header file (identity, priority, recipient, send
// status, notes, attachments, cut list) and the cut files beside it. Every
// change is written through at once. Belongs to one thread; the send thread
// loads its own object for the same files.
#pragma once

#include "dictation/CutRecord.h"
#include "dictation/LDictationHeader.h"
#include "foundation/LList.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where a recording goes: appended, inserted at the position, or over
// everything from the position on.
enum RecordMode : int { kRecordAtEnd = 0, kRecordInsert = 1, kRecordOverwrite = 2 };

// Undo entries kept: the newest 32 survive each push, so 33 after it.
inline constexpr size_t kUndoEntriesKept = 33;

class LDictation {
public:
    // How much of a .ddf file a load reads at once. A row of a list needs the
    // header, notes and attachments; its cut records are read, and checked
    // against their files, on the first use of the cut list (any playing,
    // editing, saving, sending or moving), so a crash-left list is repaired
    // before its audio is touched but listing never looks at a cut file.
    enum class Reading { Whole, Row };
    // Loads an existing .ddf file; the result is valid or invalid.
    explicit LDictation(const std::string& path, Reading reading = Reading::Whole);
    // Creates a new dictation in the folder with the next free file number and
    // writes it at once, never over an existing file (a number another
    // process took meanwhile gives way to the next); invalid when the file
    // cannot be written (GetLastErrno tells why).
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
    // Save of many dictations at once: every file is written before any is
    // synced, so the disk commits them together. Each that fails (invalid,
    // not written; GetLastErrno tells) leaves the others to be saved.
    // Returns how many were saved.
    static size_t SaveAll(const std::vector<LDictation*>& dictations);
    // The system's error of the last failed write of the header or of a new
    // cut file (ENOSPC or EDQUOT: the disk is full); 0 when none failed.
    int GetLastErrno() const { return m_nLastErrno; }

    const DictationHeader& Header() const { return m_header; }
    // For the fields that the send job and the window set directly, then Save.
    DictationHeader& MutableHeader() { return m_header; }

    uint32_t GetFileNumber() const { return m_header.uFileNumber; }
    std::string_view GetName() const;
    bool SetName(std::string_view name);
    std::string_view GetSendStatus() const;
    bool SetSendStatus(std::string_view text);
    // A typist's status with the time it was written, which later status
    // files are compared against.
    bool SetSendStatus(std::string_view text, uint32_t tStatus);
    // The same left unsaved, for SaveAll.
    void PutSendStatus(std::string_view text, uint32_t tStatus);
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
    // Where files that arrived with the dictation (attachments of a loaded
    // DCT) are kept: "Attachments/<file number>" beside its folder, so a move
    // between Current and Send keeps their paths. Deleted with the dictation.
    std::string GetAttachmentFolder() const;

    // Deletes the header, the cut files and the attachment folder; the
    // document becomes invalid.
    // True when the .ddf file is gone.
    bool Delete();
    // Moves the header and the current cut files into the folder. Nothing is
    // replaced there; on any failure what was moved goes back and false comes back.
    bool MoveToFolder(const std::string& folder);

    // Gives the dictation another file number on disk: the header, every cut
    // file and the attachment folder take it together. A journal beside the
    // header (".renumber-<new number>") is written first and hard links make
    // every step reversible, so a kill at any moment leaves the dictation whole
    // under one number, and FinishRenumbering completes the change later.
    // False when nothing changed (no links on this file system, a name too
    // long, a write failed); the dictation keeps its number then.
    bool Renumber(uint32_t uFileNumber);
    // Completes every change that Renumber began in the folder and did not end.
    static void FinishRenumbering(const std::string& folder);

    const LList<CutRecord>& GetCutList() const
    {
        ReadCuts();
        return m_cuts;
    }
    LList<CutRecord>& MutableCutList()
    {
        ReadCuts();
        return m_cuts;
    }
    uint64_t GetTotalSamples() const;
    uint32_t GetCutLength(const CutRecord& cut) const;
    std::string GetCutFileName(uint16_t uCutNumber) const;
    bool IsCutNumberUsed(uint16_t uCutNumber) const;
    // Frees a record already unlinked from its list, and its cut file when no
    // list names its number any more.
    void DeleteCut(std::unique_ptr<CutRecord> pCut);
    // Empties the list as DeleteCut would record by record, with one look at
    // the other lists for all of them.
    void ClearByDeleteCut(LList<CutRecord>& cuts);
    bool UpdateDuration();

    // The cut file's name for a dictation's folder and base name.
    static std::string CutFileName(const std::string& folder, const std::string& base, uint16_t uCutNumber);
    // A record's length in frames, measuring an open-ended record by its file.
    static uint32_t CutLength(const CutRecord& cut, const std::string& cutFile, uint8_t nChannels);

    // Starts a recording: a new cut file and its record placed by the mode at
    // the position (ignored at the end), the header saved with the record
    // open-ended, so a crash keeps what reached the disk. The cut file is
    // created new (never through a link): a number whose file exists though
    // no list names it is passed over for the next free one. Saving for undo
    // pushes the list as it was and empties redo. Empty when all cut numbers
    // are taken or the file cannot be created; the cut list is then as it was.
    // A caller that starts capturing first (the header's flush is the longest
    // wait on a press's path) passes bSaveHeader false and calls Save itself.
    LSoundSinkRef OpenSink(int nMode, bool bSaveForUndo, int32_t nPositionMs, bool bSaveHeader = true);
    // Pushes a copy of the current list, drops entries beyond the newest 33
    // and empties redo; cut files no list names any more are deleted.
    void SaveForUndo(std::string_view label);
    // Swap the current list with the newest entry; false on an empty stack.
    bool Undo();
    bool Redo();
    // Empties both stacks by the cut-deleting rule. Destroying a document
    // deletes no file, so a caller that ends an editing session calls this
    // first to leave no cut file that only the history named.
    void DropUndoHistory() { ClearStacks(); }
    // "Undo <label>" or "Undo" (false when there is nothing to undo); "Redo" likewise.
    bool GetUndoText(std::string* pText) const;
    bool GetRedoText(std::string* pText) const;
    // The cut's file as a reader (silence where it has no data) and as a new writer.
    LSoundSourceRef OpenCutSource(const CutRecord& cut) const;
    LSoundSinkRef OpenCutSink(const CutRecord& cut) const;

    // What the last OpenSink changed, so that a recording that never got its
    // device can be put back: the new cut's number, and whether an undo entry
    // holding the list as it was sits on top of the undo stack.
    struct RecordStart {
        uint16_t uCutNumber = 0;
        int nMode = kRecordAtEnd;
        bool bUndoSaved = false;
        uint32_t tPreviousRecorded = 0;
    };
    const std::optional<RecordStart>& GetLastRecordStart() const { return m_lastRecordStart; }
    // Puts the dictation back as it was before the last OpenSink whose
    // recording never got its device: cut list, tRecorded, no undo entry for
    // it and no cut file of it. Release the sink first. False when the last
    // OpenSink saved no undo entry (nothing to put back from).
    bool UndoFailedRecording();

    LList<UndoEntry>& UndoStack() { return m_undo; }
    LList<UndoEntry>& RedoStack() { return m_redo; }
    const LList<UndoEntry>& UndoStack() const { return m_undo; }
    const LList<UndoEntry>& RedoStack() const { return m_redo; }

    int nListIndex = -1;

private:
    struct RecordsAsStored { };
    // The records exactly as the file holds them, for ReadCuts.
    LDictation(const std::string& path, RecordsAsStored);
    void Load(const std::string& path, bool bRecords);
    // Reads the cut records of a row-only load from the file and fits them;
    // once, and a no-op for a document that has them.
    void ReadCuts() const;
    // The steps of Renumber after its journal, each safe to repeat.
    bool RenumberSteps(uint32_t uOld, const std::string& oldBase, uint32_t uNew);
    bool Write(bool bNewFile);
    // The whole .ddf file as Write stores it; false (m_nLastErrno set) when it cannot be saved.
    bool FileBytes(std::vector<uint8_t>* pOut);
    // Brings records whose end lies beyond their cut file within it, and the
    // duration up to date when a record is open-ended (a crashed recording).
    void FitCutsToFiles() const;
    void ClearStacks();
    // Deletes the files of those numbers that no list names any more.
    void DeleteUnusedCutFiles(const std::vector<uint16_t>& numbers) const;
    static void CollectNumbers(const LList<CutRecord>& cuts, std::vector<uint16_t>* pNumbers);
    static void CollectUsed(const LList<CutRecord>& cuts, std::vector<bool>* pUsed);
    // The lowest number at or above uFrom that no list names.
    std::optional<uint16_t> FindFreeCutNumber(uint32_t uFrom = 0) const;
    // Places a new record at frame p of the timeline (modes 1 and 2).
    void PlaceRecord(const CutRecord& record, int64_t nFrame, bool bOverwrite);

    // The records and the duration they fix come in late for a row-only
    // load, from const readers too.
    mutable DictationHeader m_header;
    LList<std::string> m_attachments;
    LList<UndoEntry> m_undo;
    LList<UndoEntry> m_redo;
    std::string m_path;
    mutable LList<CutRecord> m_cuts;
    mutable bool m_bCutsRead = true;
    // The file no longer gave its records: saving would write an empty list.
    mutable bool m_bCutsLost = false;
    std::string m_notes;
    LoadResult m_loadResult = LoadResult::Ok;
    int m_nLastErrno = 0;
    std::optional<RecordStart> m_lastRecordStart;
};
