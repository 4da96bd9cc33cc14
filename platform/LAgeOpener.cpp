#include "platform/LAgeOpener.h"

#include "platform/LAgeHeader.h"
#include "platform/LAgeSealer.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <string_view>

namespace {

constexpr size_t kSealedChunk = LAgeSealer::kChunkBytes + LAgeCrypto::kTagBytes;
constexpr std::string_view kX25519Info = "age-encryption.org/v1/X25519";

void ChunkNonce(uint64_t uCounter, bool bLast, uint8_t* pNonce)
{
    std::fill(pNonce, pNonce + 12, 0);
    for (int i = 0; i < 8; ++i)
        pNonce[10 - i] = static_cast<uint8_t>(uCounter >> (8 * i));
    pNonce[11] = bLast ? 1 : 0;
}

enum class Unwrap { Ok, NotMine, Bad };

bool IsWellFormedX25519(const LAgeStanza& stanza)
{
    std::optional<std::vector<uint8_t>> share;
    return stanza.args.size() == 1 && (share = LAgeCrypto::Base64Decode(stanza.args[0])) && share->size() == 32
        && stanza.body.size() == 16 + LAgeCrypto::kTagBytes;
}

Unwrap UnwrapX25519(const LAgeStanza& stanza, const LAgeKey32& identity, uint8_t* pFileKey)
{
    const std::optional<std::vector<uint8_t>> share = LAgeCrypto::Base64Decode(stanza.args[0]);
    LAgeKey32 peer;
    std::copy(share->begin(), share->end(), peer.begin());
    LAgeKey32 shared;
    LAgeKey32 ours;
    LAgeKey32 wrapKey;
    // A share of low order gives no secret: the file is malformed, not merely someone else's.
    if (!LAgeCrypto::X25519Public(identity, &ours) || !LAgeCrypto::X25519Shared(identity, peer, &shared))
        return Unwrap::Bad;
    uint8_t salt[64];
    std::copy(peer.begin(), peer.end(), salt);
    std::copy(ours.begin(), ours.end(), salt + 32);
    const uint8_t nonce[12] = {};
    const bool bOk = LAgeCrypto::Hkdf(shared.data(), shared.size(), salt, sizeof salt, kX25519Info, wrapKey.data(), 32)
        && LAgeCrypto::Open(wrapKey, nonce, stanza.body.data(), stanza.body.size(), pFileKey);
    OPENSSL_cleanse(shared.data(), shared.size());
    OPENSSL_cleanse(wrapKey.data(), wrapKey.size());
    return bOk ? Unwrap::Ok : Unwrap::NotMine;
}

} // namespace

LAgeOpener::LAgeOpener(std::vector<LAgeKey32> identities)
    : m_identities(std::move(identities))
{
}

LAgeOpener::~LAgeOpener()
{
    for (LAgeKey32& key : m_identities)
        OPENSSL_cleanse(key.data(), key.size());
    OPENSSL_cleanse(m_fileKeyAndPad.data(), m_fileKeyAndPad.size());
    OPENSSL_cleanse(m_payloadKey.data(), m_payloadKey.size());
}

LAgeOpener::Result LAgeOpener::Fail(Result result)
{
    m_error = result;
    m_buffer.clear();
    m_uStart = 0;
    m_stage = Stage::Done;
    return result;
}

LAgeOpener::Result LAgeOpener::ReadHeader(bool bEnded)
{
    std::vector<LAgeStanza> stanzas;
    std::vector<uint8_t> mac;
    size_t macOffset = 0;
    size_t headerBytes = 0;
    switch (LAgeHeader::Read(m_buffer.data(), m_buffer.size(), &stanzas, &mac, &macOffset, &headerBytes)) {
    case LAgeHeader::Parse::NeedMore:
        if (!bEnded)
            return Result::Ok;
        return Fail(m_buffer.empty() ? Result::NotAge : Result::Truncated);
    case LAgeHeader::Parse::NotAge:
        return Fail(Result::NotAge);
    case LAgeHeader::Parse::Bad:
        return Fail(Result::BadHeader);
    case LAgeHeader::Parse::Ok:
        break;
    }
    // Every X25519 stanza must be well formed, ours or not; other kinds are
    // for other identities and are passed over.
    for (const LAgeStanza& stanza : stanzas)
        if (stanza.type == "X25519" && !IsWellFormedX25519(stanza))
            return Fail(Result::BadHeader);
    bool bFound = false;
    uint8_t* pFileKey = m_fileKeyAndPad.data();
    for (size_t i = 0; !bFound && i < stanzas.size(); ++i) {
        if (stanzas[i].type != "X25519")
            continue;
        for (size_t k = 0; !bFound && k < m_identities.size(); ++k) {
            const Unwrap result = UnwrapX25519(stanzas[i], m_identities[k], pFileKey);
            if (result == Unwrap::Bad)
                return Fail(Result::BadHeader);
            bFound = result == Unwrap::Ok;
        }
    }
    if (!bFound)
        return Fail(Result::NoMatch);
    LAgeKey32 macKey;
    LAgeKey32 expected;
    const bool bMac = LAgeCrypto::Hkdf(pFileKey, 16, nullptr, 0, "header", macKey.data(), 32)
        && LAgeCrypto::HmacSha256(macKey, m_buffer.data(), macOffset, &expected)
        && CRYPTO_memcmp(expected.data(), mac.data(), 32) == 0;
    OPENSSL_cleanse(macKey.data(), macKey.size());
    if (!bMac)
        return Fail(Result::HeaderChanged);
    m_uStart = headerBytes;
    m_stage = Stage::Nonce;
    return Result::Ok;
}

