// Helpers shared by the MP3 decoder tests: decoding a whole stream on every
// processor path, and making and judging files with lame and mpg123.
#pragma once

#include "sound/codecs/LMP3Dsp.h"
#include "sound/codecs/LMP3MemoryReader.h"
#include "sound/codecs/LMP3Stream.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace mp3test {

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
        m_before.empty() ? unsetenv("TAVRINE_MP3_PATH") : setenv("TAVRINE_MP3_PATH", m_before.c_str(), 1);
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

// Reads the whole stream in blocks of nBlock frames on every path this
// processor runs, which must all give the same samples: so every test
// decoding through here covers every path.
inline Decoded DecodeAll(const std::vector<uint8_t>& bytes, int64_t nBlock = 4096)
{
    Decoded first;
    for (unsigned i = 0; i < mp3::kDspPathCount; ++i) {
        const auto path = static_cast<mp3::DspPath>(i);
        if (!mp3::DspKernelsFor(path))
            continue;
        ScopedDspPath use(path);
        Decoded d;
        LMP3MemoryReader reader(bytes.data(), bytes.size());
        LMP3Stream stream(&reader);
        if ((d.bOpen = stream.Open())) {
            d.nRate = stream.SampleRate();
            d.nChannels = stream.Channels();
            d.nLength = stream.GetLength();
            std::vector<int32_t> block(static_cast<size_t>(nBlock) * d.nChannels);
            while (stream.GetPosition() < stream.GetLength()) {
                const int64_t nBefore = stream.GetPosition();
                stream.Read(block.data(), nBlock);
                const int64_t nValid = std::min(nBlock, stream.GetLength() - nBefore);
                if (nValid > 0)
                    d.samples.insert(d.samples.end(), block.begin(), block.begin() + nValid * d.nChannels);
            }
        }
        if (path == mp3::DspPath::Portable)
            first = std::move(d);
        else
            EXPECT_TRUE(d.samples == first.samples) << "the " << mp3::DspPathName(path) << " path differs";
    }
    return first;
}

// A WAV of the given sox signal; false when sox failed.
inline bool SoxSignal(const std::string& wav, int32_t nRate, unsigned nChannels, const std::string& signal)
{
    return test::RunShell("sox -R -n -r " + std::to_string(nRate) + " -c " + std::to_string(nChannels) + " "
               + test::ShellQuote(wav) + " " + signal + " 2>/dev/null")
        == 0;
}

// An MP3 made by lame from a sox signal; empty when a tool failed.
inline std::vector<uint8_t> MakeMp3(const test::TempDir& dir, int32_t nRate, unsigned nChannels,
    const std::string& signal, const std::string& lameOptions, const std::string& name = "made")
{
    const std::string wav = dir.File(name + ".wav"), mp3 = dir.File(name + ".mp3");
    if (!SoxSignal(wav, nRate, nChannels, signal)
        || test::RunShell("lame --quiet " + lameOptions + " " + test::ShellQuote(wav) + " " + test::ShellQuote(mp3))
            != 0)
        return {};
    return test::ReadFileBytes(mp3);
}

// Decodes an MP3 file here and with mpg123 (floats, no gapless trimming, so
// both keep every frame from the first and a delay shows as a length
// difference) and holds the difference, in 16-bit units, to the ISO/IEC
// 11172-4 full-accuracy limits: RMS below 1 / sqrt(12), no sample over one.
inline void ExpectMatchesMpg123(const test::TempDir& dir, const std::string& mp3, int nRate, unsigned nChannels)
{
    const std::string ref = dir.File("mpg123.f32");
    ASSERT_EQ(
        test::RunShell("mpg123 -q --no-gapless -e f32 -s " + test::ShellQuote(mp3) + " > " + test::ShellQuote(ref)), 0);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(ref);
    std::vector<float> theirs(bytes.size() / 4);
    std::memcpy(theirs.data(), bytes.data(), theirs.size() * 4);
    Decoded d = DecodeAll(test::ReadFileBytes(mp3));
    ASSERT_TRUE(d.bOpen);
    EXPECT_EQ(d.nRate, nRate);
    ASSERT_EQ(d.nChannels, nChannels);
    ASSERT_EQ(d.samples.size(), theirs.size());
    ASSERT_FALSE(theirs.empty());
    double fSum = 0.0, fMax = 0.0;
    for (size_t i = 0; i < theirs.size(); ++i) {
        const double f = (d.samples[i] / 524288.0 - theirs[i]) * 32768.0; // 2^19 internal units per full scale
        fSum += f * f;
        fMax = std::max(fMax, std::fabs(f));
    }
    EXPECT_LT(std::sqrt(fSum / static_cast<double>(theirs.size())), 0.28867513459481287);
    EXPECT_LE(fMax, 1.0);
}

} // namespace mp3test
