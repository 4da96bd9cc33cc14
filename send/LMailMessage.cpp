#include "send/LMailMessage.h"

#include "foundation/LText.h"
#include "send/LEmailSMTP.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Encoded words of 30 bytes (52 characters) and plain words of up to 50
// fit on a field's first line beside the longest of our field names, so no
// value is folded away from its name (which some readers take as a blank).
constexpr size_t kWordBytes = 30;
constexpr size_t kMaxPlainWord = 50;
constexpr size_t kFoldColumns = 78;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string ToLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (IsSpace(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (IsSpace(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

void AppendBase64(std::string_view data, size_t nLineBytes, std::string* pOut)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    const size_t n = data.size();
    for (size_t i = 0; i < n; i += 3) {
        uint32_t v = uint32_t(p[i]) << 16;
        if (i + 1 < n)
            v |= uint32_t(p[i + 1]) << 8;
        if (i + 2 < n)
            v |= p[i + 2];
        pOut->push_back(kBase64[(v >> 18) & 63]);
        pOut->push_back(kBase64[(v >> 12) & 63]);
        pOut->push_back(i + 1 < n ? kBase64[(v >> 6) & 63] : '=');
        pOut->push_back(i + 2 < n ? kBase64[v & 63] : '=');
        if (nLineBytes && ((i + 3) % nLineBytes == 0 || i + 3 >= n))
            pOut->append("\r\n");
    }
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Line breaks and blanks are skipped; anything else outside the alphabet,
// or data after the padding, makes the text unreadable.
bool DecodeBase64(std::string_view text, std::string* pOut)
{
    uint32_t v = 0;
    int nBits = 0;
    size_t nChars = 0, nPad = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || IsSpace(c))
            continue;
        if (c == '=') {
            ++nPad;
            continue;
        }
        const int n = Base64Value(c);
        if (n < 0 || nPad)
            return false;
        ++nChars;
        v = (v << 6) | uint32_t(n);
        nBits += 6;
        if (nBits >= 8) {
            nBits -= 8;
            pOut->push_back(char((v >> nBits) & 0xff));
        }
    }
    return nChars % 4 != 1 && nPad <= 2;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Quoted-printable (bQ: the header form, where '_' is a space). A '=' that
// starts no escape stays as it is, as readers are told to do.
std::string DecodeQuoted(std::string_view text, bool bQ)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (bQ && c == '_') {
            out.push_back(' ');
        } else if (c != '=') {
            out.push_back(c);
        } else if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            // A soft line break: '=' then blanks up to the line's end.
            size_t j = i + 1;
            while (j < text.size() && IsSpace(text[j]))
                ++j;
            if (j < text.size() && (text[j] == '\r' || text[j] == '\n')) {
                if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
                    ++j;
                i = j;
            } else if (j >= text.size()) {
                i = j;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            out.push_back(char(0xc0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3f)));
        }
    }
    return out;
}

// Text in a charset we read, as UTF-8; false for a charset we do not know.
bool ToUtf8(std::string_view charset, std::string_view text, std::string* pOut)
{
    std::string name = ToLower(charset.substr(0, charset.find('*'))); // RFC 2231 language suffix
    if (name == "utf-8" || name == "utf8" || name == "us-ascii" || name.empty()) {
        pOut->append(text);
        return true;
    }
    if (name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1") {
        pOut->append(Latin1ToUtf8(text));
        return true;
    }
    return false;
}

bool NeedsEncoding(std::string_view word)
{
    // A word too long for a folded line goes as encoded words, which fold.
    if (word.size() > kMaxPlainWord || word.find("=?") != std::string_view::npos)
        return true;
    for (unsigned char c : word)
        if (c >= 0x7f || c < 0x20)
            return true;
    return false;
}

// Encoded words of at most kWordBytes each, never splitting a character.
void AppendEncodedWords(std::string_view text, std::string* pOut)
{
    for (bool bFirst = true; !text.empty(); bFirst = false) {
        std::string_view piece = CutUtf8(text, kWordBytes);
        if (piece.empty())
            piece = text.substr(0, 1); // an invalid byte: still move on
        if (!bFirst)
            pOut->push_back(' ');
        pOut->append("=?UTF-8?B?");
        AppendBase64(piece, 0, pOut);
        pOut->append("?=");
        text.remove_prefix(piece.size());
    }
}

