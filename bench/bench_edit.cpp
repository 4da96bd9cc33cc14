// Cost of one edit of a long dictation: inserting a recording at the middle
// of four hours made of 1000 cuts, and undoing it. An edit changes only the
// cut list, so its cost must not grow with the audio. Set TAVRINE_BENCH_DIR
// to measure on another file system (the header's atomic save syncs to disk,
// which is most of the cost on a slow disk).
#include "dictation/LDictation.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCuts = 1000;
constexpr int32_t kRate = 11025;
constexpr int64_t kHoursMs = 4 * 3600 * 1000;

// A private settings and data area, so the benchmark never touches the user's own.
class Workspace {
public:
    Workspace()
    {
        const char* base = std::getenv("TAVRINE_BENCH_DIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavrine-bench-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data()))
            std::abort();
        m_root = buf.data();
        std::filesystem::create_directories(m_root + "/config");
        std::filesystem::create_directories(m_root + "/work");
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
        setenv("TAVRINE_MACHINE_CONFIG", (m_root + "/machine.conf").c_str(), 1);
    }
    ~Workspace()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    std::string Folder() const { return m_root + "/work"; }

private:
    std::string m_root;
};

// Four hours as 1000 recordings at the end, each an open-ended cut whose
// (sparse) file holds 14.4 s, as a dictation recorded in pieces would.
std::unique_ptr<LDictation> MakeLongDictation(const Workspace& ws)
{
    auto d = std::make_unique<LDictation>(ws.Folder(), "long");
    d->MutableHeader().uSampleRate = kRate;
    const int64_t nFramesPerCut = kHoursMs / kCuts * kRate / 1000;
    for (int i = 0; i < kCuts; ++i) {
        CutRecord cut { static_cast<uint16_t>(i), 0, kCutToEnd };
        d->OpenCutSink(cut).Reset(); // creates the file
        std::filesystem::resize_file(d->GetCutFileName(cut.uCutNumber), static_cast<uintmax_t>(nFramesPerCut * 2));
        d->MutableCutList().Add(cut);
    }
    d->Save();
    return d;
}

void RecordShortInsert(LDictation& d)
{
    LSoundSinkRef sink = d.OpenSink(kRecordInsert, true, static_cast<int32_t>(kHoursMs / 2 + 1234));
    if (!sink)
        std::abort();
    int32_t block[441] = {};
    sink->Write(block, 441);
}

void BM_InsertAtMiddle(benchmark::State& state)
{
    Workspace ws;
    std::unique_ptr<LDictation> d = MakeLongDictation(ws);
    for (auto _ : state) {
        RecordShortInsert(*d);
        state.PauseTiming();
        d->Undo();
        state.ResumeTiming();
    }
    state.counters["cuts"] = static_cast<double>(d->GetCutList().Count());
    state.counters["hours"] = static_cast<double>(d->GetTotalSamples()) / kRate / 3600.0;
}
BENCHMARK(BM_InsertAtMiddle)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UndoInsert(benchmark::State& state)
{
    Workspace ws;
    std::unique_ptr<LDictation> d = MakeLongDictation(ws);
    for (auto _ : state) {
        state.PauseTiming();
        RecordShortInsert(*d);
        state.ResumeTiming();
        d->Undo();
    }
}
BENCHMARK(BM_UndoInsert)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor under both: one write-through save of the header, whose atomic
// replacement syncs the file and its folder.
void BM_SaveHeaderAlone(benchmark::State& state)
{
    Workspace ws;
    std::unique_ptr<LDictation> d = MakeLongDictation(ws);
    for (auto _ : state)
        d->Save();
}
BENCHMARK(BM_SaveHeaderAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
