#include "sound/convert/LPolyphaseFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Modified Bessel function of order 0, summed to seven terms.
double BesselI0(double y)
{
    double fSum = 1.0;
    double fTerm = 1.0;
    const double fQuarter = (y / 2.0) * (y / 2.0);
    for (int k = 1; k <= 6; ++k) {
        fTerm *= fQuarter / (static_cast<double>(k) * k);
        fSum += fTerm;
    }
    return fSum;
}

int32_t RoundHalfAway(double f)
{
    return static_cast<int32_t>(f < 0 ? -std::floor(-f + 0.5) : std::floor(f + 0.5));
}

constexpr double kBeta = 4.538;

} // namespace

LPolyphaseFilter::LPolyphaseFilter(int32_t nInputRate, int32_t nOutputRate, bool bPreStage, int nTaps)
    : m_nTaps(std::max(nTaps, 1))
    , m_nRowStride((m_nTaps + 3) / 4 * 4)
{
    const double fIn = std::max(nInputRate, 1);
    const double fOut = std::max(nOutputRate, 1);
    const double r = fIn / fOut;
    double fBest = 1e300;
    for (int p = 1; p <= kMaxPhases; ++p) {
        const double fStep = std::round(r * p);
        const double e = std::fabs(r - fStep / p);
        if (e < fBest) {
            fBest = e;
            m_nPhases = p;
            m_nStep = static_cast<int>(std::min(fStep, 1e9));
        }
        if (e < 0.001)
            break;
    }
    // A ratio too small for any phase count would never advance the input.
    m_nStep = std::max(m_nStep, 1);

    if (fIn < fOut)
        m_fCutoff = 0.975;
    else
        m_fCutoff = fOut / fIn - (bPreStage ? 0.09375 : 0.046875);

    const int h = m_nTaps / 2;
    const double fEdge = static_cast<double>(h + 1) * (h + 1);
    const double fNorm = BesselI0(kBeta);
    const double fc = m_fCutoff;
    m_coefficients.assign(static_cast<size_t>(m_nPhases) * m_nRowStride, 0);
    for (int p = 0; p < m_nPhases; ++p) {
        for (int k = 0; k < m_nTaps; ++k) {
            const double x = (k - h) - static_cast<double>(p) / m_nPhases;
            double f;
            if (x == 0.0) {
                f = kOne * fc;
            } else {
                const double a = std::numbers::pi * fc * x;
                const double w = std::max(0.0, 1.0 - x * x / fEdge);
                f = kOne * fc * std::sin(a) / a * BesselI0(kBeta * std::sqrt(w)) / fNorm;
            }
            m_coefficients[static_cast<size_t>(p) * m_nRowStride + k] = RoundHalfAway(f);
        }
    }
}

int64_t LPolyphaseFilter::ToOutputFrames(int64_t nInputFrames) const
{
    // Floor division both ways, so that negative frames map consistently.
    int64_t q = nInputFrames / m_nStep;
    int64_t r = nInputFrames % m_nStep;
    if (r < 0) {
        r += m_nStep;
        --q;
    }
    return q * m_nPhases + (r * m_nPhases) / m_nStep;
}

int32_t LPolyphaseFilter::Convolve(const int32_t* pRow, const int32_t* pX, int nTaps, int nStride)
{
    int64_t nSum = 0;
    for (int k = 0; k < nTaps; ++k)
        nSum += static_cast<int64_t>(pRow[k]) * pX[static_cast<ptrdiff_t>(k) * nStride];
    const int64_t nOut = (nSum + (kOne / 2)) >> 16;
    return static_cast<int32_t>(std::clamp<int64_t>(nOut, INT32_MIN, INT32_MAX));
}
