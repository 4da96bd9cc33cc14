// Reads arbitrary bytes from a mail server's side of a connection as SMTP
// replies, through the real socket reader, and checks every reply against a
// plain model of the rules: lines up to a line feed, at most 258 characters
// kept, a line with '-' in 4th place continues the reply.
#include "platform/LIPSocket.h"
#include "send/LSMTPReply.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize > 60000)
        return 0;
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    if (write(fds[1], pData, nSize) != static_cast<ssize_t>(nSize))
        std::abort();
    close(fds[1]);
    LIPSocket socket;
    socket.Attach(fds[0]);
    LIPSocketStream stream(socket);

    std::string input(reinterpret_cast<const char*>(pData), nSize);
    size_t nAt = 0;
    for (;;) {
        // The model's next reply: its code and line count, or none when the
        // input ends before the reply does.
        int nCode = -1;
        size_t nLines = 0;
        for (size_t nEnd; nCode < 0 && (nEnd = input.find('\n', nAt)) != std::string::npos; nAt = nEnd + 1) {
            std::string full = input.substr(nAt, nEnd - nAt);
            std::string kept = full.substr(0, LSMTPReply::kMaxLineChars);
            if (full.size() <= LSMTPReply::kMaxLineChars && !kept.empty() && kept.back() == '\r')
                kept.pop_back();
            ++nLines;
            if (kept.size() < 4 || kept[3] != '-') {
                bool bDigits = kept.size() >= 3;
                for (size_t i = 0; i < 3 && bDigits; ++i)
                    bDigits = kept[i] >= '0' && kept[i] <= '9';
                nCode = bDigits ? std::atoi(kept.substr(0, 3).c_str()) : 0;
            }
        }
        LSMTPReply reply;
        int nResult = ReadSMTPReply(stream, 1000, &reply);
        if (nCode < 0) {
            if (nResult != LIPSocket::kFailed || reply.nCode != 0)
                std::abort();
            break;
        }
        if (nResult != LIPSocket::kDone || reply.nCode != nCode
            || reply.lines.size() != (nLines < LSMTPReply::kMaxLines ? nLines : LSMTPReply::kMaxLines))
            std::abort();
        for (const std::string& line : reply.lines)
            if (line.size() > LSMTPReply::kMaxLineChars - 4 || line.find('\n') != std::string::npos)
                std::abort();
    }
    return 0;
}
