#include "sound/convert/LSRCPeakLimit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

LSRCPeakLimit::LSRCPeakLimit(const LSoundSourceRef& inner, int32_t nLimit)
    : LSRCFilterBase(inner, OrPlaceholder(inner)->SampleRate(), OrPlaceholder(inner)->NumChannels(),
        std::clamp<int32_t>(nLimit, 1, 0x3FFFFF))
    , m_nLimit(std::clamp<int32_t>(nLimit, 1, 0x3FFFFF))
    , m_nBlock(std::clamp<int32_t>(m_inner->SampleRate() / 35, 20, 8192))
{
    m_blocks.assign(static_cast<size_t>(kBlocks) * m_nBlock * NumChannels(), 0);
}

int32_t LSRCPeakLimit::GainOf(const int32_t* pBlock) const
{
    int64_t nPeak = 0;
    const size_t nSamples = static_cast<size_t>(m_nBlock) * NumChannels();
    for (size_t i = 0; i < nSamples; ++i)
        nPeak = std::max<int64_t>(nPeak, std::llabs(pBlock[i]));
    if (nPeak <= m_nLimit)
        return kUnity;
    // limit / peak in Q24; the divisor is rounded up, so the gain never
    // lets the peak above the limit.
    const int64_t nDivisor = (nPeak + 64) >> 6;
    return static_cast<int32_t>(((static_cast<int64_t>(m_nLimit) << 9) / nDivisor) << 9);
}

void LSRCPeakLimit::Restart()
{
    const size_t nBlockSamples = static_cast<size_t>(m_nBlock) * NumChannels();
    for (int b = 0; b < kBlocks; ++b)
        m_inner->Read(m_blocks.data() + b * nBlockSamples, m_nBlock);
    m_nCurrent = 0;
    m_gains[1] = GainOf(m_blocks.data());
    m_gains[2] = GainOf(m_blocks.data() + nBlockSamples);
    m_gains[3] = GainOf(m_blocks.data() + 2 * nBlockSamples);
    m_gains[0] = m_gains[1];
    m_nGain = m_gains[1];
    // The first block plans its slope too: a louder second block must find
    // the gain already down when it begins.
    PlanBlock();
    m_bStarted = true;
}

void LSRCPeakLimit::NextBlock()
{
    const size_t nBlockSamples = static_cast<size_t>(m_nBlock) * NumChannels();
    // The spent current block takes the next read: it becomes the one after.
    int32_t* pSpent = m_blocks.data() + m_nCurrent * nBlockSamples;
    m_inner->Read(pSpent, m_nBlock);
    m_nCurrent = (m_nCurrent + 1) % kBlocks;
    m_gains[0] = m_gains[1];
    m_gains[1] = m_gains[2];
    m_gains[2] = m_gains[3];
    m_gains[3] = GainOf(pSpent);
    PlanBlock();
}

void LSRCPeakLimit::PlanBlock()
{
    // Reach the lower of this block's and the next block's gain by the end of
    // this block: the gain is already down when a loud block begins.
    const int64_t nAverage = (static_cast<int64_t>(m_gains[0]) + m_gains[1] + m_gains[2] + m_gains[3]) / 4;
    const int64_t D = std::min<int64_t>(std::min(m_gains[1], m_gains[2]) - m_nGain, nAverage - m_nGain);
    m_nSlope = D / m_nBlock;
    m_nGain += D % m_nBlock;
    m_nUsed = 0;
}

void LSRCPeakLimit::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (!m_bStarted)
        Restart();
    const int nChannels = NumChannels();
    const size_t nBlockSamples = static_cast<size_t>(m_nBlock) * nChannels;
    while (nFrames > 0) {
        if (m_nUsed == m_nBlock)
            NextBlock();
        const int32_t n = std::min(nFrames, m_nBlock - m_nUsed);
        const int32_t* pIn = m_blocks.data() + m_nCurrent * nBlockSamples + static_cast<size_t>(m_nUsed) * nChannels;
        if (m_nGain >= kUnity && m_nSlope == 0) {
            std::memcpy(pBuffer, pIn, static_cast<size_t>(n) * nChannels * sizeof(int32_t));
        } else {
            for (int32_t i = 0; i < n; ++i) {
                for (int c = 0; c < nChannels; ++c) {
                    const int64_t x = pIn[static_cast<ptrdiff_t>(i) * nChannels + c];
                    pBuffer[static_cast<ptrdiff_t>(i) * nChannels + c] = static_cast<int32_t>((x * m_nGain) >> 24);
                }
                m_nGain += m_nSlope;
            }
        }
        pBuffer += static_cast<ptrdiff_t>(n) * nChannels;
        nFrames -= n;
        m_nUsed += n;
    }
}

int64_t LSRCPeakLimit::GetPosition()
{
    if (!m_bStarted)
        return m_inner->GetPosition();
    return m_inner->GetPosition() - (static_cast<int64_t>(kBlocks) * m_nBlock - m_nUsed);
}

void LSRCPeakLimit::Seek(int64_t nFrame)
{
    m_inner->Seek(nFrame);
    m_bStarted = false;
}
