// Decode and encode speed of every codec in the table, in frames per second,
// over a second of a tone with a little noise, mono at 8000 Hz and stereo at
// 44100 Hz. Also the G.711 and Dialogic sample functions on their own.
#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LDialogicAdpcm.h"
#include "sound/codecs/LG711.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

std::vector<int16_t> Signal(size_t nFrames, uint16_t nChannels, uint32_t rate)
{
    std::vector<int16_t> out(nFrames * nChannels);
    uint32_t lcg = 12345;
    for (size_t i = 0; i < out.size(); ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        const double t = double(i / nChannels) / rate;
        out[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * t) + int32_t(lcg >> 16) / 64 - 512);
    }
    return out;
}

struct Encoded {
    std::unique_ptr<LAudioEncoder> encoder;
    std::vector<int16_t> frames;
    std::vector<uint8_t> data;
};

Encoded Encode(uint16_t wTag, uint32_t rate, uint16_t nChannels)
{
    Encoded e;
    e.encoder = LCodecTable::Find(wTag)->pCreateEncoder(rate, nChannels, nullptr);
    if (!e.encoder)
        return e;
    e.frames = Signal(rate, nChannels, rate);
    const size_t nPer = e.encoder->FramesPerBlock();
    std::vector<uint8_t> block(e.encoder->BlockBytes());
    for (size_t f = 0; f < rate; f += nPer) {
        const size_t n = std::min(nPer, size_t(rate) - f);
        const size_t nBytes = e.encoder->EncodeBlock(e.frames.data() + f * nChannels, n, block.data());
        e.data.insert(e.data.end(), block.begin(), block.begin() + nBytes);
    }
    return e;
}

void BM_Decode(benchmark::State& state, uint16_t wTag, uint32_t rate, uint16_t nChannels)
{
    Encoded e = Encode(wTag, rate, nChannels);
    if (!e.encoder) {
        state.SkipWithError("codec refuses the format");
        return;
    }
    auto decoder = LCodecTable::Find(wTag)->pCreateDecoder(e.encoder->Format(), nullptr);
    std::vector<int16_t> out(decoder->FramesPerBlock() * nChannels);
    size_t nFrames = 0;
    for (auto _ : state) {
        for (size_t pos = 0; pos < e.data.size(); pos += decoder->BlockBytes()) {
            const size_t n = std::min(decoder->BlockBytes(), e.data.size() - pos);
            nFrames += decoder->DecodeBlock(e.data.data() + pos, n, out.data());
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(nFrames));
}

void BM_Encode(benchmark::State& state, uint16_t wTag, uint32_t rate, uint16_t nChannels)
{
    Encoded e = Encode(wTag, rate, nChannels);
    if (!e.encoder) {
        state.SkipWithError("codec refuses the format");
        return;
    }
    std::vector<uint8_t> block(e.encoder->BlockBytes());
    const size_t nPer = e.encoder->FramesPerBlock();
    size_t nFrames = 0;
    for (auto _ : state) {
        for (size_t f = 0; f < rate; f += nPer) {
            const size_t n = std::min(nPer, size_t(rate) - f);
            e.encoder->EncodeBlock(e.frames.data() + f * nChannels, n, block.data());
            nFrames += n;
        }
        benchmark::DoNotOptimize(block.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(nFrames));
}

void BM_G711Formula(benchmark::State& state)
{
    const std::vector<int16_t> frames = Signal(8000, 1, 8000);
    std::vector<uint8_t> codes(frames.size());
    for (auto _ : state) {
        for (size_t i = 0; i < frames.size(); ++i)
            codes[i] = LG711::MuLawEncode(frames[i] * 16);
        benchmark::DoNotOptimize(codes.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames.size()));
}
BENCHMARK(BM_G711Formula);

void BM_G711Table(benchmark::State& state)
{
    const std::vector<int16_t> frames = Signal(8000, 1, 8000);
    std::vector<uint8_t> codes(frames.size());
    for (auto _ : state) {
        LG711::S16ToMuLaw(frames.data(), codes.data(), frames.size());
        benchmark::DoNotOptimize(codes.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames.size()));
}
BENCHMARK(BM_G711Table);

void BM_DialogicRoundTrip(benchmark::State& state)
{
    const std::vector<int16_t> frames = Signal(8000, 1, 8000);
    LDialogicAdpcm encoder, decoder;
    int64_t nSum = 0;
    for (auto _ : state) {
        for (int16_t s : frames)
            nSum += decoder.DecodeNibble(encoder.EncodeSample(s * 16));
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames.size()));
}
BENCHMARK(BM_DialogicRoundTrip);

int RegisterAll()
{
    for (const LCodecEntry& entry : LCodecTable::Entries()) {
        for (auto [rate, nChannels] : { std::pair<uint32_t, uint16_t> { 8000, 1 }, { 44100, 2 } }) {
            const std::string suffix
                = std::string(entry.szName) + "/" + std::to_string(rate) + "/" + std::to_string(nChannels) + "ch";
            benchmark::RegisterBenchmark(("Decode/" + suffix).c_str(), BM_Decode, entry.wFormatTag, rate, nChannels);
            benchmark::RegisterBenchmark(("Encode/" + suffix).c_str(), BM_Encode, entry.wFormatTag, rate, nChannels);
        }
    }
    return 0;
}
const int kRegistered = RegisterAll();

} // namespace

BENCHMARK_MAIN();
