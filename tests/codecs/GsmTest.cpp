// GSM 06.10: judged bit for bit by toast/untoast (33-byte frames) and by sox
// (WAV format 49 blocks), plus hostile frames and the block codec's edges.
#include "sound/codecs/LGSMFrame.h"
#include "sound/codecs/LGSMWaveDecoder.h"
#include "sound/codecs/LGSMWaveEncoder.h"
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
enum class Signal { EspeakSpeech, SoxSpeechLike, LoudNoiseAndClipping, QuietWithOffset };

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
    case Signal::SoxSpeechLike: {
        // A gliding tone with harmonics and noise under a syllable-rate
        // envelope, so that lags, gains and LARs all move.
        const std::string path = dir.File("speech.raw");
        const std::string cmd = "sox -R -n -r 8000 -c 1 -b 16 -e signed -t raw " + test::ShellQuote(path)
            + " synth 4 sawtooth 110-190 synth 4 sine mix 300-3000 synth 4 pinknoise mix tremolo 4 90 vol 0.8";
        if (test::RunShell(cmd) != 0)
            return {};
        s = ToSamples(test::ReadFileBytes(path));
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
    if (GetParam() == Signal::SoxSpeechLike || GetParam() == Signal::EspeakSpeech)
        TEST_REQUIRE_TOOL("sox");
    if (GetParam() == Signal::EspeakSpeech)
        TEST_REQUIRE_TOOL("espeak-ng");
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
    const std::vector<int16_t> expected = ToSamples(test::ReadFileBytes(dir.File("untoast.raw")));
    const std::vector<int16_t> decoded = DecodeFrames(theirs);
    const long sdiff = FirstDifference(decoded, expected);
    EXPECT_EQ(sdiff, -1) << "first differing sample " << sdiff;
}

std::string SignalName(const ::testing::TestParamInfo<Signal>& info)
{
    const char* const names[] = { "EspeakSpeech", "SoxSpeechLike", "LoudNoiseAndClipping", "QuietWithOffset" };
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Gsm, GsmAgainstToast,
    ::testing::Values(
        Signal::EspeakSpeech, Signal::SoxSpeechLike, Signal::LoudNoiseAndClipping, Signal::QuietWithOffset),
    SignalName);

std::vector<uint8_t> RandomFrames(size_t nFrames, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> frames(nFrames * LGSMFrame::kFrameBytes);
    for (auto& b : frames)
        b = static_cast<uint8_t>(rng());
    for (size_t f = 0; f < nFrames; ++f) {
        uint8_t& first = frames[f * LGSMFrame::kFrameBytes];
        first = static_cast<uint8_t>(0xD0 | (first & 0x0F));
    }
    return frames;
}

// Random parameters reach what no encoder emits: lags outside 40..120,
// extreme LARs and block maxima, every grid and gain.
TEST(GsmAgainstToastDecoder, ArbitraryParametersDecodeLikeUntoast)
{
    TEST_REQUIRE_TOOL("untoast");
    test::TempDir dir;
    const uint32_t seed = 610;
    const std::vector<uint8_t> frames = RandomFrames(500, seed);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("random.gsm"), frames));
    ASSERT_EQ(test::Toast("untoast", dir.File("random.gsm"), dir.File("random.raw")), 0);
    const std::vector<int16_t> expected = ToSamples(test::ReadFileBytes(dir.File("random.raw")));
    const long diff = FirstDifference(DecodeFrames(frames), expected);
    EXPECT_EQ(diff, -1) << "seed " << seed << ", first differing sample " << diff;
}

std::vector<int16_t> DecodeBlocks(LAudioDecoder& decoder, const std::vector<uint8_t>& data)
{
    std::vector<int16_t> out;
    int16_t frames[LGSMFrame::kWavBlockSamples];
    for (size_t p = 0; p < data.size(); p += decoder.BlockBytes()) {
        const size_t n = decoder.DecodeBlock(&data[p], std::min(decoder.BlockBytes(), data.size() - p), frames);
        out.insert(out.end(), frames, frames + n);
    }
    return out;
}

TEST(GsmWav, SoxWrittenFileDecodesSampleForSample)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    const std::vector<int16_t> input = MakeSignal(Signal::SoxSpeechLike, dir);
    ASSERT_FALSE(input.empty());
    ASSERT_TRUE(test::WriteFileBytes(dir.File("in.raw"), test::S16Bytes(input)));
    const std::string gsmWav = test::ShellQuote(dir.File("gsm.wav"));
    ASSERT_EQ(test::RunShell("sox -t raw -r 8000 -c 1 -b 16 -e signed " + test::ShellQuote(dir.File("in.raw"))
                  + " -e gsm-full-rate " + gsmWav),
        0);
    std::string decodedBySox;
    ASSERT_EQ(test::RunShell("sox " + gsmWav + " -t s16 -", &decodedBySox), 0);
    const std::vector<int16_t> expected = ToSamples(std::vector<uint8_t>(decodedBySox.begin(), decodedBySox.end()));

    LWaveFormat format;
    std::vector<uint8_t> data;
    test::WavData wav;
    ASSERT_TRUE(test::ParseWav(test::ReadFileBytes(dir.File("gsm.wav")), &wav));
    format = wav.format;
    data = wav.data;
    LCodecStatus status;
    auto decoder = LGSMWaveDecoder::Create(format, &status);
    ASSERT_TRUE(decoder) << "status " << int(status);
    const std::vector<int16_t> ours = DecodeBlocks(*decoder, data);
    ASSERT_GE(ours.size(), input.size());
    // sox may pad the data chunk; compare what sox itself decodes.
    const std::vector<int16_t> oursCut(ours.begin(), ours.begin() + std::min(ours.size(), expected.size()));
    const long diff = FirstDifference(oursCut, expected);
    EXPECT_EQ(diff, -1) << "first differing sample " << diff;
}

