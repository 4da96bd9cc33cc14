#include "sound/files/LGSMSourceBase.h"

#include "sound/codecs/LSampleConvert.h"

#include <algorithm>

LGSMSourceBase::LGSMSourceBase(
    LFile&& file, int32_t nSampleRate, uint64_t nDataBytes, size_t nBlockBytes, size_t nBlockSamples)
    : LSoundSourceBase(nSampleRate, 1, kMaxAmplitude)
    , m_file(std::move(file))
    , m_nDataBytes(nDataBytes)
    , m_nBlockBytes(nBlockBytes)
    , m_nBlockSamples(nBlockSamples)
{
    if (!m_file.IsOpen()) {
        SetError(kSoundErrOpen);
        m_nDataBytes = 0;
        return;
    }
    m_nDataStart = m_file.Tell();
    m_input.resize(kBlocksPerFill * m_nBlockBytes);
    m_decoded.resize(kBlocksPerFill * m_nBlockSamples);
}

uint64_t LGSMSourceBase::DataBytes() const
{
    if (!m_file.IsOpen())
        return 0;
    const uint64_t nSize = m_file.GetFileSizeBytes();
    return std::min(m_nDataBytes, nSize > m_nDataStart ? nSize - m_nDataStart : 0);
}

int64_t LGSMSourceBase::GetLength()
{
    return SamplesIn(DataBytes());
}

void LGSMSourceBase::Seek(int64_t nFrame)
{
    m_nPosition = nFrame;
    m_nDecodedSamples = 0;
    m_nNextBlock = UINT64_MAX; // the next fill starts the decoder afresh
}

bool LGSMSourceBase::Fill(int64_t nSample)
{
    const uint64_t nBlock = static_cast<uint64_t>(nSample) / m_nBlockSamples;
    if (nBlock != m_nNextBlock)
        m_gsm.ResetDecoder();
    m_nDecodedStart = static_cast<int64_t>(nBlock * m_nBlockSamples);
    m_nDecodedSamples = 0;
    const uint64_t nDataBytes = DataBytes();
    const uint64_t nOffset = nBlock * m_nBlockBytes;
    if (nOffset >= nDataBytes || !m_file.Seek(m_nDataStart + nOffset))
        return false;
    const size_t nWant = static_cast<size_t>(std::min<uint64_t>(m_input.size(), nDataBytes - nOffset));
    const size_t nGot = m_file.Read(m_input.data(), nWant);
    for (size_t nAt = 0; nAt < nGot; nAt += m_nBlockBytes) {
        const size_t nBytes = std::min(m_nBlockBytes, nGot - nAt);
        const size_t nOut = DecodeBlock(m_input.data() + nAt, nBytes, m_decoded.data() + m_nDecodedSamples);
        m_nDecodedSamples += nOut;
        if (nOut < m_nBlockSamples)
            break;
    }
    m_nNextBlock = nBlock + (m_nDecodedSamples + m_nBlockSamples - 1) / m_nBlockSamples;
    return m_nDecodedSamples > 0;
}

void LGSMSourceBase::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    int64_t nAt = m_nPosition;
    const int64_t nEnd = nAt + nFrames;
    m_nPosition = nEnd;
    const int64_t nLength = GetLength();
    int32_t* pOut = pBuffer;
    while (nAt < nEnd) {
        if (nAt < 0 || nAt >= nLength) {
            // Silence up to sample 0, or to the end of the request.
            const int64_t nTo = nAt < 0 ? std::min<int64_t>(0, nEnd) : nEnd;
            std::fill_n(pOut, nTo - nAt, 0);
            pOut += nTo - nAt;
            nAt = nTo;
            continue;
        }
        if (nAt < m_nDecodedStart || nAt >= m_nDecodedStart + static_cast<int64_t>(m_nDecodedSamples)) {
            if (!Fill(nAt) || nAt >= m_nDecodedStart + static_cast<int64_t>(m_nDecodedSamples)) {
                // The file ended early: silence for the rest.
                std::fill(pOut, pBuffer + nFrames, 0);
                return;
            }
        }
        const size_t nSkip = static_cast<size_t>(nAt - m_nDecodedStart);
        const size_t nTake = static_cast<size_t>(std::min<int64_t>(nEnd - nAt, m_nDecodedSamples - nSkip));
        S16ToInternal(m_decoded.data() + nSkip, pOut, nTake);
        pOut += nTake;
        nAt += static_cast<int64_t>(nTake);
    }
}
