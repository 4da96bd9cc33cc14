#include "platform/LAgeSealer.h"

#include "platform/LAgeHeader.h"

#include <openssl/crypto.h>

#include <string_view>

namespace {

constexpr std::string_view kX25519Info = "age-encryption.org/v1/X25519";

bool WrapFor(const LAgeKey32& recipient, const uint8_t* pFileKey, LAgeStanza* pStanza)
{
    LAgeKey32 ephemeral;
    LAgeKey32 share;
    LAgeKey32 shared;
    LAgeKey32 wrapKey;
    uint8_t salt[64];
    if (!LAgeCrypto::Random(ephemeral.data(), ephemeral.size()) || !LAgeCrypto::X25519Public(ephemeral, &share)
        || !LAgeCrypto::X25519Shared(ephemeral, recipient, &shared))
        return false;
    std::copy(share.begin(), share.end(), salt);
    std::copy(recipient.begin(), recipient.end(), salt + 32);
    const uint8_t nonce[12] = {};
    pStanza->type = "X25519";
    pStanza->args = { LAgeCrypto::Base64Encode(share.data(), share.size()) };
    pStanza->body.resize(16 + LAgeCrypto::kTagBytes);
    const bool bOk = LAgeCrypto::Hkdf(shared.data(), shared.size(), salt, sizeof salt, kX25519Info, wrapKey.data(), 32)
        && LAgeCrypto::Seal(wrapKey, nonce, pFileKey, 16, pStanza->body.data());
    OPENSSL_cleanse(ephemeral.data(), ephemeral.size());
    OPENSSL_cleanse(shared.data(), shared.size());
    OPENSSL_cleanse(wrapKey.data(), wrapKey.size());
    return bOk;
}

} // namespace

bool LAgeSealer::Begin(const std::vector<LAgeKey32>& recipients, std::vector<uint8_t>* pOut)
{
    m_bOk = false;
    m_uCounter = 0;
    m_pending.clear();
    uint8_t fileKey[16];
    uint8_t nonce[16];
    if (recipients.empty() || !LAgeCrypto::Random(fileKey, sizeof fileKey) || !LAgeCrypto::Random(nonce, sizeof nonce))
        return false;
    std::vector<LAgeStanza> stanzas(recipients.size());
    bool bOk = true;
    for (size_t i = 0; bOk && i < recipients.size(); ++i)
        bOk = WrapFor(recipients[i], fileKey, &stanzas[i]);
    LAgeKey32 macKey;
    LAgeKey32 mac;
    const std::string head = LAgeHeader::WriteUntilMac(stanzas);
    bOk = bOk && LAgeCrypto::Hkdf(fileKey, sizeof fileKey, nullptr, 0, "header", macKey.data(), 32)
        && LAgeCrypto::HmacSha256(macKey, head.data(), head.size(), &mac)
        && LAgeCrypto::Hkdf(fileKey, sizeof fileKey, nonce, sizeof nonce, "payload", m_payloadKey.data(), 32);
    OPENSSL_cleanse(fileKey, sizeof fileKey);
    OPENSSL_cleanse(macKey.data(), macKey.size());
    if (!bOk)
        return false;
    const std::string text = head + LAgeHeader::WriteMacLine(mac.data(), mac.size());
    pOut->insert(pOut->end(), text.begin(), text.end());
    pOut->insert(pOut->end(), nonce, nonce + sizeof nonce);
    m_pending.reserve(kChunkBytes);
    m_bOk = true;
    return true;
}

bool LAgeSealer::SealChunk(bool bLast, std::vector<uint8_t>* pOut)
{
    uint8_t nonce[12] = {};
    for (int i = 0; i < 8; ++i)
        nonce[10 - i] = static_cast<uint8_t>(m_uCounter >> (8 * i));
    nonce[11] = bLast ? 1 : 0;
    const size_t at = pOut->size();
    pOut->resize(at + m_pending.size() + LAgeCrypto::kTagBytes);
    m_bOk = LAgeCrypto::Seal(m_payloadKey, nonce, m_pending.data(), m_pending.size(), pOut->data() + at);
    ++m_uCounter;
    m_pending.clear();
    return m_bOk;
}

bool LAgeSealer::Write(const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut)
{
    while (m_bOk && nData > 0) {
        // A full chunk is sealed only once more data shows it is not the last.
        if (m_pending.size() == kChunkBytes && !SealChunk(false, pOut))
            break;
        const size_t n = std::min(nData, kChunkBytes - m_pending.size());
        m_pending.insert(m_pending.end(), pData, pData + n);
        pData += n;
        nData -= n;
    }
    return m_bOk;
}

bool LAgeSealer::Finish(std::vector<uint8_t>* pOut)
{
    const bool bOk = m_bOk && SealChunk(true, pOut);
    OPENSSL_cleanse(m_payloadKey.data(), m_payloadKey.size());
    m_bOk = false;
    return bOk;
}