// "Name: value" cut into lines of at most 78 columns at the value's blanks.
std::string FoldField(std::string_view name, std::string_view value)
{
    std::string out(name);
    out += ":";
    size_t nColumn = out.size();
    size_t nAt = 0;
    while (nAt < value.size()) {
        size_t nEnd = value.find(' ', nAt + 1);
        if (nEnd == std::string_view::npos)
            nEnd = value.size();
        std::string_view word = value.substr(nAt, nEnd - nAt); // with its leading blank, if any
        if (word.front() != ' ') {
            out += ' ';
            ++nColumn;
        }
        if (nColumn + word.size() > kFoldColumns && nColumn > name.size() + 2) {
            out += "\r\n";
            nColumn = 0;
            if (word.front() != ' ') {
                out += ' ';
                ++nColumn;
            }
        }
        out += word;
        nColumn += word.size();
        nAt = nEnd;
    }
    out += "\r\n";
    return out;
}

std::string ToCrlf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsPlainAscii(std::string_view text)
{
    size_t nLine = 0;
    for (unsigned char c : text) {
        if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\r' && c != '\n'))
            return false;
        nLine = c == '\n' ? 0 : nLine + 1;
        if (nLine > 900)
            return false;
    }
    return true;
}

bool IsToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (unsigned char c : text)
        if (c <= 0x20 || c >= 0x7f || std::string_view("()<>@,;:\\\"/[]?=").find(char(c)) != std::string_view::npos)
            return false;
    return true;
}

