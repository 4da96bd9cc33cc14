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
    if (!m_file.Seek(m_nHeaderBytes + static_cast<uint64_t>(nKeep) * m_nFrameBytes) || !m_file.Truncate()) {
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
    const size_t nChannels = NumChannels();
    size_t nLeft = static_cast<size_t>(nFrames);
    while (nLeft > 0) {
        size_t nChunk = std::min(nLeft, kBufferFrames);
        Encode(pBuffer, m_buffer.data(), nChunk * nChannels);
        if (!m_file.Write(m_buffer.data(), nChunk * m_nFrameBytes)) {
            // A full disk: keep counting, but stop touching the file.
            SetUnusable(m_file.LastErrno());
            m_file.Close();
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
    if (m_file.IsOpen())
        (void)(m_file.Seek(m_nHeaderBytes + static_cast<uint64_t>(m_nPosition) * m_nFrameBytes) && m_file.Truncate());
}
