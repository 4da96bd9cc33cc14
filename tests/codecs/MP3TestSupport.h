// Helpers shared by the MP3 decoder tests: where the conformance streams
// live, decoding a whole stream from memory, and the comparison measures.
#pragma once

#include "sound/codecs/LMP3Dsp.h"
#include "sound/codecs/LMP3MemoryReader.h"
#include "sound/codecs/LMP3Stream.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace mp3test {

// The shared test data folder: $TAVRINE_SHARED_DIR, else beside the repository.
inline std::string SharedDir()
{
    if (const char* p = std::getenv("TAVRINE_SHARED_DIR"); p && *p)
        return p;
    if (const char* p = std::getenv("TAVRINE_SOURCE_DIR"); p && *p)
        return std::string(p) + "/../shared";
    return std::string(TAVRINE_SOURCE_DIR) + "/../shared";
}

// The decoder paths this processor runs.
inline std::vector<mp3::DspPath> AvailablePaths()
{
    std::vector<mp3::DspPath> v;
    for (unsigned i = 0; i < mp3::kDspPathCount; ++i)
        if (mp3::DspKernelsFor(static_cast<mp3::DspPath>(i)))
            v.push_back(static_cast<mp3::DspPath>(i));
    return v;
}

// Decoders made while this lives use the given path (as $TAVRINE_MP3_PATH does).
class ScopedDspPath {
public:
    explicit ScopedDspPath(mp3::DspPath path)
    {
        if (const char* p = std::getenv("TAVRINE_MP3_PATH"))
            m_before = p;
        setenv("TAVRINE_MP3_PATH", mp3::DspPathName(path), 1);
    }
    ~ScopedDspPath()
    {
        if (m_before.empty())
            unsetenv("TAVRINE_MP3_PATH");
        else
            setenv("TAVRINE_MP3_PATH", m_before.c_str(), 1);
    }

private:
    std::string m_before;
};

struct Decoded {
    bool bOpen = false;
    int32_t nRate = 0;
    unsigned nChannels = 0;
    int64_t nLength = 0; // as reported after open
    std::vector<int32_t> samples; // internal scale, interleaved
};

// Reads the whole stream in blocks of nBlock frames until the (possibly
// shortened) length is reached.
inline Decoded DecodeAllOnePath(const std::vector<uint8_t>& bytes, int64_t nBlock)
{
    Decoded d;
    LMP3MemoryReader reader(bytes.data(), bytes.size());
    LMP3Stream stream(&reader);
    d.bOpen = stream.Open();
    if (!d.bOpen)
        return d;
    d.nRate = stream.SampleRate();
    d.nChannels = stream.Channels();
    d.nLength = stream.GetLength();
    std::vector<int32_t> block(static_cast<size_t>(nBlock) * d.nChannels);
    while (stream.GetPosition() < stream.GetLength()) {
        int64_t nBefore = stream.GetPosition();
        stream.Read(block.data(), nBlock);
        int64_t nValid = std::min(nBlock, stream.GetLength() - nBefore);
        if (nValid > 0)
            d.samples.insert(d.samples.end(), block.begin(), block.begin() + nValid * d.nChannels);
    }
    return d;
}

// DecodeAllOnePath on every path this processor runs, which must all give the
// same samples: so every test decoding through here covers every path.
inline Decoded DecodeAll(const std::vector<uint8_t>& bytes, int64_t nBlock = 4096)
{
    Decoded first;
    for (mp3::DspPath path : AvailablePaths()) {
        ScopedDspPath use(path);
        Decoded d = DecodeAllOnePath(bytes, nBlock);
        if (path == mp3::DspPath::Portable)
            first = std::move(d);
        else
            EXPECT_TRUE(d.samples == first.samples) << "the " << mp3::DspPathName(path) << " path differs";
    }
    return first;
}

// The engine's conversion back to 16 bits, here with clamping for comparison.
inline int16_t To16(int32_t v)
{
    int32_t s = (v + 8) >> 4;
    return static_cast<int16_t>(s > 32767 ? 32767 : (s < -32768 ? -32768 : s));
}

