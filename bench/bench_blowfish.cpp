// Blowfish throughput of the DCT cipher against OpenSSL's (legacy provider),
// both in ECB mode over the same 1 MiB buffer; the ratio of the two rates is
// the figure that matters. Key set-up is measured apart, once per file sent.
#include "send/LBlowFish.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <vector>

namespace {

constexpr size_t kBytes = 1 << 20;
const char kKey[] = "typist's key 16b";

void BM_OursEncrypt(benchmark::State& state)
{
    LBlowFish bf;
    bf.SetKey(kKey);
    std::vector<uint8_t> data(kBytes, 0x5A);
    for (auto _ : state) {
        bf.Encrypt(data.data(), data.size());
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}
BENCHMARK(BM_OursEncrypt);

void BM_OpenSslEncrypt(benchmark::State& state)
{
    static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(nullptr, "default");
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "BF-ECB", nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!legacy || !deflt || !cipher || !ctx
        || !EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const uint8_t*>(kKey), nullptr)) {
        state.SkipWithError("OpenSSL's Blowfish (legacy provider) is not available");
        return;
    }
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::vector<uint8_t> data(kBytes, 0x5A);
    std::vector<uint8_t> out(kBytes + 8);
    for (auto _ : state) {
        int n = 0;
        EVP_EncryptUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
}
BENCHMARK(BM_OpenSslEncrypt);

void BM_OursSetKey(benchmark::State& state)
{
    for (auto _ : state) {
        LBlowFish bf;
        bf.SetKey(kKey);
        benchmark::DoNotOptimize(&bf);
    }
}
BENCHMARK(BM_OursSetKey);

} // namespace

BENCHMARK_MAIN();
