#include "dictation/LDictation.h"

#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LDateTime.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "sound/LSoundTime.h"
#include "sound/files/LCutFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kOpenTimeoutMs = 1000;
constexpr uint32_t kMinSampleRate = 6000;
constexpr uint32_t kMaxSampleRate = 196000;
constexpr uint32_t kDefaultSampleRate = 11025;
constexpr size_t kMaxAttachmentPath = 254;
constexpr size_t kMaxUndoLabel = 259;

uint32_t SampleRateSetting()
{
    int rate = DictationKeys::kSampleRate.Get();
    if (rate < static_cast<int>(kMinSampleRate) || rate > static_cast<int>(kMaxSampleRate))
        return kDefaultSampleRate;
    return static_cast<uint32_t>(rate);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

LDictation::LDictation(const std::string& path, Reading reading)
{
    Load(path, reading == Reading::Whole);
    if (!IsValid())
        return;
    m_bCutsRead = reading == Reading::Whole;
    if (m_bCutsRead)
        FitCutsToFiles();
}

LDictation::LDictation(const std::string& path, RecordsAsStored)
{
    Load(path, true);
}

void LDictation::ReadCuts() const
{
    if (m_bCutsRead)
        return;
    m_bCutsRead = true;
    // From the file as it is now: the header in memory may have been changed
    // (notes, attachments) without moving the records' offset yet.
    LDictation stored(m_path, RecordsAsStored {});
    if (!stored.IsValid()) {
        m_bCutsLost = true;
        return;
    }
    m_cuts = std::move(stored.m_cuts);
    FitCutsToFiles();
}

LDictation::LDictation(const std::string& folder, std::string_view name)
{
    m_header = DictationHeader();
    m_header.uVersion = 1;
    m_header.uUserID = LDictationEngineSettings::GetUserID();
    m_header.uFileNumber = LDictationEngineSettings::TakeNextFileNumber({ folder });
    m_header.tCreated = m_header.tRecorded = LDateTime::Now();
    CopyToField(m_header.szName, sizeof m_header.szName, name);
    m_header.uSendTo = kNoRecipient;
    m_header.uPriority = kPriorityNormal;
    m_header.uChannels = 1;
    m_header.uSampleRate = SampleRateSetting();
    m_header.uMagic = kDictationMagic;
    // Another process (the window, a second CLI, another user of a shared
    // folder) may take the same number at the same moment: the header is
    // created only where no file is, and a taken number gives way to the next.
    constexpr int kNumberAttempts = 1000;
    for (int attempt = 0; attempt < kNumberAttempts; ++attempt) {
        if (attempt > 0)
            m_header.uFileNumber = LDictationEngineSettings::TakeNextFileNumber({ folder });
        m_path = FilePathCat(folder, std::to_string(m_header.uFileNumber % 10000000) + ".ddf");
        if (Write(true) || m_nLastErrno != EEXIST)
            break;
    }
    // A document that never reached the disk must not pass for one that did.
    if (m_nLastErrno != 0)
        m_header.uVersion = 0;
}

void LDictation::Load(const std::string& path, bool bRecords)
{
    m_attachments.Clear();
    m_undo.Clear();
    m_redo.Clear();
    m_cuts.Clear();
    m_notes.clear();
    m_header = DictationHeader();
    m_path = path;
    nListIndex = -1;

    LFile file;
    if (!OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, kOpenTimeoutMs, LFile::kOpenExisting)) {
        m_loadResult = LoadResult::Unreadable;
        return;
    }
    const uint64_t fileSize = file.GetFileSizeBytes();
    uint8_t raw[kDictationHeaderBytes];
    if (file.Read(raw, sizeof raw) != sizeof raw) {
        m_loadResult = fileSize < kDictationHeaderBytes ? LoadResult::Broken : LoadResult::Unreadable;
        return;
    }
    m_header.FromBytes(raw);
    m_header.szName[sizeof m_header.szName - 1] = 0;
    m_header.szSendStatus[sizeof m_header.szSendStatus - 1] = 0;
    // A newer version's file is not ours to judge: invalid here, but not broken.
    if (m_header.uMagic == kDictationMagic && m_header.uVersion > 1) {
        m_header = DictationHeader();
        m_loadResult = LoadResult::Unreadable;
        return;
    }
    if (m_header.uMagic != kDictationMagic || m_header.uVersion == 0) {
        m_header = DictationHeader();
        m_loadResult = LoadResult::Broken;
        return;
    }
    if (m_header.uSampleRate < kMinSampleRate || m_header.uSampleRate > kMaxSampleRate)
        m_header.uSampleRate = SampleRateSetting();
    if (m_header.uChannels < 1 || m_header.uChannels > 2)
        m_header.uChannels = 1;

    // The notes length comes from the file: it must fit what the file holds.
    if (m_header.uNotesLength > fileSize - kDictationHeaderBytes) {
        m_header = DictationHeader();
        m_loadResult = LoadResult::Broken;
        return;
    }
    m_notes.resize(m_header.uNotesLength);
    size_t nRead = file.Read(m_notes.data(), m_notes.size());
    m_notes.resize(nRead);
    m_header.uNotesLength = static_cast<uint32_t>(nRead);

    for (unsigned i = 0; i < m_header.nAttachments; ++i) {
        uint8_t len = 0;
        if (file.Read(&len, 1) != 1)
            break;
        if (len == 0)
            continue;
        std::string attachment(len, '\0');
        if (file.Read(attachment.data(), len) != len)
            break;
        m_attachments.Add(std::move(attachment));
    }
    m_loadResult = LoadResult::Ok;
    if (!bRecords)
        return;

    // Whole blocks of records per read: listing a folder loads every header,
    // and an edited dictation has hundreds of records. A short read is the end.
    uint8_t block[kCutRecordBytes * 256];
    size_t nGot = 0;
    do {
        nGot = file.Read(block, sizeof block);
        for (size_t off = 0; off + kCutRecordBytes <= nGot; off += kCutRecordBytes) {
            const uint8_t* rec = block + off;
            CutRecord cut;
            cut.uCutNumber = static_cast<uint16_t>(rec[0] | (rec[1] << 8));
            cut.uStart = rec[2] | (rec[3] << 8) | (rec[4] << 16) | (static_cast<uint32_t>(rec[5]) << 24);
            cut.uEnd = rec[6] | (rec[7] << 8) | (rec[8] << 16) | (static_cast<uint32_t>(rec[9]) << 24);
            m_cuts.Add(cut);
        }
    } while (nGot == sizeof block);
}

