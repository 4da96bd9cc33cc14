#include "send/LSMTPReply.h"

#include "foundation/LText.h"
#include "platform/LIPSocket.h"

#include <chrono>

bool LSMTPReply::Offers(std::string_view keyword) const
{
    for (const std::string& line : lines) {
        std::string_view word(line);
        word = word.substr(0, word.find(' '));
        if (EqualsNoCase(word, keyword))
            return true;
    }
    return false;
}

JobResult SocketJobResult(int nSocketResult)
{
    switch (nSocketResult) {
    case LIPSocket::kDone:
        return JobResult::kDone;
    case LIPSocket::kStopped:
        return JobResult::kStopped;
    default:
        return JobResult::kFailed;
    }
}

JobResult ReadSMTPReply(LIPSocketStream& stream, unsigned timeoutMs, LSMTPReply* pReply)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    *pReply = LSMTPReply();
    for (;;) {
        auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        std::string line;
        int nResult = nLeft > 0 ? stream.ProcessReadLine(&line, LSMTPReply::kMaxLineChars, static_cast<unsigned>(nLeft))
                                : LIPSocket::kFailed;
        if (nResult != LIPSocket::kDone) {
            pReply->nCode = 0;
            return SocketJobResult(nResult);
        }
        if (pReply->lines.size() < LSMTPReply::kMaxLines)
            pReply->lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        if (line.size() < 4 || line[3] != '-') {
            bool bDigits = line.size() >= 3;
            for (size_t i = 0; i < 3 && bDigits; ++i)
                bDigits = line[i] >= '0' && line[i] <= '9';
            pReply->nCode = bDigits ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : 0;
            return JobResult::kDone;
        }
    }
}
