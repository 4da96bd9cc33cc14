// Listing a typist's inbox of 10,000 DCT files, as "tavrine-cli scribe inbox"
// and the Scribe window do on every refresh: each header and its notes read,
// the audio's format header for the duration, nothing decoded; encrypted
// files also decrypt their notes and the audio's first block to find the
// key. Goal: under 1 s. Set TAVRINE_BENCH_DIR to measure on another file system.
#include "foundation/LText.h"
#include "scribe/LFolderInboxSource.h"
#include "scribe/LScribeInbox.h"
#include "send/LBlowFish.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kJobs = 10000;

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Str(std::vector<uint8_t>& b, const std::string& s)
{
    b.push_back(static_cast<uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// A one-minute GSM-sized dictation: 100 KB of audio behind a WAV header.
std::vector<uint8_t> Dct(uint32_t uNumber, const std::string& key)
{
    std::vector<uint8_t> wav { 'R', 'I', 'F', 'F' };
    Put32(wav, 0);
    for (char c : std::string("WAVEfmt "))
        wav.push_back(static_cast<uint8_t>(c));
    Put32(wav, 16);
    for (uint32_t v : { 0x00010031u, 11025u, 1625u, 0x00000041u })
        Put32(wav, v);
    for (char c : std::string("data"))
        wav.push_back(static_cast<uint8_t>(c));
    Put32(wav, 97500);
    wav.resize(wav.size() + 97500, 0x55);
    std::string notes
        = tplprintf("<fileno>%d</fileno>\n<client>Smith &amp; Sons</client>\nPlease type today.", uNumber);
    LBlowFish cipher;
    cipher.SetKey(key);
    auto piece = [&](std::vector<uint8_t> bytes) {
        if (!key.empty()) {
            bytes.resize((bytes.size() + 7) / 8 * 8, 0);
            cipher.Encrypt(bytes.data(), bytes.size());
        }
        return bytes;
    };
    std::vector<uint8_t> b;
    b.push_back(key.empty() ? 0 : 2), b.push_back(0);
    Put32(b, 0), Put32(b, key.empty() ? 0 : 2), Put32(b, 42), Put32(b, uNumber);
    if (!key.empty())
        b.push_back(LBlowFish::KeyCheck(key));
    Put32(b, 1700000000 + uNumber);
    Str(b, tplprintf("Letter %d", uNumber)), Str(b, "Ann Author"), Str(b, "ann@example.org");
    for (int i = 0; i < 8; ++i)
        Str(b, "");
    b.push_back(static_cast<uint8_t>(uNumber % 3 == 0 ? 100 : 50));
    Put32(b, static_cast<uint32_t>(notes.size()));
    std::vector<uint8_t> n = piece({ notes.begin(), notes.end() });
    b.insert(b.end(), n.begin(), n.end());
    if (!key.empty())
        b.push_back(1), Put32(b, static_cast<uint32_t>(wav.size()));
    std::vector<uint8_t> audio = piece(wav);
    b.insert(b.end(), audio.begin(), audio.end());
    for (int i = 0; i < 4; ++i)
        b[2 + i] = static_cast<uint8_t>(b.size() >> (8 * i));
    return b;
}

class Inbox {
public:
    explicit Inbox(const std::string& key)
    {
        const char* base = std::getenv("TAVRINE_BENCH_DIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavrine-scribe-bench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        for (int n = 1; n <= kJobs; ++n) {
            std::vector<uint8_t> bytes = Dct(static_cast<uint32_t>(n), key);
            std::FILE* f = std::fopen(tplprintf("%s/42-%d Letter.dct", m_root, int32_t { n }).c_str(), "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
                std::abort();
        }
    }
    ~Inbox()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::string& Path() const { return m_root; }

private:
    std::string m_root;
};

void ListInbox(benchmark::State& state)
{
    const std::string key = state.range(0) ? "office-key" : "";
    Inbox folder(key);
    LScribeInbox inbox;
    inbox.AddSource(std::make_unique<LFolderInboxSource>("Office", "ann", folder.Path()));
    LScribeKeys keys;
    keys.Insert({ std::nullopt, "office-key" });
    inbox.SetKeys(keys);
    for (auto _ : state) {
        std::vector<std::string> lines;
        std::vector<LScribeJob> jobs = inbox.Refresh(false, &lines);
        if (jobs.size() != kJobs || !lines.empty() || jobs.front().nDurationMs != 60000)
            state.SkipWithError("the inbox did not list every job whole");
        benchmark::DoNotOptimize(jobs.data());
    }
    state.counters["jobs"] = kJobs;
}

} // namespace

BENCHMARK(ListInbox)->ArgName("encrypted")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
