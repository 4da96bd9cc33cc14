// The primitives of the age format (X25519, HKDF-SHA256, HMAC-SHA256,
// ChaCha20-Poly1305, canonical unpadded Base64), all done by OpenSSL's EVP,
// so the sealer, opener and keys share one careful use of the library. Any
// thread; nothing is kept between calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using LAgeKey32 = std::array<uint8_t, 32>;

class LAgeCrypto {
public:
    static bool Random(void* pOut, size_t nBytes);
    // The public share of a secret scalar.
    static bool X25519Public(const LAgeKey32& secret, LAgeKey32* pPublic);
    // False for a peer of low order (an all-zero result), as the format demands.
    static bool X25519Shared(const LAgeKey32& secret, const LAgeKey32& peer, LAgeKey32* pShared);
    static bool Hkdf(const void* pKey, size_t nKey, const void* pSalt, size_t nSalt, std::string_view info,
        uint8_t* pOut, size_t nOut);
    static bool HmacSha256(const LAgeKey32& key, const void* pData, size_t nData, LAgeKey32* pMac);
    // Seals or opens one message with a 12-byte nonce; the tag is the last 16
    // bytes of the sealed form. Open fails on any changed byte.
    static bool Seal(
        const LAgeKey32& key, const uint8_t* pNonce, const uint8_t* pPlain, size_t nPlain, uint8_t* pSealed);
    static bool Open(
        const LAgeKey32& key, const uint8_t* pNonce, const uint8_t* pSealed, size_t nSealed, uint8_t* pPlain);

    // Standard alphabet without padding; Decode refuses anything that Encode
    // would not give back byte for byte.
    static std::string Base64Encode(const uint8_t* pData, size_t nData);
    static std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

    static constexpr size_t kTagBytes = 16;
};
