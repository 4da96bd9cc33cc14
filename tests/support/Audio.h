// Audio helpers shared by the test executables: byte orders, the outside
// judges (sox, soxi, toast/untoast), test signals, SNR, pitch and level, a
// source and a sink over memory, and one contract every source keeps.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LSampleConvert.h"
#include "sound/codecs/LWaveFormat.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace test {

// ---- byte orders ----
inline uint16_t GetLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* p)
{
    return GetLe16(p) | (uint32_t(GetLe16(p + 2)) << 16);
}
inline uint32_t GetBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void SetLe16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void SetBe16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}
inline void SetBe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    SetBe16(b, at, uint16_t(v >> 16));
    SetBe16(b, at + 2, uint16_t(v));
}
inline void PutLe16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutLe32(std::vector<uint8_t>& b, uint32_t v)
{
    PutLe16(b, uint16_t(v));
    PutLe16(b, uint16_t(v >> 16));
}
inline void PutTag(std::vector<uint8_t>& b, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(tag[i]));
}

inline std::vector<int16_t> BytesToS16(const std::string& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(GetLe16(reinterpret_cast<const uint8_t*>(bytes.data()) + 2 * i));
    return s;
}
inline std::vector<uint8_t> S16Bytes(const std::vector<int16_t>& s)
{
    std::vector<uint8_t> b;
    for (int16_t v : s)
        PutLe16(b, uint16_t(v));
    return b;
}

// ---- outside judges ----
// The file decoded by sox to 16-bit little-endian samples, without dither;
// inputType goes before the file name (for raw files: "-t raw -r ...").
inline std::vector<int16_t> SoxDecode(const std::string& path, const std::string& inputType = "")
{
    std::string out;
    int rc = RunShell("sox -D -V1 " + inputType + " " + ShellQuote(path) + " -t s16 -L - 2>/dev/null", &out);
    EXPECT_EQ(rc, 0) << "sox could not decode " << path;
    return BytesToS16(out);
}
// sox with the given arguments (options, quoted paths, effects); 0 on success.
inline int Sox(const std::string& args)
{
    return RunShell("sox -V1 -R " + args + " 2>/dev/null");
}
inline std::string Soxi(const std::string& option, const std::string& path)
{
    std::string out;
    RunShell("soxi " + option + " " + ShellQuote(path) + " 2>/dev/null", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}
// toast or untoast (-l: 16-bit linear in host order) from one file to another.
inline int Toast(const char* tool, const std::string& in, const std::string& out)
{
    return RunShell(std::string(tool) + " -l -c < " + ShellQuote(in) + " > " + ShellQuote(out) + " 2>/dev/null");
}

// ---- minimal WAV (only "fmt " and "data") ----
struct WavData {
    LWaveFormat format;
    std::vector<uint8_t> data;
};
inline bool ParseWav(const std::vector<uint8_t>& file, WavData* pOut)
{
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    bool bFormat = false;
    for (size_t pos = 12; pos + 8 <= file.size();) {
        const uint8_t* pChunk = file.data() + pos;
        const size_t nSize = GetLe32(pChunk + 4);
        const size_t nAvail = std::min(nSize, file.size() - pos - 8);
        if (std::memcmp(pChunk, "fmt ", 4) == 0) {
            bFormat = LWaveFormat::FromBytes(pChunk + 8, nAvail, &pOut->format);
            // Extensible (sox writes it above 16 bits): the tag opens the sub-format.
            const std::vector<uint8_t>& extra = pOut->format.extra;
            if (bFormat && pOut->format.wFormatTag == 0xFFFE && extra.size() >= 22)
                pOut->format.wFormatTag = GetLe16(extra.data() + 6);
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            pOut->data.assign(pChunk + 8, pChunk + 8 + nAvail);
            return bFormat;
        }
        pos += 8 + nSize + (nSize & 1);
    }
    return false;
}
inline std::vector<uint8_t> MakeWav(const LWaveFormat& format, const std::vector<uint8_t>& data)
{
    const std::vector<uint8_t> fmt = format.ToBytes();
    std::vector<uint8_t> out = { 'R', 'I', 'F', 'F' };
    PutLe32(out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, static_cast<uint32_t>(fmt.size()));
    out.insert(out.end(), fmt.begin(), fmt.end());
    PutTag(out, "data");
    PutLe32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// ---- whole-stream block codecs ----
inline std::vector<int16_t> DecodeAll(LAudioDecoder& decoder, const std::vector<uint8_t>& data, uint16_t channels)
{
    std::vector<int16_t> out;
    std::vector<int16_t> block(decoder.FramesPerBlock() * channels);
    for (size_t pos = 0; pos < data.size(); pos += decoder.BlockBytes()) {
        const size_t n = std::min(decoder.BlockBytes(), data.size() - pos);
        const size_t frames = decoder.DecodeBlock(data.data() + pos, n, block.data());
        if (frames == 0)
            break;
        out.insert(out.end(), block.begin(), block.begin() + frames * channels);
    }
    return out;
}

// ---- signals and measures ----
// Signal-to-noise ratio of b against ref over their first n samples, in dB.
inline double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& b, size_t n)
{
    double signal = 0, noise = 0;
    for (size_t i = 0; i < n; ++i) {
        signal += double(ref[i]) * ref[i];
        noise += (double(ref[i]) - b[i]) * (double(ref[i]) - b[i]);
    }
    return noise == 0 ? 200.0 : 10.0 * std::log10(signal / noise);
}
inline double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    double ma = 0, mb = 0, sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < n; ++i)
        ma += a[i], mb += b[i];
    ma /= double(n), mb /= double(n);
    for (size_t i = 0; i < n; ++i)
        sab += (a[i] - ma) * (b[i] - mb), saa += (a[i] - ma) * (a[i] - ma), sbb += (b[i] - mb) * (b[i] - mb);
    return sab / std::sqrt(saa * sbb);
}