// A file name parameter: quoted where plain ASCII, else in RFC 2231's form.
std::string NameParameter(std::string_view key, std::string_view value)
{
    // Readers decode encoded words in a quoted name, so such a name goes in the other form.
    bool bPlain = value.size() < 200 && value.find("=?") == std::string_view::npos;
    for (unsigned char c : value)
        bPlain = bPlain && c >= 0x20 && c < 0x7f;
    if (bPlain) {
        std::string out = std::string(key) + "=\"";
        for (char c : value) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }
    std::string out = std::string(key) + "*=UTF-8''";
    for (unsigned char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
            || c == '_')
            out += char(c);
        else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

// ---- reading ----

struct Field {
    std::string name;
    std::string value; // unfolded, not decoded
};

// The fields of a header block, unfolded. Lines that are no field are skipped.
std::vector<Field> ReadFields(std::string_view block)
{
    std::vector<Field> fields;
    size_t nAt = 0;
    while (nAt < block.size()) {
        size_t nEnd = block.find('\n', nAt);
        if (nEnd == std::string_view::npos)
            nEnd = block.size();
        std::string_view line = block.substr(nAt, nEnd - nAt);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        nAt = nEnd + 1;
        if (!line.empty() && IsSpace(line.front())) {
            if (!fields.empty())
                fields.back().value += line;
            continue;
        }
        const size_t nColon = line.find(':');
        if (nColon == std::string_view::npos || nColon == 0)
            continue;
        std::string_view name = Trim(line.substr(0, nColon));
        if (!IsToken(name))
            continue;
        fields.push_back({ std::string(name), std::string(line.substr(nColon + 1)) });
    }
    for (Field& field : fields)
        field.value = std::string(Trim(field.value));
    return fields;
}

const Field* FindField(const std::vector<Field>& fields, std::string_view name)
{
    for (const Field& field : fields)
        if (EqualsNoCase(field.name, name))
            return &field;
    return nullptr;
}

// A structured field's value ("type/sub; key=value; ...") taken apart:
// the first item lower case, parameters by lower-case key, quoting undone,
// RFC 2231 pieces and charsets joined and decoded.
struct Structured {
    std::string value;
    std::vector<std::pair<std::string, std::string>> params;

    std::string Param(std::string_view key) const
    {
        // RFC 2231 wins over the plain form, which old readers get.
        std::string extended, plain;
        bool bExtended = false, bPlain = false;
        for (const auto& [k, v] : params) {
            if (k == std::string(key) + "*") {
                extended = v, bExtended = true;
            } else if (k == key && !bPlain) {
                plain = v, bPlain = true;
            }
        }
        if (bExtended)
            return extended;
        return plain;
    }
};

std::string PercentDecode(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Structured ReadStructured(std::string_view text)
{
    Structured result;
    std::vector<std::pair<std::string, std::string>> raw; // key, value, quoting undone
    std::vector<bool> quoted;
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
    };
    skipBlanks();
    size_t nStart = i;
    while (i < text.size() && text[i] != ';')
        ++i;
    result.value = ToLower(Trim(text.substr(nStart, i - nStart)));
    while (i < text.size() && raw.size() < 64) {
        ++i; // the ';'
        skipBlanks();
        nStart = i;
        while (i < text.size() && text[i] != '=' && text[i] != ';')
            ++i;
        std::string key = ToLower(Trim(text.substr(nStart, i - nStart)));
        if (i >= text.size() || text[i] != '=')
            continue;
        ++i;
        skipBlanks();
        std::string value;
        bool bQuoted = false;
        if (i < text.size() && text[i] == '"') {
            bQuoted = true;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                value += text[i];
            }
            if (i < text.size())
                ++i;
            while (i < text.size() && text[i] != ';')
                ++i;
        } else {
            nStart = i;
            while (i < text.size() && text[i] != ';')
                ++i;
            value = std::string(Trim(text.substr(nStart, i - nStart)));
        }
        raw.emplace_back(std::move(key), std::move(value));
        quoted.push_back(bQuoted);
    }
    // Join continuations (key*0*, key*1, ...) in their numbered order; an
    // extended value ("charset'language'text") is percent-decoded once joined.
    struct Piece {
        std::string base;
        int nIndex;
        bool bExtended;
        std::string value;
    };
    std::vector<Piece> pieces;
    for (auto& [key, value] : raw) {
        const size_t nStar = key.find('*');
        if (nStar == std::string::npos) {
            result.params.emplace_back(key, value);
            continue;
        }
        std::string rest = key.substr(nStar + 1);
        const bool bExtended = rest.empty() || rest.back() == '*'; // "name*=" or "name*0*="
        if (!rest.empty() && rest.back() == '*')
            rest.pop_back();
        if (!rest.empty() && (rest.size() > 2 || rest.find_first_not_of("0123456789") != std::string::npos))
            continue;
        pieces.push_back({ key.substr(0, nStar), rest.empty() ? 0 : ParseLeadingInt(rest), bExtended, value });
    }
    std::vector<std::string> done;
    for (const Piece& first : pieces) {
        if (first.nIndex != 0 || std::find(done.begin(), done.end(), first.base) != done.end())
            continue;
        done.push_back(first.base);
        std::string value = first.value;
        for (int nNext = 1; nNext < 100; ++nNext) {
            auto it = std::find_if(pieces.begin(), pieces.end(),
                [&](const Piece& piece) { return piece.base == first.base && piece.nIndex == nNext; });
            if (it == pieces.end())
                break;
            value += it->value;
        }
        if (first.bExtended) {
            const size_t nQ1 = value.find('\''), nQ2 = nQ1 == std::string::npos ? nQ1 : value.find('\'', nQ1 + 1);
            std::string text;
            if (nQ2 == std::string::npos || !ToUtf8(value.substr(0, nQ1), PercentDecode(value.substr(nQ2 + 1)), &text))
                continue;
            value = text;
        }
        result.params.emplace_back(first.base + "*", value);
    }
    return result;
}

class Reader {
public:
    Reader(const LMailMessage::Limits& limits, LMailMessage* pMessage, std::string* pWhy)
        : m_limits(limits)
        , m_pMessage(pMessage)
        , m_pWhy(pWhy)
    {
    }

    bool Fail(const std::string& why)
    {
        if (m_pWhy)
            *m_pWhy = why;
        return false;
    }

