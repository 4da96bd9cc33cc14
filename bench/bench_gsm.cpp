// GSM 06.10 speed: how many seconds of 8000 Hz audio one core encodes and
// decodes per second, in the 33-byte framing and in WAV format 49 blocks.
#include "sound/codecs/LGSMFrame.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr size_t kSecond = 8000; // samples: 50 frames, 25 WAV blocks

std::vector<int16_t> SpeechLike()
{
    std::vector<int16_t> s(kSecond);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 500.0);
    for (size_t i = 0; i < s.size(); ++i) {
        const double voiced = std::sin(2 * std::numbers::pi * 140 * i / 8000.0)
            + 0.5 * std::sin(2 * std::numbers::pi * 700 * i / 8000.0);
        const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 4 * i / 8000.0);
        s[i] = static_cast<int16_t>(9000 * voiced * envelope + noise(rng));
    }
    return s;
}

void SetAudioRate(benchmark::State& state)
{
    state.counters["audio_s_per_s"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_GsmEncodeFrames(benchmark::State& state)
{
    const std::vector<int16_t> input = SpeechLike();
    std::vector<uint8_t> out(kSecond / LGSMFrame::kSamples * LGSMFrame::kFrameBytes);
    LGSMFrame codec;
    for (auto _ : state) {
        for (size_t f = 0; f < kSecond / LGSMFrame::kSamples; ++f)
            codec.EncodeFrame(&input[f * LGSMFrame::kSamples], &out[f * LGSMFrame::kFrameBytes]);
        benchmark::DoNotOptimize(out.data());
    }
    SetAudioRate(state);
}
BENCHMARK(BM_GsmEncodeFrames);

void BM_GsmDecodeFrames(benchmark::State& state)
{
    const std::vector<int16_t> input = SpeechLike();
    std::vector<uint8_t> frames(kSecond / LGSMFrame::kSamples * LGSMFrame::kFrameBytes);
    LGSMFrame encoder;
    for (size_t f = 0; f < kSecond / LGSMFrame::kSamples; ++f)
        encoder.EncodeFrame(&input[f * LGSMFrame::kSamples], &frames[f * LGSMFrame::kFrameBytes]);
    std::vector<int16_t> out(kSecond);
    LGSMFrame codec;
    for (auto _ : state) {
        for (size_t f = 0; f < kSecond / LGSMFrame::kSamples; ++f)
            codec.DecodeFrame(&frames[f * LGSMFrame::kFrameBytes], &out[f * LGSMFrame::kSamples]);
        benchmark::DoNotOptimize(out.data());
    }
    SetAudioRate(state);
}
BENCHMARK(BM_GsmDecodeFrames);

void BM_GsmEncodeWavBlocks(benchmark::State& state)
{
    const std::vector<int16_t> input = SpeechLike();
    std::vector<uint8_t> out(kSecond / LGSMFrame::kWavBlockSamples * LGSMFrame::kWavBlockBytes);
    LGSMFrame codec;
    for (auto _ : state) {
        for (size_t b = 0; b < kSecond / LGSMFrame::kWavBlockSamples; ++b)
            codec.EncodeWavBlock(&input[b * LGSMFrame::kWavBlockSamples], &out[b * LGSMFrame::kWavBlockBytes]);
        benchmark::DoNotOptimize(out.data());
    }
    SetAudioRate(state);
}
BENCHMARK(BM_GsmEncodeWavBlocks);

void BM_GsmDecodeWavBlocks(benchmark::State& state)
{
    const std::vector<int16_t> input = SpeechLike();
    std::vector<uint8_t> blocks(kSecond / LGSMFrame::kWavBlockSamples * LGSMFrame::kWavBlockBytes);
    LGSMFrame encoder;
    for (size_t b = 0; b < kSecond / LGSMFrame::kWavBlockSamples; ++b)
        encoder.EncodeWavBlock(&input[b * LGSMFrame::kWavBlockSamples], &blocks[b * LGSMFrame::kWavBlockBytes]);
    std::vector<int16_t> out(kSecond);
    LGSMFrame codec;
    for (auto _ : state) {
        for (size_t b = 0; b < kSecond / LGSMFrame::kWavBlockSamples; ++b)
            codec.DecodeWavBlock(&blocks[b * LGSMFrame::kWavBlockBytes], &out[b * LGSMFrame::kWavBlockSamples]);
        benchmark::DoNotOptimize(out.data());
    }
    SetAudioRate(state);
}
BENCHMARK(BM_GsmDecodeWavBlocks);

} // namespace

BENCHMARK_MAIN();