void LDictation::FitCutsToFiles() const
{
    // A record's end comes from a file anyone can hand us: it never reaches
    // beyond the audio its cut file holds, or an export would write gigabytes
    // of silence. One look at each file however many records name it. A
    // record whose file is missing stays as it is and plays as silence, as
    // wherever the header goes without its cuts.
    std::unordered_map<uint16_t, std::optional<uint32_t>> frames;
    bool bOpenEnded = false;
    for (CutRecord& cut : m_cuts) {
        auto [it, bNew] = frames.try_emplace(cut.uCutNumber);
        if (bNew) {
            const std::string file = GetCutFileName(cut.uCutNumber);
            if (FileExists(file)) {
                const int64_t n = LCutFile::FrameCount(file, m_header.uChannels);
                it->second = n > 0xFFFFFFFE ? 0xFFFFFFFEu : static_cast<uint32_t>(n);
            }
        }
        if (!it->second)
            continue;
        if (cut.uEnd == kCutToEnd)
            bOpenEnded = true;
        else if (cut.uEnd > *it->second)
            cut.uEnd = std::max(cut.uStart, *it->second);
    }
    // An open-ended record is measured by its file; a recording killed before
    // it could store the duration left the one from before it.
    if (bOpenEnded && m_header.uSampleRate != 0) {
        const uint64_t seconds = GetTotalSamples() / m_header.uSampleRate;
        m_header.uDuration = static_cast<uint16_t>(seconds > 0xFFFF ? 0xFFFF : seconds);
    }
}

bool LDictation::Save()
{
    return Write(false);
}

bool LDictation::FileBytes(std::vector<uint8_t>* pOut)
{
    if (!IsValid())
        return false;
    ReadCuts();
    if (m_bCutsLost) {
        m_nLastErrno = EIO;
        return false;
    }
    std::vector<uint8_t>& out = *pOut;
    out.assign(kDictationHeaderBytes, 0);
    m_header.uNotesLength = static_cast<uint32_t>(m_notes.size());
    m_header.ToBytes(out.data());
    out.insert(out.end(), m_notes.begin(), m_notes.end());
    unsigned nWritten = 0;
    for (const std::string& attachment : m_attachments) {
        if (nWritten == m_header.nAttachments)
            break;
        size_t len = attachment.size() > 255 ? 255 : attachment.size();
        out.push_back(static_cast<uint8_t>(len));
        out.insert(out.end(), attachment.begin(), attachment.begin() + static_cast<std::ptrdiff_t>(len));
        ++nWritten;
    }
    for (; nWritten < m_header.nAttachments; ++nWritten)
        out.push_back(0);
    for (const CutRecord& cut : m_cuts) {
        PutU16(out, cut.uCutNumber);
        PutU32(out, cut.uStart);
        PutU32(out, cut.uEnd);
    }
    return true;
}

