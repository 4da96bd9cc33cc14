// GSM 06.10 judged bit for bit by toast/untoast (33-byte frames). WAV format
// 49 is judged by sox in tests/sound/FormatTableTest; hostile frames are the
// fuzz target's.
#include "sound/codecs/LGSMFrame.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kFrame = LGSMFrame::kSamples;

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes)
{
    return test::BytesToS16(std::string(bytes.begin(), bytes.end()));
}

// Index of the first difference, or -1.
template <class T> long FirstDifference(const std::vector<T>& a, const std::vector<T>& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

// Input signals, each a whole number of frames of 16-bit samples.
enum class Signal { EspeakSpeech, LoudNoiseAndClipping, QuietWithOffset };

std::vector<int16_t> MakeSignal(Signal which, const test::TempDir& dir)
{
    std::vector<int16_t> s;
    std::mt19937 rng(49);
    switch (which) {
    case Signal::EspeakSpeech: {
        // Real speech from a speech synthesiser, as a dictation would hold.
        const std::string wav = dir.File("espeak.wav"), raw = dir.File("espeak.raw");
        const std::string text = "Dictation for the clinic. The patient was seen today, blood pressure one "
                                 "hundred and thirty over eighty five, follow up in six weeks.";
        if (test::RunShell("espeak-ng -w " + test::ShellQuote(wav) + " " + test::ShellQuote(text)) != 0
            || test::RunShell(
                   "sox -R " + test::ShellQuote(wav) + " -r 8000 -c 1 -b 16 -e signed -t raw " + test::ShellQuote(raw))
                != 0)
            return {};
        s = ToSamples(test::ReadFileBytes(raw));
        break;
    }
    case Signal::LoudNoiseAndClipping: {
        // Full-scale noise, then square waves at the rails: every saturation.
        std::uniform_int_distribution<int> full(-32768, 32767);
        for (size_t i = 0; i < 40 * kFrame; ++i)
            s.push_back(static_cast<int16_t>(full(rng)));
        for (size_t i = 0; i < 40 * kFrame; ++i)
            s.push_back(static_cast<int16_t>((i / 17) % 2 ? 32767 : -32768));
        for (size_t i = 0; i < 40 * kFrame; ++i)
            s.push_back(static_cast<int16_t>(32767 * std::sin(0.3 * i + 0.0001 * i * i)));
        // A rail-to-rail step after the offset filter has settled: the
        // autocorrelation's rescaling then overflows 16 bits and wraps.
        s.insert(s.end(), 60 * kFrame, int16_t(-32768));
        s.insert(s.end(), 10 * kFrame, int16_t(32767));
        break;
    }
    case Signal::QuietWithOffset: {
        // Silence, a tiny signal and a large DC offset: the scaling paths
        // at the bottom of the range and the offset filter's memory.
        s.assign(20 * kFrame, 0);
        std::uniform_int_distribution<int> tiny(-9, 9);
        for (size_t i = 0; i < 40 * kFrame; ++i)
            s.push_back(static_cast<int16_t>(tiny(rng)));
        for (size_t i = 0; i < 40 * kFrame; ++i)
            s.push_back(static_cast<int16_t>(-20000 + tiny(rng)));
        break;
    }
    }
    s.resize(s.size() / kFrame * kFrame);
    return s;
}

std::vector<uint8_t> EncodeFrames(const std::vector<int16_t>& samples)
{
    LGSMFrame codec;
    std::vector<uint8_t> out(samples.size() / kFrame * LGSMFrame::kFrameBytes);
    for (size_t f = 0; f < samples.size() / kFrame; ++f)
        codec.EncodeFrame(samples.data() + f * kFrame, out.data() + f * LGSMFrame::kFrameBytes);
    return out;
}

std::vector<int16_t> DecodeFrames(const std::vector<uint8_t>& frames)
{
    LGSMFrame codec;
    std::vector<int16_t> out(frames.size() / LGSMFrame::kFrameBytes * kFrame);
    for (size_t f = 0; f < frames.size() / LGSMFrame::kFrameBytes; ++f)
        EXPECT_TRUE(codec.DecodeFrame(frames.data() + f * LGSMFrame::kFrameBytes, out.data() + f * kFrame));
    return out;
}

class GsmAgainstToast : public ::testing::TestWithParam<Signal> { };

TEST_P(GsmAgainstToast, EncoderFramesAndDecoderSamplesAreBitExact)
{
    TEST_REQUIRE_TOOL("toast");
    TEST_REQUIRE_TOOL("untoast");
    if (GetParam() == Signal::EspeakSpeech) {
        TEST_REQUIRE_TOOL("sox");
        TEST_REQUIRE_TOOL("espeak-ng");
    }
    test::TempDir dir;
    const std::vector<int16_t> input = MakeSignal(GetParam(), dir);
    ASSERT_GE(input.size(), 20 * kFrame);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("in.raw"), test::S16Bytes(input)));

    // toast -l takes 16-bit linear samples in host order; -c writes to stdout.
    ASSERT_EQ(test::Toast("toast", dir.File("in.raw"), dir.File("toast.gsm")), 0);
    const std::vector<uint8_t> theirs = test::ReadFileBytes(dir.File("toast.gsm"));
    const std::vector<uint8_t> ours = EncodeFrames(input);
    ASSERT_EQ(theirs.size(), ours.size());
    const long diff = FirstDifference(ours, theirs);
    EXPECT_EQ(diff, -1) << "first differing byte in frame " << diff / 33;
    ASSERT_EQ(test::Toast("untoast", dir.File("toast.gsm"), dir.File("untoast.raw")), 0);
    const long sdiff = FirstDifference(DecodeFrames(theirs), ToSamples(test::ReadFileBytes(dir.File("untoast.raw"))));
    EXPECT_EQ(sdiff, -1) << "first differing sample " << sdiff;
}

const char* const kSignalNames[] = { "EspeakSpeech", "LoudNoiseAndClipping", "QuietWithOffset" };
INSTANTIATE_TEST_SUITE_P(Gsm, GsmAgainstToast,
    ::testing::Values(Signal::EspeakSpeech, Signal::LoudNoiseAndClipping, Signal::QuietWithOffset),
    [](const auto& info) { return std::string(kSignalNames[static_cast<int>(info.param)]); });

} // namespace
