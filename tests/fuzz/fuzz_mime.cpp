// Arbitrary bytes as a message from a mail server: read within small
// limits, then whatever was read is composed again and must read back the
// same; the pool's fields from it make an entry only within its bounds.
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"

#include <cstdlib>
#include <string>

namespace {

std::string Trimmed(const std::string& text)
{
    const size_t nStart = text.find_first_not_of(" \t");
    return nStart == std::string::npos ? std::string() : text.substr(nStart, text.find_last_not_of(" \t") + 1 - nStart);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize > 200000)
        return 0;
    const std::string_view raw(reinterpret_cast<const char*>(pData), nSize);
    LMailMessage::Limits limits;
    limits.maxHeaderBytes = 8192;
    limits.maxParts = 8;
    limits.maxDepth = 3;
    limits.maxDecodedBytes = 1 << 16;
    LMailMessage message;
    std::string why;
    if (!LMailMessage::Parse(raw, &message, &why, limits)) {
        if (why.empty())
            std::abort();
        return 0;
    }
    uint64_t nDecoded = message.body.size();
    for (const LMailAttachment& attachment : message.attachments)
        nDecoded += attachment.data.size();
    if (message.attachments.size() > limits.maxParts || nDecoded > limits.maxDecodedBytes)
        std::abort();

    LTypistPool::Entry entry;
    if (LTypistPool::ReadEntry(message.headers, &entry)) {
        // A typist's name becomes part of file and folder names.
        const bool bClean = entry.typist.size() <= 64
            && entry.typist.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_")
                == std::string::npos;
        if (!bClean || entry.notes.size() > 1000 || entry.name.size() > 260
            || (entry.kind == "status" && entry.typist.empty()))
            std::abort();
    }

    LMailMessage::Composed composed;
    composed.subject = message.Header("Subject");
    composed.body = message.body;
    composed.attachments = message.attachments;
    for (const auto& [name, value] : message.headers)
        if (name.size() > 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '-')
            composed.headers.emplace_back(name, value);
    LMailMessage again;
    if (!LMailMessage::Parse(LMailMessage::Compose(composed), &again, &why))
        std::abort();
    if (again.body != message.body || again.attachments.size() != message.attachments.size()
        || Trimmed(again.Header("Subject")) != Trimmed(composed.subject))
        std::abort();
    for (size_t n = 0; n < again.attachments.size(); ++n)
        if (again.attachments[n].fileName != message.attachments[n].fileName
            || again.attachments[n].data != message.attachments[n].data)
            std::abort();
    for (const auto& [name, value] : composed.headers)
        if (Trimmed(again.Header(name)) != Trimmed(message.Header(name)))
            std::abort();
    return 0;
}