// Speech-like 16-bit material: a rising tone with a vibrato, bursts near full
// scale and a little noise, different in each channel. Deterministic per seed.
inline std::vector<int16_t> Speechlike16(size_t frames, uint16_t channels, uint32_t rate, uint32_t seed)
{
    std::vector<int16_t> out(frames * channels);
    uint32_t lcg = seed;
    for (size_t f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        for (uint16_t c = 0; c < channels; ++c) {
            lcg = lcg * 1664525u + 1013904223u;
            const double noise = (int32_t(lcg >> 16) - 32768) / 32768.0;
            const double freq = 150.0 * (c + 1) + 900.0 * t + 30.0 * std::sin(2 * M_PI * 5 * t);
            const double level = (f / (rate / 4)) % 2 ? 0.95 : 0.3;
            const double v = level * std::sin(2 * M_PI * freq * t) + 0.02 * noise;
            out[f * channels + c] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        }
    }
    return out;
}

// Telephone speech stand-in at 8000 Hz: formant-band partials under a
// syllable-rate envelope, peaking near a third of full scale.
inline std::vector<int16_t> Telephone16(size_t nSamples, uint32_t seed = 7)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 150);
    std::vector<int16_t> out(nSamples);
    for (size_t n = 0; n < nSamples; ++n) {
        const double t = static_cast<double>(n) / 8000, w = 2 * std::numbers::pi * t;
        const double v = 5000 * std::sin(450 * w) + 3500 * std::sin(1150 * w + 1) + 2000 * std::sin(2400 * w + 2);
        out[n] = static_cast<int16_t>(std::lround((0.55 + 0.45 * std::sin(4 * w)) * v + noise(rng)));
    }
    return out;
}

inline std::vector<int32_t> ToInternal(const std::vector<int16_t>& s)
{
    std::vector<int32_t> out(s.size());
    S16ToInternal(s.data(), out.data(), s.size());
    return out;
}
inline std::vector<int16_t> ToS16(const std::vector<int32_t>& samples)
{
    std::vector<int16_t> out(samples.size());
    InternalToS16(samples.data(), out.data(), samples.size());
    return out;
}

// A sweep with noise in the internal form over the whole 16-bit range.
inline std::vector<int32_t> TestSignal(size_t nFrames, uint8_t nChannels, uint32_t seed = 12345)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-2000, 2000);
    std::vector<int32_t> out(nFrames * nChannels);
    for (size_t i = 0; i < nFrames; ++i)
        for (uint8_t c = 0; c < nChannels; ++c) {
            double phase = 0.00002 * static_cast<double>(i * i) + c;
            int v = static_cast<int>(28000 * std::sin(phase)) + noise(rng);
            out[i * nChannels + c] = S16ToInternal(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
        }
    return out;
}

// Sum of sines (frequency, amplitude as a fraction of full scale) in the
// internal form, rounded to 16-bit values as a file would hold them.
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
    const double T = static_cast<double>(nFrames) / nRate, k = std::log(fHigh / fLow);
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
            for (size_t j = 0; j < len / 2; ++j, wk *= w) {
                const std::complex<double> u = a[i + j], v = a[i + j + len / 2] * wk;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
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

// The largest power of two of samples that fits after skipping nSkip frames
// at each end. Samples are in the internal form (16 x 32767 is full scale).
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
    tone.fHz = (static_cast<double>(kPeak) + (fDenominator != 0 ? 0.5 * (a - c) / fDenominator : 0)) * s.BinHz();
    double fLobe = 0;
    for (size_t k = kPeak > 4 ? kPeak - 4 : 1; k <= std::min(nLast, kPeak + 4); ++k)
        fLobe += s.power[k];
    tone.fAmplitude = std::sqrt(fLobe);
    return tone;
}

