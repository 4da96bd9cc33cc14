#include "dictation/LDictation.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LDateTime.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kOpenTimeoutMs = 1000;
constexpr uint32_t kMinSampleRate = 6000;
constexpr uint32_t kMaxSampleRate = 196000;
constexpr uint32_t kDefaultSampleRate = 11025;
constexpr size_t kMaxAttachmentPath = 254;

uint32_t SampleRateSetting()
{
    int rate = GetSettingInt("Settings", "SampleRate", static_cast<int>(kDefaultSampleRate));
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

LDictation::LDictation(const std::string& path)
{
    Load(path);
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
    m_path = FilePathCat(folder, std::to_string(m_header.uFileNumber % 10000000) + ".ddf");
    // A document that never reached the disk must not pass for one that did.
    if (!Save())
        m_header.uVersion = 0;
}

void LDictation::Load(const std::string& path)
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

    uint8_t rec[kCutRecordBytes];
    while (file.Read(rec, sizeof rec) == sizeof rec) {
        CutRecord cut;
        cut.uCutNumber = static_cast<uint16_t>(rec[0] | (rec[1] << 8));
        cut.uStart = rec[2] | (rec[3] << 8) | (rec[4] << 16) | (static_cast<uint32_t>(rec[5]) << 24);
        cut.uEnd = rec[6] | (rec[7] << 8) | (rec[8] << 16) | (static_cast<uint32_t>(rec[9]) << 24);
        m_cuts.Add(cut);
    }
    m_loadResult = LoadResult::Ok;
}

bool LDictation::Save()
{
    if (!IsValid())
        return false;
    std::vector<uint8_t> out(kDictationHeaderBytes);
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
    // Dictations are often confidential (medical, legal): readable by the owner only.
    return WriteFileAtomic(m_path, out.data(), out.size(), 0600);
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

std::string LDictation::GetCutFileName(uint16_t uCutNumber) const
{
    return FilePathCat(GetFolder(), GetBaseName() + "_" + std::to_string(uCutNumber) + ".dau");
}

uint32_t LDictation::GetCutLength(const CutRecord& cut) const
{
    uint64_t end = cut.uEnd;
    if (cut.uEnd == kCutToEnd) {
        uint64_t frames = GetFileSizeBytes(GetCutFileName(cut.uCutNumber)) / 2;
        if (m_header.uChannels >= 2)
            frames /= m_header.uChannels;
        end = frames > 0xFFFFFFFEu ? 0xFFFFFFFEu : frames;
    }
    return end > cut.uStart ? static_cast<uint32_t>(end - cut.uStart) : 0;
}

uint64_t LDictation::GetTotalSamples() const
{
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

bool LDictation::IsCutNumberUsed(uint16_t uCutNumber) const
{
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

void LDictation::ClearByDeleteCut(LList<CutRecord>& cuts)
{
    for (auto it = cuts.GetFirst(); it.IsValid();)
        DeleteCut(cuts.Detach(it));
}

void LDictation::ClearStacks()
{
    for (LList<UndoEntry>* stack : { &m_redo, &m_undo }) {
        for (auto it = stack->GetFirst(); it.IsValid();) {
            std::unique_ptr<UndoEntry> entry = stack->Detach(it);
            ClearByDeleteCut(entry->cuts);
        }
    }
}

bool LDictation::Delete()
{
    ClearStacks();
    ClearByDeleteCut(m_cuts);
    bool bDeleted = DeleteFileAt(m_path);
    m_header.uVersion = 0;
    return bDeleted;
}

bool LDictation::MoveToFolder(const std::string& folder)
{
    if (!IsValid())
        return false;
    ClearStacks();
    std::vector<std::pair<std::string, std::string>> moved;
    auto rollBack = [&moved]() {
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
        if (!MoveFileNoReplace(from, to))
            return rollBack();
        moved.emplace_back(from, to);
    }
    std::string newPath = FilePathCat(folder, base + ".ddf");
    if (!MoveFileNoReplace(m_path, newPath))
        return rollBack();
    m_path = newPath;
    return true;
}
