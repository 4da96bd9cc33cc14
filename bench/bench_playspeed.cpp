// CPU time of the play-speed stage per second of audio it delivers: fast
// play (1.5 times), slow play, and the full-speed scans of fast forward and
// rewind, mono and stereo at 44100 Hz. The inner source is memory, so the
// figure is the stage's own work. Also the rate converter per second of
// output, for comparison.
#include "sound/LSoundSourceBase.h"
#include "sound/convert/LFactoryPlaySpeed.h"
#include "sound/convert/LFactoryRate.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// A tone in memory that loops, so a scan never runs out.
class LoopSource : public LSoundSourceBase {
public:
    LoopSource(int32_t nRate, uint8_t nChannels)
        : LSoundSourceBase(nRate, nChannels, kMaxAmplitudePCM)
        , m_samples(static_cast<size_t>(nRate) * 10 * nChannels)
    {
        for (size_t i = 0; i < m_samples.size(); ++i)
            m_samples[i] = static_cast<int32_t>(
                20000 * 16 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(i / nChannels) / nRate));
    }
    void Read(int32_t* pBuffer, int32_t nFrames) override
    {
        const int64_t nLength = static_cast<int64_t>(m_samples.size() / NumChannels());
        while (nFrames > 0) {
            const int64_t nAt = ((m_nPosition % nLength) + nLength) % nLength;
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(nFrames, nLength - nAt));
            std::memcpy(pBuffer, m_samples.data() + nAt * NumChannels(), sizeof(int32_t) * n * NumChannels());
            pBuffer += static_cast<size_t>(n) * NumChannels();
            nFrames -= n;
            m_nPosition += n;
        }
    }
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override { return INT64_MAX / 4; }
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

private:
    std::vector<int32_t> m_samples;
    int64_t m_nPosition = 0;
};

void BM_PlaySpeed(benchmark::State& state, double fSpeed, uint8_t nChannels)
{
    const int32_t nRate = 44100;
    LSoundSourceRef inner(new LoopSource(nRate, nChannels));
    inner->Seek(1000000000LL);
    LSoundSourceRef stage = LFactoryPlaySpeed(fSpeed, fSpeed, 0).OpenSource(inner);
    std::vector<int32_t> block(static_cast<size_t>(nRate / 10) * nChannels);
    for (auto _ : state) {
        // One second of output per iteration.
        for (int i = 0; i < 10; ++i)
            stage->Read(block.data(), nRate / 10);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["audio_s"] = benchmark::Counter(static_cast<double>(state.iterations()));
    state.counters["x_realtime"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Rate(benchmark::State& state, int32_t nIn, int32_t nOut, uint8_t nChannels)
{
    LSoundSourceRef chain = LFactoryRate(nOut).OpenSource(LSoundSourceRef(new LoopSource(nIn, nChannels)));
    std::vector<int32_t> block(static_cast<size_t>(nOut / 10) * nChannels);
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i)
            chain->Read(block.data(), nOut / 10);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["x_realtime"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_PlaySpeed, fast_mono, 1.5, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlaySpeed, fast_stereo, 1.5, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlaySpeed, slow_mono, 0.5, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlaySpeed, forward_scan_x8_mono, 8.0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlaySpeed, rewind_scan_x8_stereo, -8.0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Rate, r44100_to_8000_mono, 44100, 8000, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Rate, r11025_to_44100_mono, 11025, 44100, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Rate, r44100_to_16000_stereo, 44100, 16000, 2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
