// LBlowFish judged by the published electronic-codebook vectors of Eric Young's set and by OpenSSL's
// Blowfish (legacy provider) on random keys of every length and random data. OpenSSL reads each half of a
// block big-endian, the DCT format little-endian, so the test swaps each word's bytes on OpenSSL's side.
#include "send/LBlowFish.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <random>
#include <sstream>

namespace {

// Big-endian hex as the vectors print it.
uint64_t Hex(const std::string& hex)
{
    return std::stoull(hex, nullptr, 16);
}

void ExpectVector(const std::string& key, uint64_t plain, uint64_t cipher)
{
    std::string k;
    for (size_t i = 0; i < key.size(); i += 2)
        k += static_cast<char>(Hex(key.substr(i, 2)));
    LBlowFish bf;
    bf.SetKey(k);
    uint32_t l = static_cast<uint32_t>(plain >> 32), r = static_cast<uint32_t>(plain);
    bf.EncryptBlock(&l, &r);
    EXPECT_EQ((uint64_t { l } << 32) | r, cipher) << "key " << key << " plain " << std::hex << plain;
    bf.DecryptBlock(&l, &r);
    EXPECT_EQ((uint64_t { l } << 32) | r, plain) << "key " << key;
}

TEST(BlowFish, PublishedVectors)
{
    // Electronic-codebook vectors: key, plain text, cipher text.
    std::istringstream ecb("0000000000000000 0000000000000000 4EF997456198DD78 FFFFFFFFFFFFFFFF FFFFFFFFFFFFFFFF "
                           "51866FD5B85ECB8A 3000000000000000 1000000000000001 7D856F9A613063F2 1111111111111111 "
                           "1111111111111111 2466DD878B963C9D 0123456789ABCDEF 1111111111111111 61F9C3802281B096 "
                           "1111111111111111 0123456789ABCDEF 7D0CC630AFDA1EC7 FEDCBA9876543210 0123456789ABCDEF "
                           "0ACEAB0FC6A0A28D 7CA110454A1A6E57 01A1D6D039776742 59C68245EB05282B 0131D9619DC1376E "
                           "5CD54CA83DEF57DA B1B8CC0B250F09A0 07A1133E4A0B2686 0248D43806F67172 1730E5778BEA1DA4 "
                           "3849674C2602319E 51454B582DDF440A A25E7856CF2651EB 04B915BA43FEB5B6 42FD443059577FA2 "
                           "353882B109CE8F1A 0113B970FD34F2CE 059B5E0851CF143A 48F4D0884C379918 0170F175468FB5E6 "
                           "0756D8E0774761D2 432193B78951FC98 43297FAD38E373FE 762514B829BF486A 13F04154D69D1AE5 "
                           "07A7137045DA2A16 3BDD119049372802 2EEDDA93FFD39C79 04689104C2FD3B2F 26955F6835AF609A "
                           "D887E0393C2DA6E3 37D06BB516CB7546 164D5E404F275232 5F99D04F5B163969 1F08260D1AC2465E "
                           "6B056E18759F5CCA 4A057A3B24D3977B 584023641ABA6176 004BD6EF09176062 452031C1E4FADA8E "
                           "025816164629B007 480D39006EE762F2 7555AE39F59B87BD 49793EBC79B3258F 437540C8698F3CFA "
                           "53C55F9CB49FC019 4FB05E1515AB73A7 072D43A077075292 7A8E7BFA937E89A3 49E95D6D4CA229BF "
                           "02FE55778117F12A CF9C5D7A4986ADB5 018310DC409B26D6 1D9D5C5018F728C2 D1ABB290658BC778 "
                           "1C587F1C13924FEF 305532286D6F295A 55CB3774D13EF201 0101010101010101 0123456789ABCDEF "
                           "FA34EC4847B268B2 1F1F1F1F0E0E0E0E 0123456789ABCDEF A790795108EA3CAE E0FEE0FEF1FEF1FE "
                           "0123456789ABCDEF C39E072D9FAC631D 0000000000000000 FFFFFFFFFFFFFFFF 014933E0CDAFF6E4 "
                           "FFFFFFFFFFFFFFFF 0000000000000000 F21E9A77B71C49BC 0123456789ABCDEF 0000000000000000 "
                           "245946885754369A FEDCBA9876543210 FFFFFFFFFFFFFFFF 6B5C5A9C5D9E0A5A");
    int nVectors = 0;
    for (std::string key, plain, cipher; ecb >> key >> plain >> cipher; ++nVectors)
        ExpectVector(key, Hex(plain), Hex(cipher));
    EXPECT_EQ(nVectors, 33);
}

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
