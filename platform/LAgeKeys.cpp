#include "platform/LAgeKeys.h"

namespace {

const char kCharset[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

uint32_t Polymod(const std::vector<uint8_t>& values)
{
    static const uint32_t kGen[5] = { 0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3 };
    uint32_t chk = 1;
    for (uint8_t v : values) {
        const uint32_t top = chk >> 25;
        chk = ((chk & 0x1ffffff) << 5) ^ v;
        for (int i = 0; i < 5; ++i)
            if ((top >> i) & 1)
                chk ^= kGen[i];
    }
    return chk;
}

std::vector<uint8_t> HrpExpand(std::string_view hrp)
{
    std::vector<uint8_t> out;
    for (char c : hrp)
        out.push_back(static_cast<uint8_t>(c) >> 5);
    out.push_back(0);
    for (char c : hrp)
        out.push_back(static_cast<uint8_t>(c) & 31);
    return out;
}

// Regroups bits; with bPad false, leftover bits must be fewer than a group
// and zero, so one key has one text.
bool ConvertBits(const uint8_t* pIn, size_t nIn, int fromBits, int toBits, bool bPad, std::vector<uint8_t>* pOut)
{
    uint32_t acc = 0;
    int nBits = 0;
    const uint32_t maxv = (1u << toBits) - 1;
    for (size_t i = 0; i < nIn; ++i) {
        if (pIn[i] >> fromBits)
            return false;
        acc = (acc << fromBits) | pIn[i];
        nBits += fromBits;
        while (nBits >= toBits) {
            nBits -= toBits;
            pOut->push_back(static_cast<uint8_t>((acc >> nBits) & maxv));
        }
    }
    if (bPad) {
        if (nBits > 0)
            pOut->push_back(static_cast<uint8_t>((acc << (toBits - nBits)) & maxv));
        return true;
    }
    return nBits < fromBits && ((acc << (toBits - nBits)) & maxv) == 0;
}

std::optional<LAgeKey32> ParseKey(std::string_view text, std::string_view hrp)
{
    std::string gotHrp;
    std::vector<uint8_t> data;
    if (!LAgeKeys::Bech32Decode(text, &gotHrp, &data) || gotHrp != hrp || data.size() != 32)
        return std::nullopt;
    LAgeKey32 key;
    std::copy(data.begin(), data.end(), key.begin());
    return key;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

std::string LAgeKeys::Bech32Encode(std::string_view hrp, const uint8_t* pData, size_t nData)
{
    std::vector<uint8_t> values;
    ConvertBits(pData, nData, 8, 5, true, &values);
    std::vector<uint8_t> check = HrpExpand(hrp);
    check.insert(check.end(), values.begin(), values.end());
    check.insert(check.end(), 6, 0);
    const uint32_t mod = Polymod(check) ^ 1;
    for (int i = 0; i < 6; ++i)
        values.push_back(static_cast<uint8_t>((mod >> (5 * (5 - i))) & 31));
    std::string text(hrp);
    text += '1';
    for (uint8_t v : values)
        text += kCharset[v];
    return text;
}

bool LAgeKeys::Bech32Decode(std::string_view text, std::string* pHrp, std::vector<uint8_t>* pData)
{
    bool bLower = false;
    bool bUpper = false;
    for (char c : text) {
        if (c < 33 || c > 126)
            return false;
        bLower |= c >= 'a' && c <= 'z';
        bUpper |= c >= 'A' && c <= 'Z';
    }
    const size_t sep = text.rfind('1');
    if ((bLower && bUpper) || sep == std::string_view::npos || sep == 0 || sep + 7 > text.size())
        return false;
    std::string hrp;
    for (char c : text.substr(0, sep))
        hrp += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    std::vector<uint8_t> values;
    for (char c : text.substr(sep + 1)) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        const char* p = std::char_traits<char>::find(kCharset, 32, c);
        if (!p)
            return false;
        values.push_back(static_cast<uint8_t>(p - kCharset));
    }
    std::vector<uint8_t> check = HrpExpand(hrp);
    check.insert(check.end(), values.begin(), values.end());
    if (Polymod(check) != 1)
        return false;
    values.resize(values.size() - 6);
    std::vector<uint8_t> data;
    if (!ConvertBits(values.data(), values.size(), 5, 8, false, &data))
        return false;
    *pHrp = std::move(hrp);
    *pData = std::move(data);
    return true;
}

std::optional<LAgeKey32> LAgeKeys::ParseRecipient(std::string_view text)
{
    // Recipients are written in lower case only.
    for (char c : text)
        if (c >= 'A' && c <= 'Z')
            return std::nullopt;
    return ParseKey(text, "age");
}

std::optional<LAgeKey32> LAgeKeys::ParseIdentity(std::string_view text)
{
    for (char c : text)
        if (c >= 'a' && c <= 'z')
            return std::nullopt;
    return ParseKey(text, "age-secret-key-");
}

std::string LAgeKeys::RecipientText(const LAgeKey32& publicKey)
{
    return Bech32Encode("age", publicKey.data(), publicKey.size());
}

std::string LAgeKeys::IdentityText(const LAgeKey32& secret)
{
    return Upper(Bech32Encode("age-secret-key-", secret.data(), secret.size()));
}

std::optional<LAgeKey32> LAgeKeys::PublicOf(const LAgeKey32& secret)
{
    LAgeKey32 pub;
    if (!LAgeCrypto::X25519Public(secret, &pub))
        return std::nullopt;
    return pub;
}

std::optional<LAgeKey32> LAgeKeys::Generate()
{
    LAgeKey32 secret;
    if (!LAgeCrypto::Random(secret.data(), secret.size()))
        return std::nullopt;
    return secret;
}

std::optional<std::vector<LAgeKey32>> LAgeKeys::ParseIdentityFile(std::string_view text)
{
    std::vector<LAgeKey32> keys;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::optional<LAgeKey32> key = ParseIdentity(line);
        if (!key)
            return std::nullopt;
        keys.push_back(*key);
    }
    if (keys.empty())
        return std::nullopt;
    return keys;
}

std::string LAgeKeys::IdentityFileText(const LAgeKey32& secret, const std::string& createdText)
{
    const std::optional<LAgeKey32> pub = PublicOf(secret);
    if (!pub)
        return {};
    return "# created: " + createdText + "\n# public key: " + RecipientText(*pub) + "\n" + IdentityText(secret) + "\n";
}
