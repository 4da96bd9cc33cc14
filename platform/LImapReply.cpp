#include "platform/LImapReply.h"

#include <cctype>
#include <charconv>

bool LImapValue::IsAtom(std::string_view word) const
{
    if (kind != Kind::Atom || text.size() != word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

bool LImapValue::ToNumber(uint64_t* pNumber) const
{
    if (kind != Kind::Atom || text.empty() || text.size() > 19)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *pNumber);
    return ec == std::errc() && end == text.data() + text.size();
}

namespace {

using Result = LImapReply::Result;

// Walks one response. The bytes are taken a line segment at a time (up to a
// line feed, or to a literal's announcement), so a segment is always whole
// before its words are read and the bounds are checked before any wait.
class Parser {
public:
    Parser(std::string_view data, const LImapReply::Limits& limits)
        : m_data(data)
        , m_limits(limits)
    {
    }

    Result Run(LImapResponse* pResponse, size_t* pnUsed)
    {
        if (Result r = NextSegment(); r != Result::Done)
            return Finish(r, pnUsed);
        std::string tag;
        if (!ReadAtomText(&tag) || tag.empty())
            return Result::Bad;
        pResponse->tag = tag;
        if (tag == "+") {
            Skip(' ');
            pResponse->text = RestOfSegment();
            return Finish(EndSegment(), pnUsed);
        }
        if (!Skip(' '))
            return Result::Bad;
        const size_t nWordAt = m_nPos;
        std::string word;
        if (!ReadAtomText(&word))
            return Result::Bad;
        for (char& c : word)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (word == "OK" || word == "NO" || word == "BAD" || word == "PREAUTH" || word == "BYE") {
            pResponse->status = word;
            Skip(' ');
            if (m_nPos < m_nSegEnd && m_data[m_nPos] == '[') {
                const size_t nClose = m_data.find(']', m_nPos);
                if (nClose == std::string_view::npos || nClose >= m_nSegEnd)
                    return Result::Bad;
                pResponse->code = std::string(m_data.substr(m_nPos + 1, nClose - m_nPos - 1));
                m_nPos = nClose + 1;
                Skip(' ');
            }
            pResponse->text = RestOfSegment();
            return Finish(EndSegment(), pnUsed);
        }
        if (tag != "*")
            return Result::Bad;
        m_nPos = nWordAt;
        if (Result r = ReadValues(&pResponse->values, 0); r != Result::Done)
            return Finish(r, pnUsed);
        if (m_nPos != m_nSegEnd)
            return Result::Bad;
        return Finish(EndSegment(), pnUsed);
    }

private:
    Result Finish(Result r, size_t* pnUsed)
    {
        if (r == Result::Done)
            *pnUsed = m_nSegNext;
        else if (r == Result::NeedMore)
            *pnUsed = m_nNeed;
        return r;
    }

    // Finds the end of the segment that starts at m_nPos.
    Result NextSegment()
    {
        const size_t nFeed = m_data.find('\n', m_nPos);
        const size_t nEnd = nFeed == std::string_view::npos ? m_data.size() : nFeed;
        if (m_nLineBytes + (nEnd - m_nPos) > m_limits.maxLineBytes)
            return Result::TooLarge;
        if (nFeed == std::string_view::npos) {
            m_nNeed = m_data.size() + 1;
            return Result::NeedMore;
        }
        m_nLineBytes += nFeed + 1 - m_nPos;
        m_nSegEnd = nFeed > m_nPos && m_data[nFeed - 1] == '\r' ? nFeed - 1 : nFeed;
        m_nSegNext = nFeed + 1;
        return Result::Done;
    }

    Result EndSegment() { return m_nPos == m_nSegEnd ? Result::Done : Result::Bad; }

    std::string RestOfSegment()
    {
        std::string text(m_data.substr(m_nPos, m_nSegEnd - m_nPos));
        m_nPos = m_nSegEnd;
        return text;
    }

    bool Skip(char c)
    {
        if (m_nPos < m_nSegEnd && m_data[m_nPos] == c) {
            ++m_nPos;
            return true;
        }
        return false;
    }

    static bool IsAtomChar(char c)
    {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u != 0x7f && c != '(' && c != ')' && c != '{' && c != '"';
    }

    // An atom; a '[' takes everything to its ']' along (BODY[HEADER.FIELDS (A B)]).
    bool ReadAtomText(std::string* pText)
    {
        const size_t nStart = m_nPos;
        while (m_nPos < m_nSegEnd) {
            const char c = m_data[m_nPos];
            if (c == '[') {
                const size_t nClose = m_data.find(']', m_nPos);
                if (nClose == std::string_view::npos || nClose >= m_nSegEnd)
                    return false;
                m_nPos = nClose + 1;
            } else if (IsAtomChar(c) && c != ']') {
                ++m_nPos;
            } else {
                break;
            }
        }
        *pText = std::string(m_data.substr(nStart, m_nPos - nStart));
        return m_nPos > nStart;
    }

    // Words separated by spaces up to the segment's end or a ')'.
    Result ReadValues(std::vector<LImapValue>* pValues, int nDepth)
    {
        while (m_nPos < m_nSegEnd && m_data[m_nPos] != ')') {
            if (!pValues->empty() && !Skip(' '))
                return Result::Bad;
            if (++m_nValues > m_limits.maxValues)
                return Result::TooLarge;
            LImapValue value;
            if (Result r = ReadValue(&value, nDepth); r != Result::Done)
                return r;
            pValues->push_back(std::move(value));
        }
        return Result::Done;
    }

    Result ReadValue(LImapValue* pValue, int nDepth)
    {
        if (m_nPos >= m_nSegEnd)
            return Result::Bad;
        const char c = m_data[m_nPos];
        if (c == '(') {
            if (nDepth >= LImapReply::kMaxDepth)
                return Result::TooLarge;
            ++m_nPos;
            pValue->kind = LImapValue::Kind::List;
            if (Result r = ReadValues(&pValue->items, nDepth + 1); r != Result::Done)
                return r;
            return Skip(')') ? Result::Done : Result::Bad;
        }
        if (c == '"') {
            pValue->kind = LImapValue::Kind::String;
            for (++m_nPos; m_nPos < m_nSegEnd; ++m_nPos) {
                char ch = m_data[m_nPos];
                if (ch == '"') {
                    ++m_nPos;
                    return Result::Done;
                }
                if (ch == '\\') {
                    if (++m_nPos >= m_nSegEnd)
                        break;
                    ch = m_data[m_nPos];
                }
                pValue->text.push_back(ch);
            }
            return Result::Bad;
        }
        if (c == '{')
            return ReadLiteral(pValue);
        pValue->kind = LImapValue::Kind::Atom;
        if (!ReadAtomText(&pValue->text))
            return Result::Bad;
        if (pValue->IsAtom("NIL")) {
            pValue->kind = LImapValue::Kind::Nil;
            pValue->text.clear();
        }
        return Result::Done;
    }

    // "{n}" ends its segment; the n bytes follow the line end, then the
    // response goes on in a new segment.
    Result ReadLiteral(LImapValue* pValue)
    {
        const size_t nClose = m_data.find('}', m_nPos);
        if (nClose == std::string_view::npos || nClose + 1 != m_nSegEnd || nClose == m_nPos + 1)
            return Result::Bad;
        uint64_t nBytes = 0;
        const auto [end, ec] = std::from_chars(m_data.data() + m_nPos + 1, m_data.data() + nClose, nBytes);
        if (ec == std::errc::result_out_of_range)
            return Result::TooLarge;
        if (ec != std::errc() || end != m_data.data() + nClose)
            return Result::Bad;
        if (nBytes > m_limits.maxLiteralBytes)
            return Result::TooLarge;
        const size_t nStart = m_nSegNext;
        if (m_data.size() - nStart < nBytes) {
            m_nNeed = nStart + static_cast<size_t>(nBytes) + 1;
            return Result::NeedMore;
        }
        pValue->kind = LImapValue::Kind::String;
        pValue->text = std::string(m_data.substr(nStart, static_cast<size_t>(nBytes)));
        m_nPos = nStart + static_cast<size_t>(nBytes);
        return NextSegment();
    }

    std::string_view m_data;
    const LImapReply::Limits& m_limits;
    size_t m_nPos = 0;
    size_t m_nSegEnd = 0; // before the line end
    size_t m_nSegNext = 0; // after it
    size_t m_nLineBytes = 0;
    size_t m_nValues = 0;
    size_t m_nNeed = 0;
};

} // namespace

LImapReply::Result LImapReply::Parse(
    std::string_view data, const Limits& limits, LImapResponse* pResponse, size_t* pnUsed)
{
    *pResponse = LImapResponse {};
    *pnUsed = 0;
    return Parser(data, limits).Run(pResponse, pnUsed);
}