TEST(GsmWav, OurBlocksDecodeInSoxAsInOurDecoder)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    std::vector<int16_t> input = MakeSignal(Signal::SoxSpeechLike, dir);
    ASSERT_FALSE(input.empty());
    input.resize(input.size() - 100); // a last block that needs padding

    LCodecStatus status;
    auto encoder = LGSMWaveEncoder::Create(8000, 1, &status);
    ASSERT_TRUE(encoder);
    std::vector<uint8_t> data;
    for (size_t p = 0; p < input.size(); p += encoder->FramesPerBlock()) {
        uint8_t block[LGSMFrame::kWavBlockBytes];
        const size_t n = std::min(encoder->FramesPerBlock(), input.size() - p);
        ASSERT_EQ(encoder->EncodeBlock(&input[p], n, block), encoder->BlockBytes());
        data.insert(data.end(), block, block + sizeof block);
    }
    ASSERT_TRUE(test::WriteFileBytes(dir.File("ours.wav"), test::MakeWav(encoder->Format(), data)));
    std::string decodedBySox;
    ASSERT_EQ(test::RunShell("sox " + test::ShellQuote(dir.File("ours.wav")) + " -t s16 -", &decodedBySox), 0);
    const std::vector<int16_t> bySox = ToSamples(std::vector<uint8_t>(decodedBySox.begin(), decodedBySox.end()));

    auto decoder = LGSMWaveDecoder::Create(encoder->Format(), &status);
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> ours = DecodeBlocks(*decoder, data);
    EXPECT_EQ(ours.size(), data.size() / 65 * 320);
    const long diff = FirstDifference(ours, bySox);
    EXPECT_EQ(diff, -1) << "first differing sample " << diff;

    // soxi reads the rate and block layout from the format we wrote.
    std::string info;
    ASSERT_EQ(test::RunShell("soxi -r " + test::ShellQuote(dir.File("ours.wav")), &info), 0);
    EXPECT_EQ(info, "8000\n");
}

TEST(GsmWav, FactoriesRefuseWhatTheFormatCannotCarry)
{
    LCodecStatus status = LCodecStatus::Ok;
    EXPECT_FALSE(LGSMWaveEncoder::Create(8000, 2, &status));
    EXPECT_EQ(status, LCodecStatus::BadParameters);
    EXPECT_FALSE(LGSMWaveEncoder::Create(0, 1, &status));
    EXPECT_EQ(status, LCodecStatus::BadParameters);

    auto encoder = LGSMWaveEncoder::Create(11025, 1, &status);
    ASSERT_TRUE(encoder);
    const LWaveFormat& f = encoder->Format();
    EXPECT_EQ(f.nSamplesPerSec, 11025u);
    EXPECT_EQ(f.nAvgBytesPerSec, 11025u * 65 / 320);
    EXPECT_EQ(f.nBlockAlign * 320u, 65u * encoder->FramesPerBlock());
    ASSERT_EQ(f.extra.size(), 2u);
    EXPECT_EQ(f.extra[0] | f.extra[1] << 8, 320);

    LWaveFormat stereo = f;
    stereo.nChannels = 2;
    EXPECT_FALSE(LGSMWaveDecoder::Create(stereo, &status));
    EXPECT_EQ(status, LCodecStatus::BadParameters);
    LWaveFormat oddBlocks = f;
    oddBlocks.nBlockAlign = 66;
    EXPECT_FALSE(LGSMWaveDecoder::Create(oddBlocks, &status));
    EXPECT_EQ(status, LCodecStatus::BadParameters);
    LWaveFormat pcm = f;
    pcm.wFormatTag = kWaveFormatPCM;
    EXPECT_FALSE(LGSMWaveDecoder::Create(pcm, &status));
    EXPECT_EQ(status, LCodecStatus::UnknownFormat);
    EXPECT_TRUE(LGSMWaveDecoder::Create(f, &status));
    EXPECT_EQ(status, LCodecStatus::Ok);
}

std::vector<int16_t> Speechish(size_t n)
{
    std::vector<int16_t> s(n);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(8000 * std::sin(0.11 * i) * std::sin(0.004 * i) + noise(rng));
    return s;
}

