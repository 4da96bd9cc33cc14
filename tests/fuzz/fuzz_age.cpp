// Fuzz target of the age readers: the header parser, the recipient and
// identity parsers and the streaming opener. Whatever parses must write back
// byte for byte (one text per key, one header per stanza list), and the
// opener must reach the same verdict and plaintext however the bytes arrive.
#include "platform/LAgeHeader.h"
#include "platform/LAgeKeys.h"
#include "platform/LAgeOpener.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The identity of the published vectors, so seeds sealed to it reach the payload.
const char kIdentity[] = "AGE-SECRET-KEY-1EGTZVFFV20835NWYV6270LXYVK2VKNX2MMDKWYKLMGR48UAWX40Q2P2LM0";

LAgeOpener::Result OpenInPieces(const uint8_t* pData, size_t nSize, size_t piece, std::vector<uint8_t>* pOut)
{
    LAgeOpener opener({ LAgeKeys::ParseIdentity(kIdentity).value() });
    LAgeOpener::Result result = LAgeOpener::Result::Ok;
    for (size_t at = 0; result == LAgeOpener::Result::Ok && at < nSize; at += piece)
        result = opener.Feed(pData + at, std::min(piece, nSize - at), pOut);
    return result == LAgeOpener::Result::Ok ? opener.Finish(pOut) : result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    if (std::optional<LAgeKey32> key = LAgeKeys::ParseRecipient(text))
        if (LAgeKeys::RecipientText(*key) != text)
            std::abort();
    if (std::optional<LAgeKey32> key = LAgeKeys::ParseIdentity(text))
        if (LAgeKeys::IdentityText(*key) != text)
            std::abort();
    if (std::optional<std::vector<LAgeKey32>> keys = LAgeKeys::ParseIdentityFile(text))
        if (keys->empty())
            std::abort();

    std::vector<LAgeStanza> stanzas;
    std::vector<uint8_t> mac;
    size_t macOffset = 0;
    size_t headerBytes = 0;
    if (LAgeHeader::Read(pData, nSize, &stanzas, &mac, &macOffset, &headerBytes) == LAgeHeader::Parse::Ok) {
        const std::string head = LAgeHeader::WriteUntilMac(stanzas);
        if (head.size() != macOffset
            || head + LAgeHeader::WriteMacLine(mac.data(), mac.size()) != text.substr(0, headerBytes))
            std::abort();
    }

    std::vector<uint8_t> whole;
    std::vector<uint8_t> split;
    const size_t piece = nSize > 0 ? 1 + pData[0] % 64 : 1;
    if (OpenInPieces(pData, nSize, nSize + 1, &whole) != OpenInPieces(pData, nSize, piece, &split) || whole != split)
        std::abort();
    return 0;
}
