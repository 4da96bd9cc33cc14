#include "sound/LSRCConvertRate.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t TargetOrDefault(int32_t nRate)
{
    return nRate < 1 ? 44100 : nRate;
}

int32_t Headroom(int32_t nMax)
{
    // Room for the filter's overshoot.
    return nMax <= 0x100000 ? nMax * 2 : nMax;
}

// Floor division and its remainder, for frames before 0.
int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b) != 0 && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

LSRCConvertRate::LSRCConvertRate(const LSoundSourceRef& inner, int32_t nTargetRate, bool bPreStage)
    : LSRCFilterBase(inner, TargetOrDefault(nTargetRate), OrPlaceholder(inner)->NumChannels(),
        Headroom(OrPlaceholder(inner)->MaxAmplitude()))
    , m_filter(m_inner->SampleRate(), TargetOrDefault(nTargetRate), bPreStage, kTaps)
    // The first window lies a block ahead, so the first Read refills, and
    // the first output is centred on the inner source's current frame.
    , m_nIndex(kBlockFrames + kCentre + 1)
{
    if (nTargetRate < 1 && IsUsable())
        SetError(kSoundErrFormat);
    // The padded row reads past the last tap: one more frame of slack.
    m_buffer.assign(static_cast<size_t>(kHistory + kBlockFrames + m_filter.RowStride()) * NumChannels(), 0);
    m_nPosition = m_filter.ToOutputFrames(m_inner->GetPosition());
}

int64_t LSRCConvertRate::GetLength()
{
    return m_filter.ToOutputFrames(m_inner->GetLength());
}

void LSRCConvertRate::Seek(int64_t nFrame)
{
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    const int64_t nWhole = FloorDiv(nFrame, P);
    const int64_t nRest = nFrame - nWhole * P;
    const int64_t nCentre = nWhole * S + (nRest * S) / P;
    m_nPhase = (nRest * S) % P;
    m_inner->Seek(nCentre - kCentre);
    // The frames before the centre go where the next refill takes its history from.
    m_inner->Read(m_buffer.data() + static_cast<size_t>(kBlockFrames) * NumChannels(), kHistory);
    m_nIndex = kBlockFrames;
    m_nPosition = nFrame;
}

void LSRCConvertRate::Refill()
{
    const size_t nChannels = NumChannels();
    std::memmove(m_buffer.data(), m_buffer.data() + kBlockFrames * nChannels, kHistory * nChannels * sizeof(int32_t));
    m_inner->Read(m_buffer.data() + kHistory * nChannels, kBlockFrames);
    m_nIndex -= kBlockFrames;
}

void LSRCConvertRate::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    if (NumChannels() == 1)
        ReadMono(pBuffer, nFrames);
    else if (NumChannels() == 2)
        ReadStereo(pBuffer, nFrames);
    else
        ReadAny(pBuffer, nFrames);
    m_nPosition += nFrames;
}

void LSRCConvertRate::ReadMono(int32_t* pBuffer, int32_t nFrames)
{
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    const int nStride = m_filter.RowStride();
    for (int32_t i = 0; i < nFrames; ++i) {
        m_nIndex += m_nPhase / P;
        m_nPhase %= P;
        while (m_nIndex >= kBlockFrames)
            Refill();
        const int32_t* pRow = m_filter.Row(static_cast<int>(m_nPhase));
        const int32_t* pX = m_buffer.data() + m_nIndex;
        int64_t nSum = 0;
        for (int k = 0; k < nStride; ++k)
            nSum += static_cast<int64_t>(pRow[k]) * pX[k];
        pBuffer[i] = static_cast<int32_t>(
            std::clamp<int64_t>((nSum + LPolyphaseFilter::kOne / 2) >> 16, INT32_MIN, INT32_MAX));
        m_nPhase += S;
    }
}

void LSRCConvertRate::ReadStereo(int32_t* pBuffer, int32_t nFrames)
{
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    const int nStride = m_filter.RowStride();
    for (int32_t i = 0; i < nFrames; ++i) {
        m_nIndex += m_nPhase / P;
        m_nPhase %= P;
        while (m_nIndex >= kBlockFrames)
            Refill();
        const int32_t* pRow = m_filter.Row(static_cast<int>(m_nPhase));
        const int32_t* pX = m_buffer.data() + 2 * m_nIndex;
        int64_t nLeft = 0;
        int64_t nRight = 0;
        for (int k = 0; k < nStride; ++k) {
            nLeft += static_cast<int64_t>(pRow[k]) * pX[2 * k];
            nRight += static_cast<int64_t>(pRow[k]) * pX[2 * k + 1];
        }
        pBuffer[2 * i] = static_cast<int32_t>(
            std::clamp<int64_t>((nLeft + LPolyphaseFilter::kOne / 2) >> 16, INT32_MIN, INT32_MAX));
        pBuffer[2 * i + 1] = static_cast<int32_t>(
            std::clamp<int64_t>((nRight + LPolyphaseFilter::kOne / 2) >> 16, INT32_MIN, INT32_MAX));
        m_nPhase += S;
    }
}

void LSRCConvertRate::ReadAny(int32_t* pBuffer, int32_t nFrames)
{
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    const int nChannels = NumChannels();
    for (int32_t i = 0; i < nFrames; ++i) {
        m_nIndex += m_nPhase / P;
        m_nPhase %= P;
        while (m_nIndex >= kBlockFrames)
            Refill();
        const int32_t* pRow = m_filter.Row(static_cast<int>(m_nPhase));
        for (int c = 0; c < nChannels; ++c)
            pBuffer[static_cast<ptrdiff_t>(i) * nChannels + c] = LPolyphaseFilter::Convolve(
                pRow, m_buffer.data() + m_nIndex * nChannels + c, m_filter.RowStride(), nChannels);
        m_nPhase += S;
    }
}
