// Keys of the age format as people copy them: "age1..." recipients and
// "AGE-SECRET-KEY-1..." identities (Bech32), and the identity file that
// age-keygen writes. Pure functions on text; any thread.
#pragma once

#include "platform/LAgeCrypto.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class LAgeKeys {
public:
    // A recipient is an X25519 public key, an identity its secret scalar.
    static std::optional<LAgeKey32> ParseRecipient(std::string_view text);
    static std::optional<LAgeKey32> ParseIdentity(std::string_view text);
    static std::string RecipientText(const LAgeKey32& publicKey);
    static std::string IdentityText(const LAgeKey32& secret);
    static std::optional<LAgeKey32> PublicOf(const LAgeKey32& secret);
    static std::optional<LAgeKey32> Generate();

    // An identity file: one identity per line; blank lines and lines
    // starting with '#' are skipped. Null when any other line is not an
    // identity, or when none is found.
    static std::optional<std::vector<LAgeKey32>> ParseIdentityFile(std::string_view text);
    // The file as age-keygen writes it: created time, public key, identity.
    // createdText is the RFC 3339 time of creation.
    static std::string IdentityFileText(const LAgeKey32& secret, const std::string& createdText);

    // Bech32 (BIP 173 checksum, no length limit, one case only), exposed for
    // its tests; the human-readable part comes back in lower case.
    static std::string Bech32Encode(std::string_view hrp, const uint8_t* pData, size_t nData);
    static bool Bech32Decode(std::string_view text, std::string* pHrp, std::vector<uint8_t>* pData);
};