    // One entity (the message, or a part of a multipart) at a depth.
    bool ReadEntity(std::string_view raw, size_t nDepth, std::vector<Field>* pTopFields)
    {
        if (++m_nParts > m_limits.maxParts)
            return Fail(tplprintf("the message has more than %d parts", uint32_t(m_limits.maxParts)));
        size_t nHeaderEnd = std::string_view::npos, nBodyStart = raw.size();
        if (raw.starts_with("\r\n") || raw.starts_with("\n")) {
            nHeaderEnd = 0;
            nBodyStart = raw[0] == '\r' ? 2 : 1;
        } else {
            const size_t nCrlf = raw.find("\n\r\n"), nLf = raw.find("\n\n");
            if (nCrlf != std::string_view::npos && (nLf == std::string_view::npos || nCrlf < nLf)) {
                nHeaderEnd = nCrlf + 1;
                nBodyStart = nCrlf + 3;
            } else if (nLf != std::string_view::npos) {
                nHeaderEnd = nLf + 1;
                nBodyStart = nLf + 2;
            }
        }
        if (nHeaderEnd == std::string_view::npos)
            nHeaderEnd = raw.size(); // a message of header fields only
        if (nHeaderEnd > m_limits.maxHeaderBytes)
            return Fail(tplprintf("a header is larger than %d bytes", uint32_t(m_limits.maxHeaderBytes)));
        std::vector<Field> fields = ReadFields(raw.substr(0, nHeaderEnd));
        std::string_view body = raw.substr(std::min(nBodyStart, raw.size()));
        if (pTopFields)
            *pTopFields = fields;

        const Field* pType = FindField(fields, "content-type");
        Structured type = ReadStructured(pType ? pType->value : "text/plain");
        if (type.value.empty() || type.value.find('/') == std::string::npos)
            type.value = "text/plain";
        if (type.value.starts_with("multipart/")) {
            if (nDepth >= m_limits.maxDepth)
                return Fail(tplprintf("the message nests parts deeper than %d levels", uint32_t(m_limits.maxDepth)));
            return ReadMultipart(body, type.Param("boundary"), nDepth + 1);
        }

        const Field* pEncoding = FindField(fields, "content-transfer-encoding");
        const std::string encoding = pEncoding ? ToLower(Trim(pEncoding->value)) : "";
        std::string data;
        if (encoding == "base64") {
            if (!DecodeBase64(body, &data))
                return Fail("an attachment's base64 text is damaged");
        } else if (encoding == "quoted-printable") {
            data = DecodeQuoted(body, false);
        } else {
            data = std::string(body);
        }
        m_nDecoded += data.size();
        if (m_nDecoded > m_limits.maxDecodedBytes)
            return Fail("the message's content is larger than allowed");

        const Field* pDisposition = FindField(fields, "content-disposition");
        Structured disposition = ReadStructured(pDisposition ? pDisposition->value : "");
        std::string fileName = disposition.Param("filename");
        if (fileName.empty())
            fileName = type.Param("name");
        fileName = LMailMessage::DecodeWords(fileName);
        const bool bAttachment = disposition.value == "attachment" || !fileName.empty();
        if (type.value == "text/plain" && !bAttachment) {
            if (!m_bBody) {
                m_bBody = true;
                std::string text;
                if (!ToUtf8(type.Param("charset"), data, &text))
                    text = data;
                // Text lines end in "\n" here, whatever the server stored.
                std::string& out = m_pMessage->body;
                for (size_t i = 0; i < text.size(); ++i) {
                    if (text[i] == '\r') {
                        if (i + 1 < text.size() && text[i + 1] == '\n')
                            ++i;
                        out += '\n';
                    } else {
                        out += text[i];
                    }
                }
            }
            return true;
        }
        if (bAttachment || !type.value.starts_with("text/"))
            m_pMessage->attachments.push_back({ fileName, type.value, std::move(data) });
        return true;
    }

