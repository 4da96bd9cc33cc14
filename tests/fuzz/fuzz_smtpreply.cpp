// Arbitrary bytes from a mail server, read as SMTP replies through the real
// socket reader, each checked against a plain model of the reply rules.
#include "platform/LIPSocket.h"
#include "send/LSMTPReply.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    int fds[2];
    if (nSize > 60000 || socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    if (write(fds[1], pData, nSize) != static_cast<ssize_t>(nSize))
        std::abort();
    close(fds[1]);
    LIPSocket socket;
    socket.Attach(fds[0]);
    LIPSocketStream stream(socket);
    const std::string input(reinterpret_cast<const char*>(pData), nSize);
    for (size_t nAt = 0;;) {
        // The model's next reply: lines up to a line feed, 258 characters
        // kept, '-' in 4th place continues; none when the input ends first.
        int nCode = -1;
        size_t nLines = 0;
        for (size_t nEnd; nCode < 0 && (nEnd = input.find('\n', nAt)) != std::string::npos; nAt = nEnd + 1) {
            std::string full = input.substr(nAt, nEnd - nAt), kept = full.substr(0, LSMTPReply::kMaxLineChars);
            if (full.size() <= LSMTPReply::kMaxLineChars && !kept.empty() && kept.back() == '\r')
                kept.pop_back();
            ++nLines;
            if (kept.size() < 4 || kept[3] != '-') {
                bool bDigits = kept.size() >= 3 && kept.find_first_not_of("0123456789") >= 3;
                nCode = bDigits ? std::atoi(kept.substr(0, 3).c_str()) : 0;
            }
        }
        LSMTPReply reply;
        const JobResult nResult = ReadSMTPReply(stream, 1000, &reply);
        if (nCode < 0) {
            if (nResult != JobResult::kFailed || reply.nCode != 0)
                std::abort();
            return 0;
        }
        if (nResult != JobResult::kDone || reply.nCode != nCode
            || reply.lines.size() != std::min(nLines, LSMTPReply::kMaxLines))
            std::abort();
        for (const std::string& line : reply.lines)
            if (line.size() > LSMTPReply::kMaxLineChars - 4 || line.find('\n') != std::string::npos)
                std::abort();
    }
}