bool LDictation::Write(bool bNewFile)
{
    std::vector<uint8_t> out;
    if (!FileBytes(&out))
        return false;
    // Dictations are often confidential (medical, legal): readable by the owner only.
    const bool bOk = bNewFile ? WriteNewFileAtomic(m_path, out.data(), out.size(), 0600)
                              : WriteFileAtomic(m_path, out.data(), out.size(), 0600);
    m_nLastErrno = bOk ? 0 : (errno != 0 ? errno : EIO);
    return bOk;
}

size_t LDictation::SaveAll(const std::vector<LDictation*>& dictations)
{
    std::vector<AtomicFileWrite> files;
    std::vector<LDictation*> writing;
    files.reserve(dictations.size());
    for (LDictation* pDictation : dictations) {
        AtomicFileWrite file;
        if (!pDictation->FileBytes(&file.data)) {
            if (!pDictation->IsValid())
                pDictation->m_nLastErrno = EINVAL;
            continue;
        }
        file.path = pDictation->m_path;
        files.push_back(std::move(file));
        writing.push_back(pDictation);
    }
    const size_t nSaved = WriteFilesAtomic(files, 0600);
    for (size_t i = 0; i < files.size(); ++i)
        writing[i]->m_nLastErrno = files[i].nErrno;
    return nSaved;
}

std::string_view LDictation::GetName() const
{
    return FieldText(m_header.szName, sizeof m_header.szName);
}

bool LDictation::SetName(std::string_view name)
{
    CopyToField(m_header.szName, sizeof m_header.szName, name);
    return Save();
}

std::string_view LDictation::GetSendStatus() const
{
    return FieldText(m_header.szSendStatus, sizeof m_header.szSendStatus);
}

bool LDictation::SetSendStatus(std::string_view text)
{
    CopyToField(m_header.szSendStatus, sizeof m_header.szSendStatus, text);
    return Save();
}

bool LDictation::SetSendStatus(std::string_view text, uint32_t tStatus)
{
    PutSendStatus(text, tStatus);
    return Save();
}

void LDictation::PutSendStatus(std::string_view text, uint32_t tStatus)
{
    m_header.uStatusTime = tStatus;
    CopyToField(m_header.szSendStatus, sizeof m_header.szSendStatus, text);
}

bool LDictation::SetPriority(uint8_t uPriority)
{
    m_header.uPriority = uPriority;
    return Save();
}

bool LDictation::SetNotes(std::string_view text)
{
    m_notes.assign(text);
    m_header.uNotesLength = static_cast<uint32_t>(m_notes.size());
    return Save();
}

std::string LDictation::GetNotesLine() const
{
    std::string line(CutUtf8(m_notes, 259));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return line;
}

bool LDictation::AddAttachment(std::string_view path)
{
    if (m_header.nAttachments == 255)
        return false;
    m_attachments.Add(std::string(CutUtf8(path, kMaxAttachmentPath)));
    ++m_header.nAttachments;
    return Save();
}

bool LDictation::RemoveAttachment(std::string_view path)
{
    for (auto it = m_attachments.GetFirst(); it.IsValid(); it.Next()) {
        if (*it == path) {
            m_attachments.Delete(it.Get());
            if (m_header.nAttachments > 0)
                --m_header.nAttachments;
            return Save();
        }
    }
    return false;
}

std::string LDictation::GetFolder() const
{
    return _GetFolderFromPath(m_path);
}

std::string LDictation::GetBaseName() const
{
    return GetFileTitle(m_path);
}

std::string LDictation::GetAttachmentFolder() const
{
    return FilePathCat(
        FilePathCat(_GetFolderFromPath(GetFolder()), "Attachments"), std::to_string(m_header.uFileNumber % 10000000));
}

std::string LDictation::CutFileName(const std::string& folder, const std::string& base, uint16_t uCutNumber)
{
    return FilePathCat(folder, base + "_" + std::to_string(uCutNumber) + ".dau");
}

std::string LDictation::GetCutFileName(uint16_t uCutNumber) const
{
    return CutFileName(GetFolder(), GetBaseName(), uCutNumber);
}

