#include "platform/LAgeCrypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <memory>

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool CipherRun(bool bEncrypt, const LAgeKey32& key, const uint8_t* pNonce, const uint8_t* pIn, size_t nIn,
    uint8_t* pOut, uint8_t* pTag)
{
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx || nIn > 0x7FFFFFFF)
        return false;
    if (EVP_CipherInit_ex(ctx.get(), EVP_chacha20_poly1305(), nullptr, key.data(), pNonce, bEncrypt ? 1 : 0) != 1)
        return false;
    if (!bEncrypt && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, 16, pTag) != 1)
        return false;
    int nOut = 0;
    if (nIn > 0 && EVP_CipherUpdate(ctx.get(), pOut, &nOut, pIn, static_cast<int>(nIn)) != 1)
        return false;
    int nFinal = 0;
    if (EVP_CipherFinal_ex(ctx.get(), pOut + nOut, &nFinal) != 1)
        return false;
    return !bEncrypt || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, 16, pTag) == 1;
}

} // namespace

bool LAgeCrypto::Random(void* pOut, size_t nBytes)
{
    return nBytes <= 0x7FFFFFFF && RAND_bytes(static_cast<unsigned char*>(pOut), static_cast<int>(nBytes)) == 1;
}

bool LAgeCrypto::X25519Public(const LAgeKey32& secret, LAgeKey32* pPublic)
{
    PkeyPtr key(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, secret.data(), secret.size()));
    size_t n = pPublic->size();
    return key && EVP_PKEY_get_raw_public_key(key.get(), pPublic->data(), &n) == 1 && n == 32;
}

bool LAgeCrypto::X25519Shared(const LAgeKey32& secret, const LAgeKey32& peer, LAgeKey32* pShared)
{
    PkeyPtr mine(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, secret.data(), secret.size()));
    PkeyPtr theirs(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peer.data(), peer.size()));
    if (!mine || !theirs)
        return false;
    PkeyCtxPtr ctx(EVP_PKEY_CTX_new(mine.get(), nullptr));
    size_t n = pShared->size();
    if (!ctx || EVP_PKEY_derive_init(ctx.get()) != 1 || EVP_PKEY_derive_set_peer(ctx.get(), theirs.get()) != 1
        || EVP_PKEY_derive(ctx.get(), pShared->data(), &n) != 1 || n != 32)
        return false;
    static const LAgeKey32 kZero {};
    return CRYPTO_memcmp(pShared->data(), kZero.data(), 32) != 0;
}

bool LAgeCrypto::Hkdf(
    const void* pKey, size_t nKey, const void* pSalt, size_t nSalt, std::string_view info, uint8_t* pOut, size_t nOut)
{
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    EVP_KDF_CTX* ctx = kdf ? EVP_KDF_CTX_new(kdf) : nullptr;
    EVP_KDF_free(kdf);
    if (!ctx)
        return false;
    char digest[] = "SHA256";
    OSSL_PARAM params[5];
    size_t i = 0;
    params[i++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
    params[i++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<void*>(pKey), nKey);
    // An empty salt stands for HashLen zeros, which OpenSSL applies when none is given.
    if (nSalt > 0)
        params[i++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<void*>(pSalt), nSalt);
    params[i++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(info.data()), info.size());
    params[i] = OSSL_PARAM_construct_end();
    const bool bOk = EVP_KDF_derive(ctx, pOut, nOut, params) == 1;
    EVP_KDF_CTX_free(ctx);
    return bOk;
}

bool LAgeCrypto::HmacSha256(const LAgeKey32& key, const void* pData, size_t nData, LAgeKey32* pMac)
{
    unsigned int n = 0;
    return HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), static_cast<const unsigned char*>(pData), nData,
               pMac->data(), &n)
        && n == 32;
}

bool LAgeCrypto::Seal(
    const LAgeKey32& key, const uint8_t* pNonce, const uint8_t* pPlain, size_t nPlain, uint8_t* pSealed)
{
    return CipherRun(true, key, pNonce, pPlain, nPlain, pSealed, pSealed + nPlain);
}

bool LAgeCrypto::Open(
    const LAgeKey32& key, const uint8_t* pNonce, const uint8_t* pSealed, size_t nSealed, uint8_t* pPlain)
{
    if (nSealed < kTagBytes)
        return false;
    uint8_t tag[kTagBytes];
    std::copy(pSealed + nSealed - kTagBytes, pSealed + nSealed, tag);
    return CipherRun(false, key, pNonce, pSealed, nSealed - kTagBytes, pPlain, tag);
}

std::string LAgeCrypto::Base64Encode(const uint8_t* pData, size_t nData)
{
    std::string text;
    text.reserve((nData * 4 + 2) / 3);
    size_t i = 0;
    for (; i + 3 <= nData; i += 3) {
        const uint32_t v = (pData[i] << 16) | (pData[i + 1] << 8) | pData[i + 2];
        for (int s = 18; s >= 0; s -= 6)
            text += kAlphabet[(v >> s) & 63];
    }
    if (nData - i == 1) {
        const uint32_t v = pData[i] << 16;
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
    } else if (nData - i == 2) {
        const uint32_t v = (pData[i] << 16) | (pData[i + 1] << 8);
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
        text += kAlphabet[(v >> 6) & 63];
    }
    return text;
}

std::optional<std::vector<uint8_t>> LAgeCrypto::Base64Decode(std::string_view text)
{
    if (text.size() % 4 == 1)
        return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() * 3 / 4);
    uint32_t acc = 0;
    int nBits = 0;
    for (char c : text) {
        const int v = Base64Value(c);
        if (v < 0)
            return std::nullopt;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        nBits += 6;
        if (nBits >= 8) {
            nBits -= 8;
            out.push_back(static_cast<uint8_t>(acc >> nBits));
        }
    }
    // Bits left over must be zero, or two texts would decode alike.
    if ((acc & ((1u << nBits) - 1)) != 0)
        return std::nullopt;
    return out;
}