// The peak of the power spectrum averaged over short Hann windows (half
// overlapping, zero-padded): the frequency heard as the pitch, even where the
// phase slips between stretches.
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

// ---- sources and sinks ----
// Reads nFrames from the source's position in pieces of the given sizes, cycling.
inline std::vector<int32_t> ReadPieces(LSoundSourceBase& source, int64_t nFrames, std::vector<int32_t> pieces)
{
    std::vector<int32_t> out(static_cast<size_t>(nFrames) * source.NumChannels());
    size_t i = 0;
    for (int64_t nDone = 0; nDone < nFrames;) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(pieces[i++ % pieces.size()], nFrames - nDone));
        source.Read(out.data() + nDone * source.NumChannels(), n);
        nDone += n;
    }
    return out;
}
inline std::vector<int32_t> ReadAll(LSoundSourceBase& source)
{
    return ReadPieces(source, source.GetLength(), { 8192 });
}
inline void WriteAll(LSoundSinkBase& sink, const std::vector<int32_t>& samples, int32_t nPiece = 5000)
{
    const int64_t nFrames = static_cast<int64_t>(samples.size() / sink.NumChannels());
    for (int64_t n = 0; n < nFrames; n += nPiece)
        sink.Write(
            samples.data() + n * sink.NumChannels(), static_cast<int32_t>(std::min<int64_t>(nPiece, nFrames - n)));
}

// A source over samples in memory, silent before frame 0 and from its length
// on, as file sources are.
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

// A sink that keeps what it is given (and the size of every write), honours
// truncation, and can be told to fail after some writes.
class VectorSink : public LSoundSinkBase {
public:
    VectorSink(int32_t nRate, uint8_t nChannels, int nFailAfter = -1)
        : LSoundSinkBase(nRate, nChannels)
        , m_nFailAfter(nFailAfter)
    {
    }
    void Write(const int32_t* pBuffer, int32_t nFrames) override
    {
        writes.push_back(nFrames);
        m_samples.insert(m_samples.end(), pBuffer, pBuffer + static_cast<size_t>(nFrames) * NumChannels());
        m_nPosition += nFrames;
        if (m_nFailAfter >= 0 && static_cast<int>(writes.size()) >= m_nFailAfter)
            SetUnusable();
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
    std::vector<int32_t> writes;

private:
    int m_nFailAfter;
};

// The contract of every source: the same samples read in any piece sizes and
// after seeks anywhere, silence before frame 0 and from the length on, and a
// position that always advances by what was asked. open() gives a fresh
// source; whole is what reading it from the start gives.
inline void ExpectSourceContract(const std::function<LSoundSourceRef()>& open)
{
    LSoundSourceRef first = open();
    ASSERT_TRUE(first && first->IsUsable());
    const int64_t nLength = first->GetLength();
    const size_t nCh = first->NumChannels();
    ASSERT_GT(nLength, 40);
    const std::vector<int32_t> whole = ReadAll(*first);
    LSoundSourceRef s = open();
    EXPECT_EQ(ReadPieces(*s, nLength, { 1, 7, 333, 8191, 2, 8193 }), whole) << "read in pieces";
    for (int64_t nAt : { nLength / 2, int64_t { 3 }, nLength - 20, int64_t { 2047 }, nLength / 3, int64_t { 0 } }) {
        s->Seek(nAt);
        const int64_t n = std::min<int64_t>(700, nLength - nAt);
        const std::vector<int32_t> part = ReadPieces(*s, n, { 5, 1, 300 });
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + nAt * nCh)) << "after Seek " << nAt;
        EXPECT_EQ(s->GetPosition(), nAt + n);
    }
    s->Seek(-17);
    const std::vector<int32_t> lead = ReadPieces(*s, 40, { 40 });
    EXPECT_EQ(s->GetPosition(), 23);
    EXPECT_TRUE(std::all_of(lead.begin(), lead.begin() + 17 * nCh, [](int32_t v) { return v == 0; })) << "before 0";
    EXPECT_TRUE(std::equal(lead.begin() + 17 * nCh, lead.end(), whole.begin()));
    s->Seek(nLength - 10);
    const std::vector<int32_t> tail = ReadPieces(*s, 30, { 30 });
    EXPECT_EQ(s->GetPosition(), nLength + 20);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 10 * nCh, whole.end() - 10 * nCh));
    EXPECT_TRUE(std::all_of(tail.begin() + 10 * nCh, tail.end(), [](int32_t v) { return v == 0; })) << "past end";
}

} // namespace test