uint32_t LDictation::CutLength(const CutRecord& cut, const std::string& cutFile, uint8_t nChannels)
{
    uint64_t end = cut.uEnd;
    if (cut.uEnd == kCutToEnd) {
        const int64_t frames = LCutFile::FrameCount(cutFile, nChannels);
        end = frames > 0xFFFFFFFE ? 0xFFFFFFFEu : static_cast<uint64_t>(frames);
    }
    return end > cut.uStart ? static_cast<uint32_t>(end - cut.uStart) : 0;
}

uint32_t LDictation::GetCutLength(const CutRecord& cut) const
{
    // Records with an explicit end need no file name, which is the common case.
    if (cut.uEnd != kCutToEnd)
        return cut.uEnd > cut.uStart ? cut.uEnd - cut.uStart : 0;
    return CutLength(cut, GetCutFileName(cut.uCutNumber), m_header.uChannels);
}

uint64_t LDictation::GetTotalSamples() const
{
    ReadCuts();
    uint64_t total = 0;
    for (const CutRecord& cut : m_cuts)
        total += GetCutLength(cut);
    return total;
}

bool LDictation::UpdateDuration()
{
    if (m_header.uSampleRate == 0)
        return false;
    uint64_t seconds = GetTotalSamples() / m_header.uSampleRate;
    m_header.uDuration = static_cast<uint16_t>(seconds > 0xFFFF ? 0xFFFF : seconds);
    return Save();
}

void LDictation::CollectUsed(const LList<CutRecord>& cuts, std::vector<bool>* pUsed)
{
    for (const CutRecord& cut : cuts)
        (*pUsed)[cut.uCutNumber] = true;
}

bool LDictation::IsCutNumberUsed(uint16_t uCutNumber) const
{
    ReadCuts();
    for (const CutRecord& cut : m_cuts)
        if (cut.uCutNumber == uCutNumber)
            return true;
    for (const LList<UndoEntry>* stack : { &m_undo, &m_redo })
        for (const UndoEntry& entry : *stack)
            for (const CutRecord& cut : entry.cuts)
                if (cut.uCutNumber == uCutNumber)
                    return true;
    return false;
}

void LDictation::DeleteCut(std::unique_ptr<CutRecord> pCut)
{
    if (pCut && !IsCutNumberUsed(pCut->uCutNumber))
        DeleteFileAt(GetCutFileName(pCut->uCutNumber));
}

void LDictation::CollectNumbers(const LList<CutRecord>& cuts, std::vector<uint16_t>* pNumbers)
{
    for (const CutRecord& cut : cuts)
        pNumbers->push_back(cut.uCutNumber);
}

void LDictation::DeleteUnusedCutFiles(const std::vector<uint16_t>& numbers) const
{
    if (numbers.empty())
        return;
    ReadCuts();
    // One pass over every list instead of one per record: undo can hold 33
    // lists of thousands of records.
    std::vector<bool> used(0x10000, false);
    CollectUsed(m_cuts, &used);
    for (const LList<UndoEntry>* stack : { &m_undo, &m_redo })
        for (const UndoEntry& entry : *stack)
            CollectUsed(entry.cuts, &used);
    for (uint16_t uNumber : numbers) {
        if (used[uNumber])
            continue;
        used[uNumber] = true; // once per number
        DeleteFileAt(GetCutFileName(uNumber));
    }
}

void LDictation::ClearByDeleteCut(LList<CutRecord>& cuts)
{
    std::vector<uint16_t> numbers;
    CollectNumbers(cuts, &numbers);
    cuts.Clear();
    DeleteUnusedCutFiles(numbers);
}

void LDictation::ClearStacks()
{
    std::vector<uint16_t> numbers;
    for (LList<UndoEntry>* stack : { &m_redo, &m_undo }) {
        for (const UndoEntry& entry : *stack)
            CollectNumbers(entry.cuts, &numbers);
        stack->Clear();
    }
    DeleteUnusedCutFiles(numbers);
}

std::optional<uint16_t> LDictation::FindFreeCutNumber(uint32_t uFrom) const
{
    ReadCuts();
    std::vector<bool> used(0x10000, false);
    CollectUsed(m_cuts, &used);
    for (const LList<UndoEntry>* stack : { &m_undo, &m_redo })
        for (const UndoEntry& entry : *stack)
            CollectUsed(entry.cuts, &used);
    for (uint32_t n = uFrom; n < used.size(); ++n)
        if (!used[n])
            return static_cast<uint16_t>(n);
    return std::nullopt;
}