    bool ReadMultipart(std::string_view body, const std::string& boundary, size_t nDepth)
    {
        if (boundary.empty() || boundary.size() > 200)
            return Fail("a multipart part has no usable boundary");
        const std::string delimiter = "--" + boundary;
        // Delimiter lines start a line; whatever follows them on it is padding.
        std::vector<std::pair<size_t, size_t>> marks; // where the line starts, where the next one does
        bool bClosed = false;
        for (size_t nAt = 0; !bClosed;) {
            const size_t nFound = body.find(delimiter, nAt);
            if (nFound == std::string_view::npos)
                break;
            nAt = nFound + delimiter.size();
            if (nFound != 0 && body[nFound - 1] != '\n')
                continue;
            const bool bClose = body.substr(nAt, 2) == "--";
            size_t nNext = body.find('\n', nAt);
            nNext = nNext == std::string_view::npos ? body.size() : nNext + 1;
            if (!Trim(body.substr(nAt + (bClose ? 2 : 0), nNext - nAt - (bClose ? 2 : 0))).empty()) {
                continue; // a longer boundary that starts with this one
            }
            bClosed = bClose;
            marks.emplace_back(nFound, nNext);
            if (marks.size() > m_limits.maxParts + 1)
                return Fail(tplprintf("the message has more than %d parts", uint32_t(m_limits.maxParts)));
            nAt = nNext;
        }
        if (!bClosed)
            return Fail("a multipart part's closing boundary is missing (the message is cut short)");
        for (size_t n = 0; n + 1 < marks.size(); ++n) {
            size_t nEnd = marks[n + 1].first;
            // The line break before a delimiter belongs to it.
            if (nEnd > marks[n].second && body[nEnd - 1] == '\n')
                --nEnd;
            if (nEnd > marks[n].second && body[nEnd - 1] == '\r')
                --nEnd;
            const size_t nStart = std::min(marks[n].second, nEnd);
            if (!ReadEntity(body.substr(nStart, nEnd - nStart), nDepth, nullptr))
                return false;
        }
        return true;
    }

private:
    const LMailMessage::Limits& m_limits;
    LMailMessage* m_pMessage;
    std::string* m_pWhy;
    size_t m_nParts = 0;
    uint64_t m_nDecoded = 0;
    bool m_bBody = false;
};

} // namespace

std::string LMailMessage::Header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (EqualsNoCase(key, name))
            return value;
    return {};
}

bool LMailMessage::Parse(std::string_view raw, LMailMessage* pMessage, std::string* pWhy, const Limits& limits)
{
    LMailMessage message;
    Reader reader(limits, &message, pWhy);
    std::vector<Field> fields;
    if (!reader.ReadEntity(raw, 0, &fields))
        return false;
    for (Field& field : fields)
        message.headers.emplace_back(std::move(field.name), DecodeWords(field.value));
    if (pMessage)
        *pMessage = std::move(message);
    if (pWhy)
        pWhy->clear();
    return true;
}

std::string LMailMessage::ComposeField(std::string_view name, std::string_view utf8Value)
{
    return IsToken(name) ? FoldField(name, EncodeWords(utf8Value)) : std::string();
}

std::string LMailMessage::EncodeWords(std::string_view utf8)
{
    // Words lie between single blanks. Words that need encoding, with only
    // blanks between them, become one span of encoded words, so the blanks
    // inside survive (a reader drops those between encoded words); the text
    // around a span stays as it is, blanks included.
    struct Word {
        size_t nStart, nEnd;
        bool bEncode;
    };
    std::vector<Word> words;
    for (size_t nAt = 0; nAt <= utf8.size();) {
        size_t nEnd = std::min(utf8.find(' ', nAt), utf8.size());
        words.push_back({ nAt, nEnd, NeedsEncoding(utf8.substr(nAt, nEnd - nAt)) });
        nAt = nEnd + 1;
    }
    std::string out;
    size_t nPlainFrom = 0;
    for (size_t n = 0; n < words.size(); ++n) {
        if (!words[n].bEncode)
            continue;
        const size_t nSpanStart = words[n].nStart;
        for (size_t k = n + 1; k < words.size() && (words[k].bEncode || words[k].nStart == words[k].nEnd); ++k)
            if (words[k].bEncode)
                n = k;
        out += utf8.substr(nPlainFrom, nSpanStart - nPlainFrom);
        AppendEncodedWords(utf8.substr(nSpanStart, words[n].nEnd - nSpanStart), &out);
        nPlainFrom = words[n].nEnd;
    }
    out += utf8.substr(nPlainFrom);
    return out;
}

