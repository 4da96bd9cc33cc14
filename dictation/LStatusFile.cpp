#include "dictation/LStatusFile.h"

#include "foundation/LText.h"

#include <cstring>

namespace {

constexpr unsigned kOpenTimeoutMs = 1000;
constexpr size_t kRecordsPerRead = 2048;

uint32_t Get32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

StatusFileResult LStatusFile::Open(const std::string& path)
{
    m_file.Close();
    m_uVersion = 0;
    m_nRecords = m_nRead = 0;
    m_buffer.clear();
    m_nBufferPos = 0;
    if (!OpenFileRetry(m_file, path, LFile::kRead, LFile::kShareRead, kOpenTimeoutMs, LFile::kOpenExisting))
        return StatusFileResult::NotOpened;
    uint8_t version[4];
    if (m_file.Read(version, sizeof version) != sizeof version) {
        m_file.Close();
        return StatusFileResult::UnknownVersion;
    }
    m_uVersion = Get32(version);
    if (m_uVersion >= 2) {
        m_file.Close();
        return StatusFileResult::UnknownVersion;
    }
    uint64_t size = m_file.GetFileSizeBytes();
    m_nRecords = size > 4 ? (size - 4) / RecordSize(m_uVersion) : 0;
    if (m_nRecords == 0) {
        m_file.Close();
        return StatusFileResult::NoRecords;
    }
    return StatusFileResult::Ok;
}

bool LStatusFile::Fill()
{
    const size_t recordSize = RecordSize(m_uVersion);
    size_t kept = m_buffer.size() - m_nBufferPos;
    if (kept > 0)
        std::memmove(m_buffer.data(), m_buffer.data() + m_nBufferPos, kept);
    m_nBufferPos = 0;
    uint64_t left = m_nRecords - m_nRead;
    size_t want = static_cast<size_t>(left < kRecordsPerRead ? left : kRecordsPerRead) * recordSize;
    if (want <= kept) {
        m_buffer.resize(kept);
        return kept >= recordSize;
    }
    m_buffer.resize(want);
    size_t got = m_file.Read(m_buffer.data() + kept, want - kept);
    m_buffer.resize(kept + got);
    return m_buffer.size() >= recordSize;
}

bool LStatusFile::ReadRecord(StatusRecord* pRecord)
{
    if (!m_file.IsOpen() || m_nRead >= m_nRecords)
        return false;
    const size_t recordSize = RecordSize(m_uVersion);
    if (m_buffer.size() - m_nBufferPos < recordSize && !Fill()) {
        // The file shrank since it was opened: what is missing is not read.
        m_nRecords = m_nRead;
        return false;
    }
    const uint8_t* p = m_buffer.data() + m_nBufferPos;
    char text[16];
    std::memcpy(text, p + 4, sizeof text);
    text[sizeof text - 1] = 0;
    pRecord->uFileNumber = Get32(p);
    pRecord->szStatus.assign(FieldText(text, sizeof text));
    pRecord->tStatus = m_uVersion == 1 ? Get32(p + 20) : 0;
    m_nBufferPos += recordSize;
    ++m_nRead;
    return true;
}