LSoundSourceRef LDictation::OpenCutSource(const CutRecord& cut) const
{
    return LCutFile::OpenSource(
        GetCutFileName(cut.uCutNumber), static_cast<int32_t>(m_header.uSampleRate), m_header.uChannels);
}

LSoundSinkRef LDictation::OpenCutSink(const CutRecord& cut) const
{
    // Created 0600: the audio is as confidential as the header.
    return LCutFile::CreateNewSink(
        GetCutFileName(cut.uCutNumber), static_cast<int32_t>(m_header.uSampleRate), m_header.uChannels);
}

void LDictation::SaveForUndo(std::string_view label)
{
    ReadCuts();
    std::vector<uint16_t> numbers;
    size_t nKept = 0;
    for (auto it = m_undo.GetFirst(); it.IsValid();) {
        if (nKept < kUndoEntriesKept - 1) {
            ++nKept;
            it.Next();
            continue;
        }
        std::unique_ptr<UndoEntry> pDropped = m_undo.Detach(it);
        CollectNumbers(pDropped->cuts, &numbers);
    }
    auto pEntry = std::make_unique<UndoEntry>();
    pEntry->szLabel = std::string(CutUtf8(label, kMaxUndoLabel));
    pEntry->cuts = m_cuts;
    m_undo.AddFront(std::move(pEntry));
    for (const UndoEntry& entry : m_redo)
        CollectNumbers(entry.cuts, &numbers);
    m_redo.Clear();
    DeleteUnusedCutFiles(numbers);
}

bool LDictation::Undo()
{
    auto it = m_undo.GetFirst();
    if (!it.IsValid())
        return false;
    ReadCuts();
    std::unique_ptr<UndoEntry> pEntry = m_undo.Detach(it);
    // The lists change hands: no record is freed, so no file can go.
    std::swap(pEntry->cuts, m_cuts);
    m_redo.AddFront(std::move(pEntry));
    UpdateDuration();
    return true;
}

bool LDictation::Redo()
{
    auto it = m_redo.GetFirst();
    if (!it.IsValid())
        return false;
    ReadCuts();
    std::unique_ptr<UndoEntry> pEntry = m_redo.Detach(it);
    std::swap(pEntry->cuts, m_cuts);
    m_undo.AddFront(std::move(pEntry));
    UpdateDuration();
    return true;
}

bool LDictation::GetUndoText(std::string* pText) const
{
    auto it = m_undo.GetFirst();
    *pText = it.IsValid() ? "Undo " + it->szLabel : "Undo";
    return it.IsValid();
}

bool LDictation::GetRedoText(std::string* pText) const
{
    auto it = m_redo.GetFirst();
    *pText = it.IsValid() ? "Redo " + it->szLabel : "Redo";
    return it.IsValid();
}

