// Helpers of the conversion tests: sources and sinks over memory, test tones,
// and a small FFT that measures the frequency and level of tones.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace convtest {

// A source over samples in memory, silent before frame 0 and from its
// length on, as file sources are.
class VectorSource : public LSoundSourceBase {
public:
    VectorSource(std::vector<int32_t> samples, int32_t nRate, uint8_t nChannels, int32_t nMax = kMaxAmplitudePCM)
        : LSoundSourceBase(nRate, nChannels, nMax)
        , m_samples(std::move(samples))
    {
    }
    void Read(int32_t* pBuffer, int32_t nFrames) override
    {
        const int64_t nLength = GetLength();
        for (int32_t i = 0; i < nFrames; ++i, ++m_nPosition)
            for (int c = 0; c < NumChannels(); ++c)
                pBuffer[static_cast<size_t>(i) * NumChannels() + c] = m_nPosition >= 0 && m_nPosition < nLength
                    ? m_samples[static_cast<size_t>(m_nPosition) * NumChannels() + c]
                    : 0;
        m_nReadFrames += nFrames;
    }
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override { return static_cast<int64_t>(m_samples.size() / NumChannels()); }
    void Seek(int64_t nFrame) override
    {
        m_nPosition = nFrame;
        ++m_nSeeks;
    }

    int64_t m_nReadFrames = 0;
    int m_nSeeks = 0;

private:
    std::vector<int32_t> m_samples;
    int64_t m_nPosition = 0;
};

inline LSoundSourceRef MakeSource(
    std::vector<int32_t> samples, int32_t nRate, uint8_t nChannels = 1, int32_t nMax = kMaxAmplitudePCM)
{
    return LSoundSourceRef(new VectorSource(std::move(samples), nRate, nChannels, nMax));
}

// A sink that keeps what it is given and honours truncation.
class VectorSink : public LSoundSinkBase {
public:
    VectorSink(int32_t nRate, uint8_t nChannels)
        : LSoundSinkBase(nRate, nChannels)
    {
    }
    void Write(const int32_t* pBuffer, int32_t nFrames) override
    {
        m_samples.insert(m_samples.end(), pBuffer, pBuffer + static_cast<size_t>(nFrames) * NumChannels());
        m_nPosition += nFrames;
    }
    void Seek(int64_t nFrame) override
    {
        if (nFrame > m_nPosition)
            return;
        nFrame = std::max<int64_t>(nFrame, 0);
        m_samples.resize(static_cast<size_t>(nFrame) * NumChannels());
        m_nPosition = nFrame;
    }
    std::vector<int32_t> m_samples;
};

// Sum of sines (frequency, amplitude as a fraction of 16-bit full scale) in
// the internal form, rounded to 16-bit values as a file would hold them.
inline std::vector<int32_t> Tones(
    const std::vector<std::pair<double, double>>& tones, int32_t nRate, int64_t nFrames, double fScale = 32767.0)
{
    std::vector<int32_t> out(static_cast<size_t>(nFrames));
    for (int64_t n = 0; n < nFrames; ++n) {
        double v = 0;
        for (size_t i = 0; i < tones.size(); ++i)
            v += tones[i].second
                * std::sin(2 * std::numbers::pi * tones[i].first * n / nRate + 0.7 * static_cast<double>(i));
        out[static_cast<size_t>(n)] = static_cast<int32_t>(std::lround(v * fScale)) * 16;
    }
    return out;
}

// A logarithmic sweep from fLow to fHigh over the whole length.
inline std::vector<int32_t> Sweep(double fLow, double fHigh, double fAmplitude, int32_t nRate, int64_t nFrames)
{
    std::vector<int32_t> out(static_cast<size_t>(nFrames));
    const double T = static_cast<double>(nFrames) / nRate;
    const double k = std::log(fHigh / fLow);
    for (int64_t n = 0; n < nFrames; ++n) {
        const double t = static_cast<double>(n) / nRate;
        const double phase = 2 * std::numbers::pi * fLow * T / k * (std::exp(t / T * k) - 1);
        out[static_cast<size_t>(n)] = static_cast<int32_t>(std::lround(fAmplitude * 32767.0 * std::sin(phase))) * 16;
    }
    return out;
}