bool LAgeOpener::OpenChunk(const uint8_t* pChunk, size_t nChunk, bool bLast, std::vector<uint8_t>* pOut)
{
    if (nChunk < LAgeCrypto::kTagBytes)
        return false;
    uint8_t nonce[12];
    ChunkNonce(m_uCounter, bLast, nonce);
    const size_t at = pOut->size();
    pOut->resize(at + nChunk - LAgeCrypto::kTagBytes);
    if (!LAgeCrypto::Open(m_payloadKey, nonce, pChunk, nChunk, pOut->data() + at)) {
        pOut->resize(at);
        return false;
    }
    ++m_uCounter;
    return true;
}

LAgeOpener::Result LAgeOpener::Feed(const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut)
{
    if (m_stage == Stage::Done)
        return m_error;
    // Drop what was used before growing, so the buffer stays near one chunk.
    if (m_uStart > 0 && m_uStart >= m_buffer.size() / 2) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_uStart));
        m_uStart = 0;
    }
    m_buffer.insert(m_buffer.end(), pData, pData + nData);
    // The header is read again only when a line was completed, so arriving
    // in small pieces costs no more than arriving whole.
    const bool bNewLine = std::find(pData, pData + nData, '\n') != pData + nData;
    if (m_stage == Stage::Header && (bNewLine || m_buffer.size() >= LAgeHeader::kMaxBytes)
        && ReadHeader(false) != Result::Ok)
        return m_error;
    if (m_stage == Stage::Nonce && m_buffer.size() - m_uStart >= 16) {
        const uint8_t* pNonce = m_buffer.data() + m_uStart;
        if (!LAgeCrypto::Hkdf(m_fileKeyAndPad.data(), 16, pNonce, 16, "payload", m_payloadKey.data(), 32))
            return Fail(Result::PayloadChanged);
        m_uStart += 16;
        m_stage = Stage::Payload;
    }
    // A full chunk is opened as one of the middle at once; if that fails it
    // may be the last, which only the end of the input can tell.
    while (m_stage == Stage::Payload && m_buffer.size() - m_uStart >= kSealedChunk) {
        const uint8_t* pChunk = m_buffer.data() + m_uStart;
        if (!m_bFullTried && OpenChunk(pChunk, kSealedChunk, false, pOut)) {
            m_uStart += kSealedChunk;
            continue;
        }
        m_bFullTried = true;
        if (m_buffer.size() - m_uStart == kSealedChunk)
            break;
        // Bytes after a last chunk: what it held is handed on, as any
        // verified chunk is, and the file refused.
        OpenChunk(pChunk, kSealedChunk, true, pOut);
        return Fail(Result::PayloadChanged);
    }
    return Result::Ok;
}

LAgeOpener::Result LAgeOpener::Finish(std::vector<uint8_t>* pOut)
{
    if (m_stage == Stage::Header)
        ReadHeader(true);
    if (m_stage == Stage::Done)
        return m_error;
    if (m_stage == Stage::Nonce)
        return Fail(Result::Truncated);
    const uint8_t* pChunk = m_buffer.data() + m_uStart;
    const size_t nChunk = m_buffer.size() - m_uStart;
    const size_t before = pOut->size();
    // Nothing after a chunk of the middle: the file was cut at a chunk's end.
    if (nChunk == 0)
        return Fail(Result::Truncated);
    if (!OpenChunk(pChunk, nChunk, true, pOut))
        return Fail(Result::PayloadChanged);
    // Only a file with nothing in it may end with an empty chunk.
    if (pOut->size() == before && m_uCounter > 1)
        return Fail(Result::PayloadChanged);
    m_stage = Stage::Done;
    m_buffer.clear();
    return m_error = Result::Ok;
}