LSoundSinkRef LDictation::OpenSink(int nMode, bool bSaveForUndo, int32_t nPositionMs, bool bSaveHeader)
{
    if (!IsValid() || nMode < kRecordAtEnd || nMode > kRecordOverwrite)
        return {};
    ReadCuts();
    const LSoundTime position(nPositionMs);
    // A file or link that no list names (left by a crash, or put there) is
    // never written over nor through: its number is passed over. A folder in
    // a cut's place is no leftover of ours, and the recording is refused.
    std::optional<uint16_t> number;
    LSoundSinkRef sink;
    for (uint32_t uFrom = 0; (number = FindFreeCutNumber(uFrom)); uFrom = *number + 1u) {
        sink = OpenCutSink(CutRecord { *number, 0, kCutToEnd });
        m_nLastErrno = sink ? sink->SystemError() : 0;
        struct stat st;
        if ((sink && sink->IsUsable()) || m_nLastErrno != EEXIST
            || (::lstat(GetCutFileName(*number).c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
            break;
    }
    // Nothing changes when nothing can be recorded: an overwrite must not drop
    // the rest of the dictation, nor the undo push empty redo and delete its
    // cuts, for a file that does not exist.
    if (!number || !sink || !sink->IsUsable())
        return {};
    const CutRecord record { *number, 0, kCutToEnd };
    if (bSaveForUndo) {
        switch (nMode) {
        case kRecordAtEnd:
            SaveForUndo("Record at End");
            break;
        case kRecordInsert:
            SaveForUndo("Record Insert @ " + position.ToTextMillis());
            break;
        default:
            SaveForUndo("Record Overwrite @ " + position.ToTextMillis());
            break;
        }
    }
    const uint32_t tPrevious = m_header.tRecorded;
    m_header.tRecorded = LDateTime::Now();
    if (nMode == kRecordAtEnd)
        m_cuts.Add(record);
    else
        PlaceRecord(record, position.ToSamples(static_cast<int32_t>(m_header.uSampleRate)), nMode == kRecordOverwrite);
    m_lastRecordStart = RecordStart { *number, nMode, bSaveForUndo, tPrevious };
    if (bSaveHeader)
        Save();
    return sink;
}

bool LDictation::UndoFailedRecording()
{
    if (!m_lastRecordStart || !m_lastRecordStart->bUndoSaved)
        return false;
    const uint32_t tPrevious = m_lastRecordStart->tPreviousRecorded;
    m_lastRecordStart.reset();
    if (!Undo())
        return false;
    // The entry that would redo the recording holds the only reference to
    // its cut; the recording's push emptied redo, so nothing else goes.
    for (UndoEntry& entry : m_redo)
        ClearByDeleteCut(entry.cuts);
    m_redo.Clear();
    m_header.tRecorded = tPrevious;
    Save();
    return true;
}

void LDictation::PlaceRecord(const CutRecord& record, int64_t nFrame, bool bOverwrite)
{
    int64_t nRemaining = nFrame;
    for (auto it = m_cuts.GetFirst(); it.IsValid(); it.Next()) {
        if (nRemaining <= 0) {
            m_cuts.AddBefore(it, record);
            if (bOverwrite) {
                // Unlinked from the tail first, so a number the tail shares
                // with what stays keeps its file.
                LList<CutRecord> tail;
                while (it.IsValid())
                    tail.Add(m_cuts.Detach(it));
                ClearByDeleteCut(tail);
            }
            return;
        }
        int64_t nLength = GetCutLength(*it);
        if (nLength > nRemaining) {
            const uint32_t uSplit = it->uStart + static_cast<uint32_t>(nRemaining);
            m_cuts.AddAfter(it, CutRecord { it->uCutNumber, uSplit, it->uEnd });
            it->uEnd = uSplit;
            nLength = nRemaining;
        }
        nRemaining -= nLength;
    }
    m_cuts.Add(record);
}

bool LDictation::Delete()
{
    ReadCuts();
    ClearStacks();
    ClearByDeleteCut(m_cuts);
    bool bDeleted = DeleteFileAt(m_path);
    // Only files this program put there: the folder is named by the file number.
    const std::string attachments = GetAttachmentFolder();
    if (bDeleted && FileExists(attachments))
        DeleteFolderAndFiles(attachments);
    m_header.uVersion = 0;
    return bDeleted;
}

namespace {

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

} // namespace

bool LDictation::MoveToFolder(const std::string& folder)
{
    if (!IsValid())
        return false;
    ReadCuts();
    ClearStacks();
    // The cut files are linked into the folder, then the header is moved, and
    // only then do the old names go: killed at any step, the header still lies
    // beside every cut file it names (at worst with spare links to the same
    // files, which a repeated move takes as its own). Where links cannot be
    // made the files are moved, header last.
    std::vector<std::pair<std::string, std::string>> linked, moved;
    auto rollBack = [&]() {
        for (const auto& [from, to] : linked)
            DeleteFileAt(to);
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            MoveFileNoReplace(it->second, it->first);
        return false;
    };
    std::set<uint16_t> done;
    const std::string base = GetBaseName();
    for (const CutRecord& cut : m_cuts) {
        if (!done.insert(cut.uCutNumber).second)
            continue;
        std::string from = GetCutFileName(cut.uCutNumber);
        std::string to = FilePathCat(folder, base + "_" + std::to_string(cut.uCutNumber) + ".dau");
        // A cut whose file is gone plays as silence wherever the header goes.
        if (!FileExists(from))
            continue;
        if (::link(from.c_str(), to.c_str()) == 0 || (errno == EEXIST && IsSameFile(from, to)))
            linked.emplace_back(from, to);
        else if (errno != EEXIST && MoveFileNoReplace(from, to))
            moved.emplace_back(from, to);
        else
            return rollBack();
    }
    std::string newPath = FilePathCat(folder, base + ".ddf");
    if (!MoveFileNoReplace(m_path, newPath))
        return rollBack();
    for (const auto& [from, to] : linked)
        DeleteFileAt(from);
    m_path = newPath;
    return true;
}
