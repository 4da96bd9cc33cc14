#include "sound/files/LRawFileDataSoundSource.h"

#include <algorithm>

LRawFileDataSoundSourceBase::LRawFileDataSoundSourceBase(LFile&& file, int32_t nSampleRate, uint8_t nChannels,
    int32_t nMaxAmplitude, uint32_t nBytesPerSample, int64_t nLengthFrames)
    : LSoundSourceBase(nSampleRate, nChannels, nMaxAmplitude)
    , m_file(std::move(file))
    , m_nFrameBytes(NumChannels() * nBytesPerSample)
    , m_nLength(nLengthFrames < 0 ? kLengthUnspecified : nLengthFrames)
{
    if (m_nFrameBytes == 0) {
        m_nFrameBytes = 2;
        SetError(kSoundErrFormat);
    }
    if (!m_file.IsOpen()) {
        SetError(kSoundErrOpen);
        m_nLength = 0;
        return;
    }
    m_nDataStart = m_file.Tell();
    // A length stated by a header is capped at what the file holds: a header
    // claiming gigabytes must not size a conversion or a recording.
    if (m_nLength != kLengthUnspecified) {
        const uint64_t nSize = m_file.GetFileSizeBytes();
        const uint64_t nHeld = nSize > m_nDataStart ? (nSize - m_nDataStart) / m_nFrameBytes : 0;
        m_nLength = std::min<int64_t>(m_nLength, static_cast<int64_t>(nHeld));
    }
    m_buffer.resize(kBufferFrames * m_nFrameBytes);
}

int64_t LRawFileDataSoundSourceBase::GetLength()
{
    if (m_nLength != kLengthUnspecified)
        return m_nLength;
    uint64_t nSize = m_file.GetFileSizeBytes();
    return nSize > m_nDataStart ? static_cast<int64_t>((nSize - m_nDataStart) / m_nFrameBytes) : 0;
}

void LRawFileDataSoundSourceBase::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const size_t nChannels = NumChannels();
    const int64_t nStart = m_nPosition;
    const int64_t nEnd = nStart + nFrames;
    m_nPosition = nEnd;
    const int64_t nLength = m_file.IsOpen() ? GetLength() : 0;
    const int64_t nFrom = std::clamp<int64_t>(nStart, 0, nLength);
    const int64_t nTo = std::clamp<int64_t>(nEnd, 0, nLength);

    int32_t* pOut = pBuffer;
    if (nTo > nFrom) {
        // Frames before 0 (a negative position) are silence.
        size_t nLead = static_cast<size_t>(nFrom - nStart);
        std::fill_n(pOut, nLead * nChannels, 0);
        pOut += nLead * nChannels;
        int64_t nLeft = m_file.Seek(m_nDataStart + static_cast<uint64_t>(nFrom) * m_nFrameBytes) ? nTo - nFrom : 0;
        while (nLeft > 0) {
            size_t nChunk = static_cast<size_t>(std::min<int64_t>(nLeft, kBufferFrames));
            size_t nBytes = nChunk * m_nFrameBytes;
            size_t nGot = m_file.Read(m_buffer.data(), nBytes);
            size_t nGotFrames = nGot / m_nFrameBytes;
            Decode(m_buffer.data(), pOut, nGotFrames * nChannels);
            pOut += nGotFrames * nChannels;
            nLeft -= static_cast<int64_t>(nGotFrames);
            if (nGot < nBytes)
                break; // the file is shorter than its stated length
        }
    }
    // Whatever lies past the real end of the file, or past the length.
    std::fill(pOut, pBuffer + static_cast<size_t>(nFrames) * nChannels, 0);
}