inline void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (size_t j = 0; j < len / 2; ++j) {
                const std::complex<double> u = a[i + j];
                const std::complex<double> v = a[i + j + len / 2] * wk;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

// Power spectrum of a Hann-windowed stretch, in units where a sine of
// amplitude A (fraction of full scale) sums to A over its main lobe.
struct Spectrum {
    double fRate = 0;
    size_t nSize = 0;
    std::vector<double> power; // bins 0 .. nSize/2

    double BinHz() const { return fRate / static_cast<double>(nSize); }
};

// Analyses the largest power of two of samples that fits after skipping
// nSkip frames at each end (filter start-up and run-out). Samples are in the
// internal form; a value of 16 × 32767 is full scale.
inline Spectrum Analyse(const std::vector<double>& samples, double fRate, size_t nSkip)
{
    Spectrum s;
    s.fRate = fRate;
    const size_t nAvail = samples.size() > 2 * nSkip ? samples.size() - 2 * nSkip : 0;
    size_t n = 1;
    while (n * 2 <= nAvail)
        n *= 2;
    s.nSize = n;
    std::vector<std::complex<double>> a(n);
    double fWindowPower = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        a[i] = w * samples[nSkip + i] / (16.0 * 32767.0);
        fWindowPower += w * w;
    }
    Fft(a);
    s.power.resize(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k)
        s.power[k] = 4.0 * std::norm(a[k]) / (static_cast<double>(n) * fWindowPower);
    return s;
}

inline std::vector<double> ToDouble(const std::vector<int32_t>& samples)
{
    return std::vector<double>(samples.begin(), samples.end());
}

struct Tone {
    double fHz = 0;
    double fAmplitude = 0; // fraction of full scale
    double Db() const { return 20 * std::log10(std::max(fAmplitude, 1e-12)); }
};

// The strongest tone between fLow and fHigh: its frequency interpolated
// between bins, its amplitude from the power of its main lobe.
inline Tone StrongestTone(const Spectrum& s, double fLow, double fHigh)
{
    const size_t nLast = s.power.size() - 1;
    size_t kLow = static_cast<size_t>(std::max(1.0, std::floor(fLow / s.BinHz())));
    size_t kHigh = std::min(nLast - 1, static_cast<size_t>(std::ceil(fHigh / s.BinHz())));
    size_t kPeak = kLow;
    for (size_t k = kLow; k <= kHigh; ++k)
        if (s.power[k] > s.power[kPeak])
            kPeak = k;
    Tone tone;
    const double a = std::log(std::max(s.power[kPeak - 1], 1e-300));
    const double b = std::log(std::max(s.power[kPeak], 1e-300));
    const double c = std::log(std::max(s.power[kPeak + 1], 1e-300));
    const double fDenominator = a - 2 * b + c;
    const double fOffset = fDenominator != 0 ? 0.5 * (a - c) / fDenominator : 0;
    tone.fHz = (static_cast<double>(kPeak) + fOffset) * s.BinHz();
    double fLobe = 0;
    for (size_t k = kPeak > 4 ? kPeak - 4 : 1; k <= std::min(nLast, kPeak + 4); ++k)
        fLobe += s.power[k];
    tone.fAmplitude = std::sqrt(fLobe);
    return tone;
}

// Root of the summed power between two frequencies, as an amplitude.
inline double BandAmplitude(const Spectrum& s, double fLow, double fHigh)
{
    double fSum = 0;
    for (size_t k = 1; k < s.power.size(); ++k) {
        const double f = static_cast<double>(k) * s.BinHz();
        if (f >= fLow && f < fHigh)
            fSum += s.power[k];
    }
    return std::sqrt(fSum);
}

// The peak of the power spectrum averaged over short Hann windows (nWindow
// samples, half overlapping, zero-padded for a fine grid): the frequency a
// signal has within short stretches, which is what is heard as its pitch,
// even where its phase slips between stretches.
inline double ShortTimePeakHz(const std::vector<double>& samples, double fRate, size_t nWindow)
{
    const size_t nPadded = 8192;
    std::vector<double> average(nPadded / 2 + 1, 0.0);
    std::vector<std::complex<double>> a(nPadded);
    for (size_t nStart = 0; nStart + nWindow <= samples.size(); nStart += nWindow / 2) {
        std::fill(a.begin(), a.end(), 0.0);
        for (size_t i = 0; i < nWindow; ++i)
            a[i] = (0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(nWindow)))
                * samples[nStart + i];
        Fft(a);
        for (size_t k = 0; k < average.size(); ++k)
            average[k] += std::norm(a[k]);
    }
    size_t kPeak = 1;
    for (size_t k = 1; k + 1 < average.size(); ++k)
        if (average[k] > average[kPeak])
            kPeak = k;
    const double l = std::log(average[kPeak - 1]), m = std::log(average[kPeak]), r = std::log(average[kPeak + 1]);
    const double fOffset = (l - 2 * m + r) != 0 ? 0.5 * (l - r) / (l - 2 * m + r) : 0;
    return (static_cast<double>(kPeak) + fOffset) * fRate / static_cast<double>(nPadded);
}

// The largest step between neighbouring samples of one channel.
inline int64_t LargestStep(const std::vector<int32_t>& samples, int nChannels = 1, int nChannel = 0)
{
    int64_t nMax = 0;
    for (size_t i = nChannel + nChannels; i < samples.size(); i += nChannels)
        nMax = std::max<int64_t>(nMax, std::llabs(static_cast<int64_t>(samples[i]) - samples[i - nChannels]));
    return nMax;
}

} // namespace convtest
