// MP3 decoding speed, and the cost of the header scan at open against
// decoding the same file: the scan of a one-hour file must stay under 5 %
// of decoding it. The one-hour file is 10 s of lame output (no reservoir,
// so the frames stand alone) repeated, written to a temporary file.
#include "foundation/LFile.h"
#include "sound/codecs/LMP3MemoryReader.h"
#include "sound/codecs/LMP3Stream.h"
#include "sound/files/LMP3FileReader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Fixture {
    std::string dir;
    std::string path;
    std::vector<uint8_t> bytes;
    bool bOk = false;
    ~Fixture()
    {
        if (!path.empty())
            std::remove(path.c_str());
        if (!dir.empty())
            rmdir(dir.c_str());
    }
};

void MakeFixture(Fixture& x)
{
    const char* tmp = std::getenv("TMPDIR");
    x.dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_mp3." + std::to_string(getpid());
    const std::string& dir = x.dir;
    std::string cmd = "mkdir -p " + dir + " && sox -R -n -r 44100 -c 2 " + dir
        + "/unit.wav synth 10 sine 200-4000 pinknoise gain -3 2>/dev/null && lame --quiet -b 128 -t --nores " + dir
        + "/unit.wav " + dir + "/unit.mp3";
    if (std::system(cmd.c_str()) != 0)
        return;
    std::ifstream in(dir + "/unit.mp3", std::ios::binary);
    std::vector<uint8_t> unit((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (int i = 0; i < 360; ++i)
        x.bytes.insert(x.bytes.end(), unit.begin(), unit.end());
    x.path = dir + "/hour.mp3";
    std::ofstream out(x.path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(x.bytes.data()), static_cast<std::streamsize>(x.bytes.size()));
    x.bOk = out.good() && !unit.empty();
    std::remove((dir + "/unit.wav").c_str());
    std::remove((dir + "/unit.mp3").c_str());
}

const Fixture& OneHour()
{
    static Fixture f;
    static const bool bMade = (MakeFixture(f), true);
    (void)bMade;
    return f;
}

// Open alone: the first header, the VBR check and the scan of every header.
void BM_Mp3OpenAndScanOneHourFile(benchmark::State& state)
{
    const Fixture& f = OneHour();
    if (!f.bOk) {
        state.SkipWithError("sox and lame are needed to make the file");
        return;
    }
    for (auto _ : state) {
        LFile file;
        file.Open(f.path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting);
        LMP3FileReader reader(&file);
        LMP3Stream s(&reader);
        benchmark::DoNotOptimize(s.Open());
        benchmark::DoNotOptimize(s.GetLength());
    }
    state.SetLabel("one hour, 128 kbit/s stereo, from the file");
}

// Open and decode everything, as an import does.
void BM_Mp3DecodeOneHourFile(benchmark::State& state)
{
    const Fixture& f = OneHour();
    if (!f.bOk) {
        state.SkipWithError("sox and lame are needed to make the file");
        return;
    }
    std::vector<int32_t> buf(8192 * 2);
    int64_t nFrames = 0;
    for (auto _ : state) {
        LFile file;
        file.Open(f.path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting);
        LMP3FileReader reader(&file);
        LMP3Stream s(&reader);
        s.Open();
        while (s.GetPosition() < s.GetLength()) {
            s.Read(buf.data(), 8192);
            benchmark::DoNotOptimize(buf.data());
        }
        nFrames += s.GetLength();
    }
    state.counters["x_realtime"]
        = benchmark::Counter(static_cast<double>(nFrames) / 44100.0, benchmark::Counter::kIsRate);
    state.SetItemsProcessed(nFrames);
}

// Decoding alone, from memory, one minute per iteration.
void BM_Mp3DecodeMinuteFromMemory(benchmark::State& state)
{
    const Fixture& f = OneHour();
    if (!f.bOk) {
        state.SkipWithError("sox and lame are needed to make the file");
        return;
    }
    LMP3MemoryReader reader(f.bytes.data(), f.bytes.size());
    LMP3Stream s(&reader);
    s.Open();
    std::vector<int32_t> buf(8192 * 2);
    const int64_t nMinute = 60 * 44100;
    int64_t nFrames = 0;
    for (auto _ : state) {
        s.Seek(0);
        for (int64_t n = 0; n < nMinute; n += 8192)
            s.Read(buf.data(), 8192);
        benchmark::DoNotOptimize(buf.data());
        nFrames += nMinute;
    }
    state.counters["x_realtime"]
        = benchmark::Counter(static_cast<double>(nFrames) / 44100.0, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_Mp3OpenAndScanOneHourFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mp3DecodeOneHourFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Mp3DecodeMinuteFromMemory)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