TEST(GsmWav, ShortBlocksYieldWhatTheyHold)
{
    const std::vector<int16_t> input = Speechish(640);
    LGSMWaveEncoder encoder(8000);
    uint8_t block[65];
    encoder.EncodeBlock(input.data(), 320, block);

    LGSMWaveDecoder whole, part, tooShort;
    int16_t full[320], half[320];
    ASSERT_EQ(whole.DecodeBlock(block, 65, full), 320u);
    ASSERT_EQ(part.DecodeBlock(block, 33, half), 160u);
    EXPECT_EQ(std::memcmp(full, half, 160 * sizeof(int16_t)), 0);
    EXPECT_EQ(tooShort.DecodeBlock(block, 32, half), 0u);

    // A short last block is padded with silence, not with stale samples.
    uint8_t padded[65], explicitPad[65];
    std::vector<int16_t> withZeros(input.begin(), input.begin() + 100);
    withZeros.resize(320, 0);
    LGSMWaveEncoder a(8000), b(8000);
    a.EncodeBlock(input.data(), 100, padded);
    b.EncodeBlock(withZeros.data(), 320, explicitPad);
    EXPECT_EQ(std::memcmp(padded, explicitPad, 65), 0);
}

TEST(GsmFrame, ResetStartsBothDirectionsOver)
{
    const std::vector<int16_t> input = Speechish(960);
    LGSMFrame used;
    uint8_t frame[33], fresh[33];
    int16_t out[160], freshOut[160];
    for (size_t f = 0; f < 6; ++f) {
        used.EncodeFrame(&input[f * 160], frame);
        used.DecodeFrame(frame, out);
    }
    used.Reset();
    LGSMFrame clean;
    used.EncodeFrame(input.data(), frame);
    clean.EncodeFrame(input.data(), fresh);
    EXPECT_EQ(std::memcmp(frame, fresh, 33), 0);
    used.DecodeFrame(frame, out);
    clean.DecodeFrame(fresh, freshOut);
    EXPECT_EQ(std::memcmp(out, freshOut, sizeof out), 0);
}

TEST(GsmFrame, BothFramingsCarryTheSameParameters)
{
    const std::vector<int16_t> input = Speechish(320);
    LGSMFrame codec;
    LGSMFrame::Parameters first, second, back1, back2, fromFrame;
    codec.EncodeNormal(input.data(), &first);
    codec.EncodeNormal(input.data() + 160, &second);
    uint8_t block[65], frame[33];
    LGSMFrame::PackWavBlock(first, second, block);
    LGSMFrame::UnpackWavBlock(block, &back1, &back2);
    LGSMFrame::PackFrame(second, frame);
    ASSERT_TRUE(LGSMFrame::UnpackFrame(frame, &fromFrame));
    EXPECT_EQ(std::memcmp(&first, &back1, sizeof first), 0);
    EXPECT_EQ(std::memcmp(&second, &back2, sizeof second), 0);
    EXPECT_EQ(std::memcmp(&second, &fromFrame, sizeof second), 0);
}

TEST(GsmHostile, GarbageDecodesToThirteenBitSamplesWithoutHarm)
{
    const uint32_t seed = 1234;
    std::mt19937 rng(seed);
    LGSMFrame codec;
    std::vector<uint8_t> bytes(65);
    int16_t out[320];
    for (int round = 0; round < 2000; ++round) {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
        codec.DecodeWavBlock(bytes.data(), out);
        bytes[0] = static_cast<uint8_t>(0xD0 | (bytes[0] & 0x0F));
        codec.DecodeFrame(bytes.data(), out + 160);
        for (int16_t v : out)
            ASSERT_EQ(v & 7, 0) << "seed " << seed << " round " << round;
    }

    // Parameters wider than their fields are masked, not trusted.
    LGSMFrame::Parameters wild;
    std::memset(&wild, 0x7F, sizeof wild);
    codec.DecodeNormal(wild, out);
    for (int i = 0; i < 160; ++i)
        ASSERT_EQ(out[i] & 7, 0);
}

TEST(GsmHostile, FrameWithoutSignatureIsRefusedAndLeavesStateAlone)
{
    const std::vector<int16_t> input = Speechish(480);
    const std::vector<uint8_t> frames = EncodeFrames(input);
    std::vector<uint8_t> bad(frames.begin(), frames.begin() + 33);
    bad[0] = static_cast<uint8_t>(0xC0 | (bad[0] & 0x0F));

    LGSMFrame plain, interrupted;
    int16_t a[160], b[160];
    for (size_t f = 0; f < 3; ++f) {
        plain.DecodeFrame(&frames[f * 33], a);
        if (f == 1) {
            b[0] = 1;
            EXPECT_FALSE(interrupted.DecodeFrame(bad.data(), b));
            EXPECT_EQ(std::count(b, b + 160, 0), 160);
        }
        interrupted.DecodeFrame(&frames[f * 33], b);
        EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << "frame " << f;
    }
}

} // namespace
