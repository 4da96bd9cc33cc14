// A mail message as the typist pool and the typists' mailboxes hold it: a
// text body and attachments, composed into MIME (multipart/mixed, base64
// attachments, CRLF lines) and read back from what a server stores. Reading
// is bounded (header size, part count, nesting depth, decoded size) and never
// takes a name from a message as a path: attachment names are only offered,
// cleaned, for a caller to check. Stateless; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct LMailAttachment {
    std::string fileName; // as the message names it, decoded; may be anything
    std::string contentType; // lower case, without parameters
    std::string data; // decoded
};

struct LMailMessage {
    // Header fields in the message's order, values unfolded and with encoded
    // words (RFC 2047, UTF-8, ISO-8859-1 and US-ASCII) decoded to UTF-8.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body; // the first text/plain part, decoded
    std::vector<LMailAttachment> attachments;

    // The first header of that name (any case); empty when none.
    std::string Header(std::string_view name) const;

    struct Limits {
        size_t maxHeaderBytes = 256 << 10;
        size_t maxParts = 64;
        size_t maxDepth = 4;
        uint64_t maxDecodedBytes = 512ull << 20;
    };
    // False with words in *pWhy for what cannot be read or passes a limit.
    static bool Parse(std::string_view raw, LMailMessage* pMessage, std::string* pWhy, const Limits& limits);
    static bool Parse(std::string_view raw, LMailMessage* pMessage, std::string* pWhy)
    {
        return Parse(raw, pMessage, pWhy, Limits());
    }

    struct Composed {
        std::string from;
        std::string to;
        std::string subject; // UTF-8; encoded where it is not plain ASCII
        std::string body; // UTF-8 text, any line ends
        // Extra fields ("X-..."), values UTF-8 (encoded where needed, folded to 78 columns).
        std::vector<std::pair<std::string, std::string>> headers;
        std::vector<LMailAttachment> attachments;
        int64_t tDate = 0; // the Date field; 0: now
    };
    // The whole message with CRLF line ends, ready for APPEND or SMTP.
    static std::string Compose(const Composed& message);

    // "Name: value\r\n", the value encoded where needed and folded to 78
    // columns, for a client that writes the rest of the message itself.
    static std::string ComposeField(std::string_view name, std::string_view utf8Value);

    // A header value with every non-ASCII run as an encoded word, and back.
    static std::string EncodeWords(std::string_view utf8);
    static std::string DecodeWords(std::string_view value);
};
