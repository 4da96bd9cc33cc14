#include "sound/files/LRawFileDataSoundSink.h"

#include <algorithm>

LRawFileDataSoundSinkBase::LRawFileDataSoundSinkBase(const std::string& path, int32_t nSampleRate, uint8_t nChannels,
    uint32_t nBytesPerSample, HeaderWriter headerWriter, int64_t nStartFrames)
    : LSoundSinkBase(nSampleRate, nChannels)
    , m_nFrameBytes(NumChannels() * nBytesPerSample)
    , m_headerWriter(std::move(headerWriter))
{
    if (!IsUsable() || nSampleRate < 1) {
        SetUnusable();
        return;
    }
    const bool bKeep = nStartFrames >= 0;
    const bool bNewOnly = nStartFrames == kNewFileOnly;
    // Readers (the player, a send in progress) may look at the file while it grows.
    if (!m_file.Open(path, LFile::kReadWrite, LFile::kShareRead,
            bKeep ? LFile::kOpenAlways : (bNewOnly ? LFile::kCreateNew : LFile::kCreateAlways),
            bNewOnly ? 0600 : 0644)) {
        SetUnusable(m_file.LastErrno());
        return;
    }
    const uint64_t nOldSize = m_file.GetFileSizeBytes();
    if (m_headerWriter) {
        m_nHeaderBytes = m_headerWriter(m_file, 0, false);
        if (m_nHeaderBytes == 0) {
            SetUnusable(m_file.LastErrno());
            m_file.Close();
            return;
        }
    }
    int64_t nKeep = 0;
    if (nStartFrames > 0 && nOldSize > m_nHeaderBytes)
        nKeep = std::min<int64_t>(nStartFrames, static_cast<int64_t>((nOldSize - m_nHeaderBytes) / m_nFrameBytes));
    m_nPosition = nKeep;
    // Only a file that holds more is cut: ext4 takes a truncation to nothing
    // for a file being replaced and writes it all out at its close.
    const uint64_t nStart = m_nHeaderBytes + static_cast<uint64_t>(nKeep) * m_nFrameBytes;
    if (!m_file.Seek(nStart) || (m_file.GetFileSizeBytes() != nStart && !m_file.Truncate())) {
        SetUnusable(m_file.LastErrno());
        m_file.Close();
        return;
    }
    m_buffer.resize(kBufferFrames * m_nFrameBytes);
}

LRawFileDataSoundSinkBase::~LRawFileDataSoundSinkBase()
{
    if (!m_file.IsOpen())
        return;
    DropUnfinishedFrame();
    if (m_headerWriter && m_file.Seek(0))
        m_headerWriter(m_file, static_cast<uint64_t>(m_nPosition) * m_nFrameBytes, true);
    m_file.Close();
}

void LRawFileDataSoundSinkBase::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    if (!m_file.IsOpen())
        return;
    DropUnfinishedFrame();
    const size_t nChannels = NumChannels();
    size_t nLeft = static_cast<size_t>(nFrames);
    while (nLeft > 0) {
        size_t nChunk = std::min(nLeft, kBufferFrames);
        Encode(pBuffer, m_buffer.data(), nChunk * nChannels);
        if (!m_file.Write(m_buffer.data(), nChunk * m_nFrameBytes)) {
            Failed();
            return;
        }
        pBuffer += nChunk * nChannels;
        nLeft -= nChunk;
    }
}

void LRawFileDataSoundSinkBase::Seek(int64_t nFrame)
{
    if (nFrame > m_nPosition)
        return;
    m_nPosition = std::max<int64_t>(nFrame, 0);
    m_nUnfinishedBytes = 0;
    if (m_file.IsOpen())
        (void)(m_file.Seek(m_nHeaderBytes + static_cast<uint64_t>(m_nPosition) * m_nFrameBytes) && m_file.Truncate());
}

bool LRawFileDataSoundSinkBase::WritePcm16Bytes(const uint8_t* p, size_t nBytes)
{
    if (!TakesPcm16Bytes() || !m_file.IsOpen())
        return false;
    if (!m_file.Write(p, nBytes))
        return Failed();
    CountBytes(nBytes);
    return true;
}

int64_t LRawFileDataSoundSinkBase::MovePcm16FromPipe(int nPipeFd, size_t nMaxBytes)
{
    if (!TakesPcm16Bytes() || !m_file.IsOpen())
        return -1;
    const int64_t n = m_file.MoveFromPipe(nPipeFd, nMaxBytes);
    if (n < 0) {
        Failed();
        return -1;
    }
    CountBytes(static_cast<size_t>(n));
    return n;
}

int64_t LRawFileDataSoundSinkBase::AppendPcm16With(const std::function<void(int nFd)>& writer)
{
    if (!TakesPcm16Bytes() || !m_file.IsOpen())
        return -1;
    const uint64_t nFrom = m_nHeaderBytes + static_cast<uint64_t>(m_nPosition) * m_nFrameBytes + m_nUnfinishedBytes;
    if (!m_file.Seek(nFrom)) {
        Failed();
        return -1;
    }
    writer(m_file.Fd());
    // The writer shared the descriptor, so the file's size says what it wrote.
    const uint64_t nSize = m_file.GetFileSizeBytes();
    const uint64_t nGained = nSize > nFrom ? nSize - nFrom : 0;
    if (!m_file.Seek(nFrom + nGained)) {
        Failed();
        return -1;
    }
    CountBytes(static_cast<size_t>(nGained));
    return static_cast<int64_t>(nGained);
}

void LRawFileDataSoundSinkBase::CountBytes(size_t nBytes)
{
    const uint64_t nAll = m_nUnfinishedBytes + static_cast<uint64_t>(nBytes);
    m_nPosition += static_cast<int64_t>(nAll / m_nFrameBytes);
    m_nUnfinishedBytes = static_cast<uint32_t>(nAll % m_nFrameBytes);
}

void LRawFileDataSoundSinkBase::DropUnfinishedFrame()
{
    if (m_nUnfinishedBytes == 0)
        return;
    m_nUnfinishedBytes = 0;
    if (!m_file.Seek(m_nHeaderBytes + static_cast<uint64_t>(m_nPosition) * m_nFrameBytes) || !m_file.Truncate())
        Failed();
}

// A full disk: the sink keeps counting, but stops touching the file.
bool LRawFileDataSoundSinkBase::Failed()
{
    SetUnusable(m_file.LastErrno());
    m_file.Close();
    return false;
}