std::string LMailMessage::DecodeWords(std::string_view value)
{
    std::string out;
    size_t nAt = 0;
    bool bAfterWord = false;
    while (nAt < value.size()) {
        const size_t nStart = value.find("=?", nAt);
        if (nStart == std::string_view::npos) {
            out += value.substr(nAt);
            break;
        }
        // =?charset?B|Q?text?=, looked for only within a bounded window so that
        // a value full of "=?" costs linear time.
        const std::string_view window = value.substr(0, std::min(value.size(), nStart + 1000));
        const size_t nQ1 = window.find('?', nStart + 2);
        const size_t nQ2 = nQ1 == std::string_view::npos ? nQ1 : window.find('?', nQ1 + 1);
        const size_t nEnd = nQ2 == std::string_view::npos ? nQ2 : window.find("?=", nQ2 + 1);
        std::string decoded;
        bool bOk = nEnd != std::string_view::npos && nQ2 == nQ1 + 2;
        if (bOk) {
            const char cEncoding = Lower(value[nQ1 + 1]);
            std::string_view text = value.substr(nQ2 + 1, nEnd - nQ2 - 1);
            std::string bytes;
            if (cEncoding == 'b')
                bOk = DecodeBase64(text, &bytes);
            else if (cEncoding == 'q')
                bytes = DecodeQuoted(text, true);
            else
                bOk = false;
            bOk = bOk && ToUtf8(value.substr(nStart + 2, nQ1 - nStart - 2), bytes, &decoded);
        }
        std::string_view between = value.substr(nAt, nStart - nAt);
        if (!bOk) {
            out += value.substr(nAt, nStart + 2 - nAt);
            nAt = nStart + 2;
            bAfterWord = false;
            continue;
        }
        // Blanks between two encoded words are not text.
        if (!(bAfterWord && Trim(between).empty()))
            out += between;
        out += decoded;
        nAt = nEnd + 2;
        bAfterWord = true;
    }
    return out;
}

std::string LMailMessage::Compose(const Composed& message)
{
    std::string bodyText = ToCrlf(message.body);
    const bool bPlainBody = IsPlainAscii(bodyText);
    // A boundary that base64 and quoted-printable text cannot hold ("=_"),
    // checked against the one part that is neither.
    std::string boundary;
    for (uint32_t n = 0;; ++n) {
        boundary = tplprintf("=_tavrine_%d_%d", uint32_t(message.attachments.size()), n);
        if (!bPlainBody || bodyText.find(boundary) == std::string::npos)
            break;
    }

    std::string out = "MIME-Version: 1.0\r\n";
    if (!message.from.empty())
        out += FoldField("From", EncodeWords(message.from));
    if (!message.to.empty())
        out += FoldField("To", EncodeWords(message.to));
    out += FoldField("Subject", EncodeWords(message.subject));
    out += "Date: " + EmailDateText(message.tDate ? time_t(message.tDate) : time(nullptr)) + "\r\n";
    for (const auto& [name, value] : message.headers)
        if (IsToken(name))
            out += FoldField(name, EncodeWords(value));

    const char* szText = bPlainBody
        ? "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 7bit\r\n"
        : "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n";
    auto appendText = [&] {
        out += "\r\n";
        if (bPlainBody) {
            out += bodyText; // the line break before a delimiter belongs to the delimiter
        } else {
            AppendBase64(bodyText, 57, &out);
        }
    };
    if (message.attachments.empty()) {
        out += szText;
        appendText();
        return out;
    }
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a message in MIME format.\r\n";
    out += "--" + boundary + "\r\n" + szText;
    appendText();
    for (const LMailAttachment& attachment : message.attachments) {
        std::string type
            = attachment.contentType.empty() ? "application/octet-stream" : ToLower(attachment.contentType);
        if (type.find('/') == std::string::npos || !IsToken(type.substr(0, type.find('/')))
            || !IsToken(type.substr(type.find('/') + 1)))
            type = "application/octet-stream";
        out += "\r\n--" + boundary + "\r\n";
        out += FoldField("Content-Type", type + "; " + NameParameter("name", attachment.fileName));
        out += "Content-Transfer-Encoding: base64\r\n";
        out += FoldField("Content-Disposition", "attachment; " + NameParameter("filename", attachment.fileName));
        out += "\r\n";
        AppendBase64(attachment.data, 57, &out);
    }
    out += "\r\n--" + boundary + "--\r\n";
    return out;
}
