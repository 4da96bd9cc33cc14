// Arbitrary bytes from an IMAP server, read response after response with
// small bounds: each answer keeps to its bounds, a whole response reads the
// same from just its own bytes, and folder names that decode survive a round trip.
#include "platform/LImapClient.h"
#include "platform/LImapReply.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const LImapReply::Limits kLimits { 4096, 8192, 200 };

size_t Check(const LImapValue& value, int nDepth)
{
    if (nDepth > LImapReply::kMaxDepth || value.text.size() > kLimits.maxLiteralBytes)
        std::abort();
    if (value.IsText()) {
        std::string decoded, again;
        if (LImapClient::DecodeFolderName(value.text, &decoded)) {
            const std::string encoded = LImapClient::EncodeFolderName(decoded);
            for (char c : encoded)
                if (c < 0x20 || c > 0x7e)
                    std::abort();
            if (!LImapClient::DecodeFolderName(encoded, &again) || again != decoded)
                std::abort();
        }
    }
    size_t nCount = 1;
    for (const LImapValue& item : value.items)
        nCount += Check(item, nDepth + 1);
    return nCount;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string_view data(reinterpret_cast<const char*>(pData), nSize);
    for (int nRound = 0; nRound < 1000 && !data.empty(); ++nRound) {
        LImapResponse response;
        size_t nUsed = 0;
        const LImapReply::Result result = LImapReply::Parse(data, kLimits, &response, &nUsed);
        if (result == LImapReply::Result::NeedMore && nUsed <= data.size())
            std::abort();
        if (result != LImapReply::Result::Done)
            return 0;
        if (nUsed == 0 || nUsed > data.size() || response.tag.empty())
            std::abort();
        size_t nCount = 0;
        for (const LImapValue& value : response.values)
            nCount += Check(value, 0);
        if (nCount > kLimits.maxValues * 2)
            std::abort();
        LImapResponse alone;
        size_t nAlone = 0;
        if (LImapReply::Parse(data.substr(0, nUsed), kLimits, &alone, &nAlone) != LImapReply::Result::Done
            || nAlone != nUsed || alone.values.size() != response.values.size() || alone.text != response.text)
            std::abort();
        data.remove_prefix(nUsed);
    }
    return 0;
}
