// How long after LSoundRecorder::Start the sound input is capturing: audio
// from that moment on reaches the sink, so this is what a dictator's first
// word may lose. Goal: under 50 ms. Measured on a scripted device (pure
// recorder overhead: thread start, open, buffers) and on the real ALSA code
// over a file PCM on the null PCM (adds ALSA's open, parameters and start).
#include "foundation/LQueueMainLoop.h"
#include "platform/LAlsaBackend.h"
#include "platform/LPcmBackend.h"
#include "sound/LNullSoundSink.h"
#include "sound/device/LSoundRecorder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A device that opens at once, notes when capture started, and then gives
// silence in 100 ms blocks in real time.
class InstantBackend : public LPcmBackend {
public:
    Clock::time_point tStarted;

    std::vector<LPcmDeviceInfo> ListDevices(Direction) override { return {}; }
    std::unique_ptr<LPcmCapture> OpenCapture(uint32_t, const LPcmStreamParams& params, std::string*) override
    {
        return std::make_unique<Capture>(*this, params);
    }
    std::unique_ptr<LPcmPlayback> OpenPlayback(uint32_t, const LPcmStreamParams&, std::string*) override
    {
        return nullptr;
    }

private:
    class Capture : public LPcmCapture {
    public:
        Capture(InstantBackend& owner, const LPcmStreamParams& params)
            : m_owner(owner)
            , m_params(params)
        {
        }
        bool Start() override
        {
            m_owner.tStarted = Clock::now();
            m_tNext = m_owner.tStarted + std::chrono::milliseconds(100);
            return true;
        }
        int32_t Read(int16_t* pSamples, uint32_t maxFrames, uint32_t timeoutMs) override
        {
            const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            if (m_tNext > deadline) {
                std::this_thread::sleep_until(deadline);
                return 0;
            }
            std::this_thread::sleep_until(m_tNext);
            m_tNext += std::chrono::milliseconds(100);
            const uint32_t uFrames = std::min(maxFrames, m_params.uPeriodFrames);
            std::fill(pSamples, pSamples + size_t(uFrames) * m_params.uChannels, int16_t(0));
            return int32_t(uFrames);
        }
        void Stop() override { }

    private:
        InstantBackend& m_owner;
        LPcmStreamParams m_params;
        Clock::time_point m_tNext;
    };
};

void BM_RecorderStartScriptedDevice(benchmark::State& state)
{
    InstantBackend backend;
    LPcmBackend::SetCurrent(&backend);
    LQueueMainLoop loop;
    LSoundRecorder recorder(loop);
    double fMaxMs = 0, fReturnSumMs = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!recorder.Start(LNullSoundSink::Make(16000, 1), LSoundRecorder::kFlagRecordAtOnce, 0, -127, 4000)) {
            state.SkipWithError("Start failed");
            break;
        }
        const auto tReturned = Clock::now();
        const double fMs = std::chrono::duration<double, std::milli>(backend.tStarted - t0).count();
        state.SetIterationTime(fMs / 1000);
        fMaxMs = std::max(fMaxMs, fMs);
        fReturnSumMs += std::chrono::duration<double, std::milli>(tReturned - t0).count();
        recorder.Stop();
    }
    state.counters["capturing_max_ms"] = fMaxMs;
    state.counters["start_returned_avg_ms"] = fReturnSumMs / double(state.iterations());
    LPcmBackend::SetCurrent(nullptr);
}
BENCHMARK(BM_RecorderStartScriptedDevice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// The ALSA path: the default device is a file PCM over the null PCM, from a
// configuration of our own. Start returns once the PCM's start has returned,
// so its time is when capture runs.
void BM_RecorderStartAlsaFilePcm(benchmark::State& state)
{
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("bench_recorder_start." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string in = (dir / "in.raw").string(), out = (dir / "out.raw").string();
    std::ofstream(in).put('\0');
    std::ofstream((dir / "asound.conf").string())
        << "pcm.!default {\n type file\n slave.pcm { type null }\n format \"raw\"\n file \"" << out << "\"\n infile \""
        << in << "\"\n}\n";
    setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
    LAlsaBackend::ReloadConfiguration();

    LQueueMainLoop loop;
    LSoundRecorder recorder(loop);
    double fMaxMs = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!recorder.Start(LNullSoundSink::Make(16000, 1), LSoundRecorder::kFlagRecordAtOnce, 0, -127, 4000)) {
            state.SkipWithError(("Start failed: " + recorder.GetLastError()).c_str());
            break;
        }
        const double fMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        state.SetIterationTime(fMs / 1000);
        fMaxMs = std::max(fMaxMs, fMs);
        recorder.Stop();
    }
    state.counters["capturing_max_ms"] = fMaxMs;
    unsetenv("ALSA_CONFIG_PATH");
    LAlsaBackend::ReloadConfiguration();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RecorderStartAlsaFilePcm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
