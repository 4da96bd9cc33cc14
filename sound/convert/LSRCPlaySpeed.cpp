#include "sound/convert/LSRCPlaySpeed.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int64_t kMaxReadFrames = 8192;
constexpr int kCacheGrains = 8;

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b) != 0 && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

LSRCPlaySpeed::LSRCPlaySpeed(const LSoundSourceRef& inner, double fFirstSpeed, double fSecondSpeed, int32_t nRampMs)
    : LSRCFilterBase(inner, OrPlaceholder(inner)->SampleRate(), OrPlaceholder(inner)->NumChannels(),
        OrPlaceholder(inner)->MaxAmplitude())
{
    const int64_t nChannels = NumChannels();
    const int64_t nRate = SampleRate();
    m_nGrain = static_cast<int32_t>(std::clamp<int64_t>(nRate / 90, 20, 2730) * nChannels);
    const int32_t G = m_nGrain;
    const int32_t nHalf = G / 2;
    const int32_t nFall = G - nHalf;
    m_window.resize(G);
    for (int32_t j = 0; j < G; ++j) {
        if (j < nHalf) {
            m_window[j] = kUnity;
        } else {
            const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * (j - nHalf) / nFall);
            m_window[j] = static_cast<int32_t>(std::lround(w * kUnity));
        }
    }
    // Speeds beyond any sensible scan are held where the arithmetic stays exact.
    auto hop = [G](double fSpeed) {
        const double f = std::isfinite(fSpeed) ? std::clamp(fSpeed, -1000.0, 1000.0) : 1.0;
        return static_cast<int64_t>(G * f);
    };
    m_nHop = hop(fFirstSpeed);
    m_nTargetHop = hop(fSecondSpeed);
    const int64_t nMs = std::max(nRampMs, 0);
    m_nRamp = ((nMs / 1000) * nRate + ((nMs % 1000) * nRate) / 1000) * nChannels;
    m_nNextStep = StepOf(m_nHop);

    m_grainA.assign(G, 0);
    m_grainB.assign(G, 0);
    m_cache.assign(static_cast<size_t>(kCacheGrains) * G, 0);
    m_nStart = m_inner->GetPosition() * nChannels;
    m_nInnerAt = m_nStart;
}

int64_t LSRCPlaySpeed::StepOf(int64_t nHop) const
{
    return FloorDiv(nHop, NumChannels()) * NumChannels();
}

void LSRCPlaySpeed::ReadInner(int64_t nFrom, int32_t* pOut, int64_t nSamples)
{
    const int64_t nChannels = NumChannels();
    if (nFrom < 0) {
        const int64_t nSilent = std::min(-nFrom, nSamples);
        std::fill_n(pOut, nSilent, 0);
        pOut += nSilent;
        nSamples -= nSilent;
        nFrom += nSilent;
    }
    if (nSamples <= 0)
        return;
    if (m_nInnerAt != nFrom) {
        m_inner->Seek(nFrom / nChannels);
        m_nInnerAt = nFrom;
    }
    while (nSamples > 0) {
        const int64_t nFrames = std::min(nSamples / nChannels, kMaxReadFrames);
        m_inner->Read(pOut, static_cast<int32_t>(nFrames));
        pOut += nFrames * nChannels;
        nSamples -= nFrames * nChannels;
        m_nInnerAt += nFrames * nChannels;
    }
}

void LSRCPlaySpeed::EnsureSpan(int64_t nLow, int64_t nHigh)
{
    const int64_t nCap = static_cast<int64_t>(m_cache.size());
    const int64_t nEnd = m_nCacheStart + m_nCacheFill;
    if (m_nCacheFill > 0 && nLow >= m_nCacheStart && nHigh <= nEnd)
        return;
    if (m_nCacheFill > 0 && nLow >= m_nCacheStart && nLow <= nEnd) {
        // Running past the filled part: drop the front, read on.
        const int64_t nDrop = nLow - m_nCacheStart;
        std::memmove(m_cache.data(), m_cache.data() + nDrop, (m_nCacheFill - nDrop) * sizeof(int32_t));
        m_nCacheStart = nLow;
        m_nCacheFill -= nDrop;
        ReadInner(m_nCacheStart + m_nCacheFill, m_cache.data() + m_nCacheFill, nCap - m_nCacheFill);
        m_nCacheFill = nCap;
        return;
    }
    if (m_nCacheFill > 0 && nLow < m_nCacheStart && nHigh >= m_nCacheStart && nHigh <= nEnd) {
        // Partly before the cache (scanning backwards): keep what overlaps,
        // read the front as far back as the cache reaches.
        const int64_t nNewStart = nHigh - nCap;
        const int64_t nKeep = std::min(nEnd, nNewStart + nCap) - m_nCacheStart;
        const int64_t nFront = m_nCacheStart - nNewStart;
        std::memmove(m_cache.data() + nFront, m_cache.data(), nKeep * sizeof(int32_t));
        ReadInner(nNewStart, m_cache.data(), nFront);
        m_nCacheStart = nNewStart;
        m_nCacheFill = nFront + nKeep;
        return;
    }
    // Elsewhere: fill the cache afresh, reaching ahead in the direction of play.
    m_nCacheStart = m_nNextStep >= 0 ? nLow : nHigh - nCap;
    ReadInner(m_nCacheStart, m_cache.data(), nCap);
    m_nCacheFill = nCap;
}

