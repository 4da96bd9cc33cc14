// LBlowFish judged by OpenSSL's Blowfish (legacy provider) on random keys of every length and random data. OpenSSL
// reads each half of a block big-endian, the DCT format little-endian, so the test swaps each word's bytes on OpenSSL's
// side.
#include "send/LBlowFish.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <random>

namespace {

// OpenSSL's Blowfish in ECB mode over the data with each word's bytes reversed.
std::vector<uint8_t> OpenSslEncrypt(OSSL_LIB_CTX* lib, const std::string& key, std::vector<uint8_t> data)
{
    auto swapWords = [](std::vector<uint8_t>& v) {
        for (size_t i = 0; i + 3 < v.size(); i += 4)
            std::swap(v[i], v[i + 3]), std::swap(v[i + 1], v[i + 2]);
    };
    swapWords(data);
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(lib, "BF-ECB", nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<uint8_t> out(data.size() + 8);
    int nOut = 0;
    EXPECT_TRUE(cipher && ctx && EVP_EncryptInit_ex(ctx, cipher, nullptr, nullptr, nullptr)
        && EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size()))
        && EVP_EncryptInit_ex(ctx, nullptr, nullptr, reinterpret_cast<const uint8_t*>(key.data()), nullptr)
        && EVP_CIPHER_CTX_set_padding(ctx, 0)
        && EVP_EncryptUpdate(ctx, out.data(), &nOut, data.data(), static_cast<int>(data.size())))
        << "OpenSSL's Blowfish is not available (legacy provider)";
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    out.resize(static_cast<size_t>(nOut));
    swapWords(out);
    return out;
}

TEST(BlowFish, MatchesOpenSslOnRandomKeysOfOneTo72Bytes)
{
    // A library context of the test's own: loading the legacy provider into
    // the default one would stop OpenSSL loading its default provider by
    // itself, and TLS tests later in this process need that.
    OSSL_LIB_CTX* lib = OSSL_LIB_CTX_new();
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(lib, "legacy");
    OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(lib, "default");
    ASSERT_TRUE(legacy) << "OpenSSL's legacy provider is not installed";
    const uint32_t seed = 20261207;
    std::mt19937 rng(seed);
    for (size_t nKey = 1; nKey <= 72; ++nKey) {
        std::string key(nKey, '\0');
        for (char& c : key)
            c = static_cast<char>(rng());
        std::vector<uint8_t> data(8 * (1 + rng() % 64));
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(rng());
        std::vector<uint8_t> ours = data;
        LBlowFish bf;
        bf.SetKey(key);
        bf.Encrypt(ours.data(), ours.size());
        ASSERT_EQ(ours, OpenSslEncrypt(lib, key, data)) << "key length " << nKey << ", seed " << seed;
        bf.Decrypt(ours.data(), ours.size());
        ASSERT_EQ(ours, data) << "key length " << nKey << ", seed " << seed;
    }
    OSSL_PROVIDER_unload(deflt);
    OSSL_PROVIDER_unload(legacy);
    OSSL_LIB_CTX_free(lib);
}

} // namespace