// 10 log10(32768^2 / mean squared difference) over the common length.
inline double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    size_t n = std::min(a.size(), b.size());
    if (n == 0)
        return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    if (sum == 0.0)
        return 200.0;
    return 10.0 * std::log10(32768.0 * 32768.0 / (sum / static_cast<double>(n)));
}

// An MP3 made by lame from a sox signal; empty when a tool failed.
inline std::vector<uint8_t> MakeMp3(const test::TempDir& dir, int32_t nRate, unsigned nChannels,
    const std::string& signal, const std::string& lameOptions, const std::string& name = "made")
{
    const std::string wav = dir.File(name + ".wav"), mp3 = dir.File(name + ".mp3");
    if (test::RunShell("sox -R -n -r " + std::to_string(nRate) + " -c " + std::to_string(nChannels) + " "
            + test::ShellQuote(wav) + " " + signal + " 2>/dev/null")
        != 0)
        return {};
    if (test::RunShell("lame --quiet " + lameOptions + " " + test::ShellQuote(wav) + " " + test::ShellQuote(mp3)) != 0)
        return {};
    return test::ReadFileBytes(mp3);
}

// mpg123's decoding of a file as floats (full scale 1.0), without gapless
// trimming, so that it holds every frame as this decoder gives them.
inline std::vector<float> Mpg123Floats(const test::TempDir& dir, const std::string& mp3)
{
    const std::string ref = dir.File("mpg123.f32");
    if (test::RunShell("mpg123 -q --no-gapless -e f32 -s " + test::ShellQuote(mp3) + " > " + test::ShellQuote(ref))
        != 0)
        return {};
    std::vector<uint8_t> bytes = test::ReadFileBytes(ref);
    std::vector<float> v(bytes.size() / 4);
    std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

// The difference from a reference decoding in 16-bit units (1 = 2^-15 of full scale).
struct Accuracy {
    double fRms = 0.0;
    double fMax = 0.0;
};

// Over the common samples; the internal form has 2^19 per unit of full scale.
inline Accuracy Compare(const std::vector<int32_t>& ours, const std::vector<float>& theirs)
{
    Accuracy a;
    const size_t n = std::min(ours.size(), theirs.size());
    if (n == 0)
        return a;
    double fSum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double d = (ours[i] / 524288.0 - theirs[i]) * 32768.0;
        fSum += d * d;
        a.fMax = std::max(a.fMax, std::fabs(d));
    }
    a.fRms = std::sqrt(fSum / static_cast<double>(n));
    return a;
}

// Full accuracy by ISO/IEC 11172-4: RMS below 1 / sqrt(12) of a 16-bit unit;
// and no sample more than one unit off.
constexpr double kFullAccuracyRms = 0.28867513459481287;
constexpr double kMaxDifference = 1.0;

inline void PrintAccuracy(const char* szSuite, const std::string& name, const Accuracy& a, size_t nSamples)
{
    std::printf("[ accuracy ] %s %-28s rms %.4f  max %.4f (16-bit units, %zu samples)\n", szSuite, name.c_str(), a.fRms,
        a.fMax, nSamples);
}

// Decodes an MP3 file with our decoder and with mpg123 and holds the result
// to the full-accuracy limits. Both decoders keep every frame from the first,
// so they are aligned as they stand: a delay shows as a length difference.
inline void ExpectMatchesMpg123(const test::TempDir& dir, const std::string& mp3, int nRate, int nChannels,
    const char* szSuite, const std::string& name)
{
    std::vector<float> theirs = Mpg123Floats(dir, mp3);
    Decoded d = DecodeAll(test::ReadFileBytes(mp3));
    ASSERT_TRUE(d.bOpen);
    EXPECT_EQ(d.nRate, nRate);
    ASSERT_EQ(d.nChannels, nChannels);
    ASSERT_EQ(d.samples.size(), theirs.size());
    ASSERT_FALSE(theirs.empty());
    Accuracy a = Compare(d.samples, theirs);
    PrintAccuracy(szSuite, name, a, theirs.size());
    EXPECT_LT(a.fRms, kFullAccuracyRms);
    EXPECT_LE(a.fMax, kMaxDifference);
}

} // namespace mp3test
