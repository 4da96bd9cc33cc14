#include "sound/files/LSRCACMWave.h"

#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LSampleConvert.h"

#include <algorithm>

namespace {

// About 8192 decoded frames per fill, in whole blocks.
constexpr size_t kFillFrames = 8192;
// After a seek, this many bytes before the target are decoded and dropped so
// that codecs whose state runs across blocks have settled.
constexpr size_t kSeekLeadBytes = 256;

} // namespace

LSRCACMWave::LSRCACMWave(LFile&& file, const LWaveFormat& format, uint64_t nDataBytes)
    : LSoundSourceBase(
        static_cast<int32_t>(format.nSamplesPerSec), static_cast<uint8_t>(format.nChannels), kMaxAmplitudePCM)
    , m_file(std::move(file))
{
    if (!m_file.IsOpen()) {
        SetError(kSoundErrOpen);
        return;
    }
    const LCodecEntry* pEntry = LCodecTable::Find(format.wFormatTag);
    LCodecStatus status = LCodecStatus::UnknownFormat;
    if (pEntry && pEntry->pCreateDecoder)
        m_decoder = pEntry->pCreateDecoder(format, &status);
    if (!m_decoder || m_decoder->BlockBytes() == 0 || m_decoder->FramesPerBlock() == 0
        || format.nChannels != NumChannels()) {
        m_decoder.reset();
        SetError(kSoundErrCodec);
        return;
    }
    m_nBlockBytes = m_decoder->BlockBytes();
    m_nFramesPerBlock = m_decoder->FramesPerBlock();
    m_nDataStart = m_file.Tell();
    const uint64_t nSize = m_file.GetFileSizeBytes();
    m_nDataBytes = std::min(nDataBytes, nSize > m_nDataStart ? nSize - m_nDataStart : 0);
    m_nBlocks = (m_nDataBytes + m_nBlockBytes - 1) / m_nBlockBytes;
    m_nBlocksPerFill = std::max<size_t>(1, kFillFrames / m_nFramesPerBlock);
    m_input.resize(m_nBlocksPerFill * m_nBlockBytes);
    m_decoded.resize(m_nBlocksPerFill * m_nFramesPerBlock * NumChannels());

    // Every block but the last decodes to a whole block of frames; the last,
    // when short, says itself how many it holds.
    m_nLength = static_cast<int64_t>(m_nDataBytes / m_nBlockBytes * m_nFramesPerBlock);
    if (m_nDataBytes % m_nBlockBytes != 0)
        m_nLength += static_cast<int64_t>(DecodeBlockAt(m_nBlocks - 1, m_decoded.data()));
}

size_t LSRCACMWave::DecodeBlockAt(uint64_t nBlock, int16_t* pOut)
{
    if (nBlock >= m_nBlocks)
        return 0;
    if (nBlock != m_nNextBlock) {
        m_decoder->Reset();
        m_nNextBlock = nBlock;
    }
    const uint64_t nOffset = nBlock * m_nBlockBytes;
    const size_t nBytes = static_cast<size_t>(std::min<uint64_t>(m_nBlockBytes, m_nDataBytes - nOffset));
    if (!m_file.Seek(m_nDataStart + nOffset) || m_file.Read(m_input.data(), nBytes) != nBytes)
        return 0;
    ++m_nNextBlock;
    return m_decoder->DecodeBlock(m_input.data(), nBytes, pOut);
}

bool LSRCACMWave::Fill(int64_t nFrame)
{
    const uint64_t nFirst = static_cast<uint64_t>(nFrame) / m_nFramesPerBlock;
    if (nFirst != m_nNextBlock) {
        // Not where the decoder stands: settle its state on the blocks just before.
        const uint64_t nLead = (kSeekLeadBytes + m_nBlockBytes - 1) / m_nBlockBytes;
        for (uint64_t nBlock = nFirst > nLead ? nFirst - nLead : 0; nBlock < nFirst; ++nBlock)
            if (DecodeBlockAt(nBlock, m_decoded.data()) == 0)
                break;
        if (m_nNextBlock != nFirst) {
            m_decoder->Reset();
            m_nNextBlock = nFirst;
        }
    }
    // Read the run of blocks in one piece, then decode each.
    const uint64_t nOffset = nFirst * m_nBlockBytes;
    const size_t nWant = static_cast<size_t>(
        std::min<uint64_t>(m_nBlocksPerFill * m_nBlockBytes, nOffset < m_nDataBytes ? m_nDataBytes - nOffset : 0));
    size_t nGot = 0;
    if (nWant > 0 && m_file.Seek(m_nDataStart + nOffset))
        nGot = m_file.Read(m_input.data(), nWant);
    m_nDecodedStart = static_cast<int64_t>(nFirst * m_nFramesPerBlock);
    m_nDecodedFrames = 0;
    const size_t nChannels = NumChannels();
    for (size_t nAt = 0; nAt < nGot; nAt += m_nBlockBytes) {
        const size_t nBytes = std::min(m_nBlockBytes, nGot - nAt);
        const size_t nOut
            = m_decoder->DecodeBlock(m_input.data() + nAt, nBytes, m_decoded.data() + m_nDecodedFrames * nChannels);
        ++m_nNextBlock;
        m_nDecodedFrames += std::min(nOut, m_nFramesPerBlock);
        if (nOut < m_nFramesPerBlock && m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames) < m_nLength) {
            // A corrupt block, or data missing from the disk: the stream ends here.
            m_nLength = m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames);
            break;
        }
    }
    if (nGot < nWant && m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames) < m_nLength)
        m_nLength = m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames);
    return m_nDecodedFrames > 0;
}

void LSRCACMWave::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const size_t nChannels = NumChannels();
    int64_t nAt = m_nPosition;
    const int64_t nEnd = nAt + nFrames;
    m_nPosition = nEnd;
    int32_t* pOut = pBuffer;
    while (nAt < nEnd) {
        if (nAt < 0 || nAt >= m_nLength || !m_decoder) {
            // Silence up to frame 0, or to the end of the request.
            const int64_t nTo = nAt < 0 ? std::min<int64_t>(0, nEnd) : nEnd;
            std::fill_n(pOut, static_cast<size_t>(nTo - nAt) * nChannels, 0);
            pOut += static_cast<size_t>(nTo - nAt) * nChannels;
            nAt = nTo;
            continue;
        }
        if (nAt < m_nDecodedStart || nAt >= m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames)) {
            if (!Fill(nAt) || nAt >= m_nDecodedStart + static_cast<int64_t>(m_nDecodedFrames)) {
                // The length shrank to what could be decoded; the rest is silence.
                m_nLength = std::min(m_nLength, nAt);
                continue;
            }
        }
        const size_t nSkip = static_cast<size_t>(nAt - m_nDecodedStart);
        const size_t nTake = static_cast<size_t>(std::min<int64_t>(nEnd - nAt, m_nDecodedFrames - nSkip));
        S16ToInternal(m_decoded.data() + nSkip * nChannels, pOut, nTake * nChannels);
        pOut += nTake * nChannels;
        nAt += static_cast<int64_t>(nTake);
    }
}
