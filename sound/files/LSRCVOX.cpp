#include "sound/files/LSRCVOX.h"

#include <algorithm>

LSRCVOX::LSRCVOX(LFile&& file, int32_t nSampleRate)
    : LSoundSourceBase(nSampleRate, 1, kMaxAmplitude)
    , m_file(std::move(file))
{
    if (!m_file.IsOpen()) {
        SetError(kSoundErrOpen);
        return;
    }
    m_nDataStart = m_file.Tell();
    m_input.resize(kReadBytes);
    // Room for every checkpoint of the file as it is now, so that reading
    // never allocates; a file that grows later seeks from the last one.
    const uint64_t nBytes = static_cast<uint64_t>(GetLength()) / 2;
    m_checkpoints.reserve(static_cast<size_t>(nBytes / kCheckpointBytes + 2));
    m_checkpoints.push_back({ 0, 0 });
}

int64_t LSRCVOX::GetLength()
{
    if (!m_file.IsOpen())
        return 0;
    const uint64_t nSize = m_file.GetFileSizeBytes();
    return nSize > m_nDataStart ? static_cast<int64_t>(nSize - m_nDataStart) * 2 : 0;
}

int64_t LSRCVOX::Decode(int32_t* pOut, int64_t nSamples)
{
    int64_t nDone = 0;
    if (nSamples > 0 && (m_nNext & 1)) {
        const int32_t v = m_adpcm.DecodeNibble(m_uPending & 15);
        if (pOut)
            pOut[nDone] = v;
        ++nDone;
        ++m_nNext;
    }
    while (nDone < nSamples) {
        const uint64_t nByte = static_cast<uint64_t>(m_nNext) / 2;
        const size_t nWant = static_cast<size_t>(std::min<int64_t>((nSamples - nDone + 1) / 2, kReadBytes));
        if (!m_file.Seek(m_nDataStart + nByte))
            break;
        const size_t nGot = m_file.Read(m_input.data(), nWant);
        for (size_t k = 0; k < nGot; ++k) {
            const uint64_t nAt = nByte + k;
            if (nAt % kCheckpointBytes == 0 && nAt / kCheckpointBytes == m_checkpoints.size()
                && m_checkpoints.size() < m_checkpoints.capacity())
                m_checkpoints.push_back({ m_adpcm.V, m_adpcm.i });
            const uint8_t uByte = m_input[k];
            int32_t v = m_adpcm.DecodeNibble(uByte >> 4);
            if (pOut)
                pOut[nDone] = v;
            ++nDone;
            ++m_nNext;
            if (nDone == nSamples) {
                m_uPending = uByte;
                break;
            }
            v = m_adpcm.DecodeNibble(uByte & 15);
            if (pOut)
                pOut[nDone] = v;
            ++nDone;
            ++m_nNext;
        }
        if (nGot < nWant)
            break;
    }
    return nDone;
}

void LSRCVOX::MoveTo(int64_t nSample)
{
    constexpr int64_t kCheckpointSamples = 2 * kCheckpointBytes;
    if (nSample == m_nNext)
        return;
    const size_t k = std::min(static_cast<size_t>(nSample / kCheckpointSamples), m_checkpoints.size() - 1);
    const int64_t nFrom = static_cast<int64_t>(k) * kCheckpointSamples;
    // Decoding on from where the decoder stands is as good when that lies
    // between the checkpoint and the target.
    if (m_nNext < nFrom || m_nNext > nSample) {
        m_adpcm.V = m_checkpoints[k].V;
        m_adpcm.i = m_checkpoints[k].i;
        m_nNext = nFrom;
    }
    if (Decode(nullptr, nSample - m_nNext) < nSample - m_nNext)
        m_nNext = -1;
}

void LSRCVOX::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const int64_t nStart = m_nPosition;
    const int64_t nEnd = nStart + nFrames;
    m_nPosition = nEnd;
    const int64_t nLength = GetLength();
    const int64_t nFrom = std::clamp<int64_t>(nStart, 0, nLength);
    const int64_t nTo = std::clamp<int64_t>(nEnd, 0, nLength);
    int32_t* pOut = pBuffer;
    if (nTo > nFrom) {
        const size_t nLead = static_cast<size_t>(nFrom - nStart);
        std::fill_n(pOut, nLead, 0);
        pOut += nLead;
        MoveTo(nFrom);
        if (m_nNext == nFrom) {
            const int64_t nGot = Decode(pOut, nTo - nFrom);
            pOut += nGot;
            if (nGot < nTo - nFrom)
                m_nNext = -1; // the file shrank under us
        }
    }
    std::fill(pOut, pBuffer + nFrames, 0);
}
