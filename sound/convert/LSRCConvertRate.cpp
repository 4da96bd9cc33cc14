#include "sound/convert/LSRCConvertRate.h"

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

// A dot product of kTaps (rounded up to whole vectors) 16-bit taps and
// samples in 32 bits; a fixed count lets the compiler use packed 16-bit
// multiply-adds.
int32_t Dot(const int16_t* __restrict pTaps, const int16_t* __restrict pX)
{
    constexpr int kCount = (LSRCConvertRate::kTaps + 3) / 4 * 4;
    int32_t nSum = 0;
    for (int k = 0; k < kCount; ++k)
        nSum += static_cast<int32_t>(pTaps[k]) * pX[k];
    return nSum;
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
    const size_t nStride = m_filter.RowStride();
    m_tapsHigh.resize(static_cast<size_t>(m_filter.Phases()) * nStride);
    m_tapsLow.resize(m_tapsHigh.size());
    for (int p = 0; p < m_filter.Phases(); ++p)
        for (size_t k = 0; k < nStride; ++k) {
            const int32_t c = m_filter.Row(p)[k];
            m_tapsHigh[p * nStride + k] = static_cast<int16_t>(c >> 8);
            m_tapsLow[p * nStride + k] = static_cast<int16_t>(c & 0xFF);
        }
    // A padded row reads a frame past the last tap.
    m_nPlane = kHistory + kBlockFrames + nStride;
    m_raw.assign(m_nPlane * NumChannels(), 0);
    m_scaled.assign(m_nPlane * NumChannels(), 0);
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
    m_inner->Read(m_raw.data() + static_cast<size_t>(kBlockFrames) * NumChannels(), kHistory);
    m_nIndex = kBlockFrames;
    m_nPosition = nFrame;
}

void LSRCConvertRate::Refill()
{
    const size_t nChannels = NumChannels();
    const size_t nFrames = kHistory + kBlockFrames;
    std::memmove(m_raw.data(), m_raw.data() + kBlockFrames * nChannels, kHistory * nChannels * sizeof(int32_t));
    m_inner->Read(m_raw.data() + kHistory * nChannels, kBlockFrames);
    m_nIndex -= kBlockFrames;

    // One shift for the whole buffer, history included, so that every
    // window sees its samples on one scale.
    int64_t nPeak = 0;
    for (size_t i = 0; i < nFrames * nChannels; ++i)
        nPeak = std::max<int64_t>(nPeak, std::llabs(m_raw[i]));
    int nShift = 0;
    while (((nPeak + (nShift > 0 ? int64_t { 1 } << (nShift - 1) : 0)) >> nShift) > 32767)
        ++nShift;
    m_nShift = nShift;
    const int64_t nHalf = nShift > 0 ? int64_t { 1 } << (nShift - 1) : 0;
    for (size_t c = 0; c < nChannels; ++c) {
        int16_t* pPlane = m_scaled.data() + c * m_nPlane;
        const int32_t* pRaw = m_raw.data() + c;
        for (size_t i = 0; i < nFrames; ++i)
            pPlane[i] = static_cast<int16_t>((pRaw[i * nChannels] + nHalf) >> nShift);
    }
}

void LSRCConvertRate::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const int64_t P = m_filter.Phases();
    const int64_t nWhole = m_filter.Step() / P;
    const int64_t nPart = m_filter.Step() % P;
    const int nStride = m_filter.RowStride();
    const int nChannels = NumChannels();
    // The phase is kept below P, so the step needs no division per frame.
    m_nIndex += m_nPhase / P;
    m_nPhase %= P;
    for (int32_t i = 0; i < nFrames; ++i) {
        while (m_nIndex >= kBlockFrames)
            Refill();
        const int16_t* pHigh = m_tapsHigh.data() + m_nPhase * nStride;
        const int16_t* pLow = m_tapsLow.data() + m_nPhase * nStride;
        for (int c = 0; c < nChannels; ++c) {
            const int16_t* pX = m_scaled.data() + c * m_nPlane + m_nIndex;
            // Both sums stay far inside 32 bits: |hi| <= 256 and 0 <= lo < 256.
            const int32_t nHigh = Dot(pHigh, pX);
            const int32_t nLow = Dot(pLow, pX);
            const int64_t nSum = (static_cast<int64_t>(nHigh) * 256 + nLow) * (int64_t { 1 } << m_nShift);
            pBuffer[static_cast<ptrdiff_t>(i) * nChannels + c] = static_cast<int32_t>(
                std::clamp<int64_t>((nSum + LPolyphaseFilter::kOne / 2) >> 16, INT32_MIN, INT32_MAX));
        }
        m_nIndex += nWhole;
        m_nPhase += nPart;
        if (m_nPhase >= P) {
            m_nPhase -= P;
            ++m_nIndex;
        }
    }
    m_nPosition += nFrames;
}
