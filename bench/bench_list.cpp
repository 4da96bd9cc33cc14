// Listing a working folder of 10,000 dictations, as the main window and
// "tavrine-cli list" do: every header loaded and its row formatted. With 3
// cuts a dictation is typical; with 200 it has been edited heavily, and the
// cut list is most of what a load reads. Set TAVRINE_BENCH_DIR to measure on
// another file system.
#include "dictation/LDictationList.h"
#include "foundation/LDateTime.h"
#include "foundation/LText.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDictations = 10000;

class Folder {
public:
    explicit Folder(int nCuts)
    {
        const char* base = std::getenv("TAVRINE_BENCH_DIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavrine-bench-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data()))
            std::abort();
        m_root = buf.data();
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
        setenv("TAVRINE_MACHINE_CONFIG", (m_root + "/machine.conf").c_str(), 1);
        for (int n = 1; n <= kDictations; ++n)
            WriteDictation(static_cast<uint32_t>(n), nCuts);
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::string& Path() const { return m_root; }

private:
    static void Put32(std::vector<uint8_t>& b, size_t offset, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }

    // Written directly: a save per file with its sync would take minutes.
    void WriteDictation(uint32_t n, int nCuts)
    {
        std::vector<uint8_t> b(222, 0);
        const char notes[] = "Patient letter, second draft";
        Put32(b, 0, 1);
        Put32(b, 8, n);
        Put32(b, 12, 1700000000 + n);
        Put32(b, 16, 1700000000 + n);
        std::string name = "Dictation " + std::to_string(n);
        std::memcpy(&b[24], name.data(), name.size());
        b[188] = 0xFF;
        b[189] = 50;
        b[190] = 1;
        b[192] = static_cast<uint8_t>(n % 251);
        Put32(b, 194, 11025);
        Put32(b, 198, sizeof notes - 1);
        Put32(b, 218, 0x0FF04020);
        b.insert(b.end(), notes, notes + sizeof notes - 1);
        for (int c = 0; c < nCuts; ++c) {
            uint8_t rec[10]
                = { static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF };
            b.insert(b.end(), rec, rec + sizeof rec);
        }
        std::string path = m_root + "/" + std::to_string(n) + ".ddf";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0)
            std::abort();
    }

    std::string m_root;
};

void ListFolder(benchmark::State& state)
{
    Folder folder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        LDictationList list(folder.Path());
        size_t nBytes = 0;
        for (const LDictation& d : list) {
            const DictationHeader& h = d.Header();
            LDateTime created(h.tCreated);
            nBytes += tplprintf("%s\t%s\t%s\t%s\t%.2d:%.2d\t%s\t%s\n", std::to_string(h.uFileNumber),
                std::string(d.GetName()), created.Date(), created.Time(), h.uDuration / 60, h.uDuration % 60,
                PriorityText(h.uPriority), std::string(d.GetSendStatus()))
                          .size();
        }
        if (list.Count() != kDictations)
            state.SkipWithError("not every dictation was listed");
        benchmark::DoNotOptimize(nBytes);
    }
    state.counters["dictations"] = kDictations;
}

} // namespace

BENCHMARK(ListFolder)->Arg(3)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
