// Helpers of the sound tests: reading sources whole or in pieces, writing
// test signals, and decoding files with sox as the judge.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LSampleConvert.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace soundtest {

// Reads nFrames from the source's position in pieces of the given sizes,
// cycling through them.
inline std::vector<int32_t> ReadPieces(LSoundSourceBase& source, int64_t nFrames, std::vector<int32_t> pieces)
{
    std::vector<int32_t> out(static_cast<size_t>(nFrames) * source.NumChannels());
    int64_t nDone = 0;
    size_t i = 0;
    while (nDone < nFrames) {
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

inline std::vector<int16_t> ToS16(const std::vector<int32_t>& samples)
{
    std::vector<int16_t> out(samples.size());
    InternalToS16(samples.data(), out.data(), samples.size());
    return out;
}

inline std::vector<int16_t> BytesToS16(const std::string& bytes)
{
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

// The file decoded by sox to 16-bit host-order samples, without dither.
// inputType is placed before the file name (for raw files: "-t raw -r ...").
inline std::vector<int16_t> SoxDecode(const std::string& path, const std::string& inputType = "")
{
    std::string out;
    int rc = test::RunShell("sox -D -V1 " + inputType + " " + test::ShellQuote(path) + " -t s16 - 2>/dev/null", &out);
    EXPECT_EQ(rc, 0) << "sox could not decode " << path;
    return BytesToS16(out);
}

inline std::string Soxi(const std::string& option, const std::string& path)
{
    std::string out;
    test::RunShell("soxi " + option + " " + test::ShellQuote(path) + " 2>/dev/null", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// A signal in the internal form that uses the whole 16-bit range: a sweep
// with noise, from a fixed seed.
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

inline void WriteAll(LSoundSinkBase& sink, const std::vector<int32_t>& samples, int32_t nPiece = 5000)
{
    const int64_t nFrames = static_cast<int64_t>(samples.size() / sink.NumChannels());
    for (int64_t n = 0; n < nFrames; n += nPiece)
        sink.Write(
            samples.data() + n * sink.NumChannels(), static_cast<int32_t>(std::min<int64_t>(nPiece, nFrames - n)));
}

} // namespace soundtest