void LSRCPlaySpeed::CopyGrain(int64_t nFrom, std::vector<int32_t>& grain) const
{
    std::memcpy(grain.data(), m_cache.data() + (nFrom - m_nCacheStart), grain.size() * sizeof(int32_t));
}

void LSRCPlaySpeed::StartGrains()
{
    // The first grain plays from the start with no stream to fade from.
    m_nCacheFill = 0;
    m_nAnalysis = m_nStart;
    m_nStreamB = m_nStart;
    EnsureSpan(m_nStart, m_nStart + m_nGrain);
    CopyGrain(m_nStart, m_grainA);
    m_grainB = m_grainA;
    m_nIndex = 0;
    m_bStarted = true;
}

void LSRCPlaySpeed::NextGrain()
{
    const int64_t G = m_nGrain;
    // Stream a continues where b has arrived; b starts at the analysis position.
    const int64_t nA = m_nStreamB + G;
    m_nAnalysis += m_nNextStep;
    m_nStreamB = m_nAnalysis;
    const int64_t P = m_nAnalysis;

    // After this grain the ramp moves the hop toward its target.
    if (m_nRamp > 0) {
        m_nHop += (m_nTargetHop - m_nHop) * G / m_nRamp;
        m_nRamp -= G;
        if (m_nRamp <= 0)
            m_nHop = m_nTargetHop;
    }
    m_nNextStep = StepOf(m_nHop);

    // The span from both grains to what the next grain continues with.
    const int64_t nLow = std::min(nA, P);
    const int64_t nHigh = std::max(nA + G, P + 2 * G);
    if (nHigh - nLow <= static_cast<int64_t>(m_cache.size())) {
        EnsureSpan(nLow, nHigh);
        CopyGrain(nA, m_grainA);
        CopyGrain(P, m_grainB);
    } else {
        // Far apart at high scanning speeds: each stream's grain on its own.
        EnsureSpan(nA, nA + G);
        CopyGrain(nA, m_grainA);
        EnsureSpan(P, P + 2 * G);
        CopyGrain(P, m_grainB);
    }
    m_nIndex = 0;
}

void LSRCPlaySpeed::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    if (!m_bStarted)
        StartGrains();
    int64_t nSamples = static_cast<int64_t>(nFrames) * NumChannels();
    while (nSamples > 0) {
        if (m_nIndex == m_nGrain)
            NextGrain();
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(nSamples, m_nGrain - m_nIndex));
        const int32_t* pW = m_window.data() + m_nIndex;
        const int32_t* pA = m_grainA.data() + m_nIndex;
        const int32_t* pB = m_grainB.data() + m_nIndex;
        for (int32_t i = 0; i < n; ++i) {
            const int64_t w = pW[i];
            pBuffer[i] = static_cast<int32_t>((w * pA[i] + (kUnity - w) * pB[i] + (kUnity / 2)) >> 24);
        }
        pBuffer += n;
        nSamples -= n;
        m_nIndex += n;
    }
}

int64_t LSRCPlaySpeed::GetPosition()
{
    const int64_t nSample = m_bStarted ? m_nAnalysis + m_nIndex * m_nNextStep / m_nGrain : m_nStart;
    return FloorDiv(nSample, NumChannels());
}

void LSRCPlaySpeed::Seek(int64_t nFrame)
{
    m_inner->Seek(nFrame);
    m_nInnerAt = nFrame * NumChannels();
    m_nStart = m_nInnerAt;
    m_bStarted = false;
}
