// One reply of a mail server, read from the connection: its code and the
// text of its lines (the capabilities of an EHLO reply). Used by the thread
// that runs the mail dialogue.
#pragma once

#include "foundation/JobResult.h"

#include <string>
#include <string_view>
#include <vector>

class LIPSocketStream;

struct LSMTPReply {
    // The code of the reply's last line; 0 when none could be read (time-out,
    // closed connection, stop) or the line does not begin with three digits.
    int nCode = 0;
    // The text after "250-" or "250 " of each line, at most kMaxLines of them.
    std::vector<std::string> lines;

    static constexpr size_t kMaxLineChars = 258;
    static constexpr size_t kMaxLines = 64;

    // True when a line's first word is the keyword (any case): "STARTTLS",
    // "AUTH" of an EHLO reply.
    bool Offers(std::string_view keyword) const;
};

// Reads lines until one that is shorter than four characters or has no '-'
// in 4th place; continuation lines before it belong to the same reply. The
// time-out covers the whole reply, so a server that streams endless
// continuation lines is cut off too. Stopped or failed leave nCode 0.
JobResult ReadSMTPReply(LIPSocketStream& stream, unsigned timeoutMs, LSMTPReply* pReply);

// The socket sits below foundation and keeps its own done, stopped and
// failed; this is where the mail dialogue takes them into its own.
JobResult SocketJobResult(int nSocketResult);
