#include "platform/LImapClient.h"

#include "platform/LIPSocket.h"
#include "platform/LImapReply.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

uint64_t NowMs()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

// The response code's first word ("COPYUID" of "COPYUID 7 3 9").
bool CodeIs(const std::string& code, std::string_view word)
{
    return SameText(std::string_view(code).substr(0, code.find(' ')), word);
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    for (size_t nAt = 0; nAt < text.size();) {
        const size_t nEnd = std::min(text.find(' ', nAt), text.size());
        if (nEnd > nAt)
            words.push_back(text.substr(nAt, nEnd - nAt));
        nAt = nEnd + 1;
    }
    return words;
}

bool ParseNumber(const std::string& text, uint64_t* pNumber)
{
    LImapValue value;
    value.text = text;
    return value.ToNumber(pNumber);
}

// A header field name fit to stand in a command as an atom.
bool IsFieldName(std::string_view name)
{
    return !name.empty() && name.size() <= 200 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
}

// "1:3,7" for a sorted list of UIDs.
std::string UidSet(std::vector<uint32_t> uids)
{
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    std::string set;
    for (size_t i = 0; i < uids.size();) {
        size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1)
            ++j;
        set += (set.empty() ? "" : ",") + std::to_string(uids[i]) + (j > i ? ":" + std::to_string(uids[j]) : "");
        i = j + 1;
    }
    return set;
}

// "08-Dec-2026 19:30:00 +0100" as seconds since the epoch; 0 when unreadable.
int64_t ParseInternalDate(const std::string& text)
{
    static const char* const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    int nDay = 0, nYear = 0, nHour = 0, nMinute = 0, nSecond = 0, nZone = 0;
    char month[4] = {}, sign = '+';
    if (std::sscanf(
            text.c_str(), " %d-%3s-%d %d:%d:%d %c%d", &nDay, month, &nYear, &nHour, &nMinute, &nSecond, &sign, &nZone)
        != 8)
        return 0;
    const auto it
        = std::find_if(std::begin(kMonths), std::end(kMonths), [&](const char* m) { return SameText(m, month); });
    if (it == std::end(kMonths))
        return 0;
    std::tm tm {};
    tm.tm_mday = nDay;
    tm.tm_mon = static_cast<int>(it - std::begin(kMonths));
    tm.tm_year = nYear - 1900;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    tm.tm_sec = nSecond;
    const int64_t nOffset = (nZone / 100 * 3600 + nZone % 100 * 60) * (sign == '-' ? -1 : 1);
    return static_cast<int64_t>(timegm(&tm)) - nOffset;
}

// Header lines, unfolded, into fields.
void ParseHeader(const std::string& block, std::vector<LImapClient::HeaderField>* pFields)
{
    size_t nAt = 0;
    while (nAt < block.size()) {
        size_t nEnd = nAt;
        // A field runs on while the next line begins with white space.
        for (;;) {
            nEnd = std::min(block.find('\n', nEnd), block.size());
            if (nEnd + 1 < block.size() && (block[nEnd + 1] == ' ' || block[nEnd + 1] == '\t'))
                ++nEnd;
            else
                break;
        }
        std::string line;
        for (size_t i = nAt; i < nEnd; ++i)
            if (block[i] != '\r' && block[i] != '\n')
                line.push_back(block[i]);
        nAt = nEnd + 1;
        const size_t nColon = line.find(':');
        if (line.empty() || nColon == std::string::npos || nColon == 0)
            continue;
        std::string value = line.substr(nColon + 1);
        value.erase(0, std::min(value.find_first_not_of(" \t"), value.size()));
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        pFields->push_back({ line.substr(0, nColon), value });
    }
}

// UTF-8 into code points; false when it is not well formed.
bool DecodeUtf8(std::string_view text, std::vector<char32_t>* pCodes)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int nMore = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
        if (nMore < 0 || i + static_cast<size_t>(nMore) >= text.size())
            return false;
        char32_t code = nMore == 0 ? c : c & (0x3f >> nMore);
        for (int k = 1; k <= nMore; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (cc & 0x3f);
        }
        static const char32_t kLeast[] = { 0, 0x80, 0x800, 0x10000 };
        if (code < kLeast[nMore] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        pCodes->push_back(code);
        i += static_cast<size_t>(nMore) + 1;
    }
    return true;
}

void AppendUtf8(char32_t code, std::string* pOut)
{
    if (code < 0x80) {
        pOut->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        pOut->push_back(static_cast<char>(0xc0 | (code >> 6)));
        pOut->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else if (code < 0x10000) {
        pOut->push_back(static_cast<char>(0xe0 | (code >> 12)));
        pOut->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        pOut->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else {
        pOut->push_back(static_cast<char>(0xf0 | (code >> 18)));
        pOut->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
        pOut->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        pOut->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    }
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

} // namespace

std::string LImapClient::MessageSummary::Field(std::string_view name) const
{
    for (const HeaderField& field : fields)
        if (SameText(field.name, name))
            return field.value;
    return {};
}

LImapClient::LImapClient() = default;

LImapClient::~LImapClient()
{
    Drop();
}

void LImapClient::SetStopTest(StopTest stopTest)
{
    m_stopTest = std::move(stopTest);
}

bool LImapClient::Fail(Error error, std::string text)
{
    m_error = error;
    m_errorText = std::move(text);
    // After a broken, stopped or unreadable exchange the stream's place in
    // the dialogue is unknown, so the session cannot go on.
    if (error == Error::Stopped || error == Error::TimedOut || error == Error::TooLarge || error == Error::BadReply
        || error == Error::Failed || error == Error::TlsFailed || error == Error::CannotConnect)
        Drop();
    return false;
}

void LImapClient::Drop()
{
    if (m_pSocket)
        m_pSocket->Close();
    m_pSocket.reset();
    m_buffer.clear();
    m_nBufferAt = 0;
    m_bLoggedOn = false;
    m_bSelected = false;
    m_uUidValidity = 0;
}

bool LImapClient::HasCapability(std::string_view name) const
{
    return std::any_of(
        m_capabilities.begin(), m_capabilities.end(), [&](const std::string& c) { return SameText(c, name); });
}

bool LImapClient::SplitServer(std::string_view server, std::string* pHost, unsigned* pPort)
{
    std::string_view host = server, port;
    if (!server.empty() && server.front() == '[') {
        const size_t nClose = server.find(']');
        if (nClose == std::string_view::npos)
            return false;
        host = server.substr(1, nClose - 1);
        const std::string_view rest = server.substr(nClose + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() == 1))
            return false;
        port = rest.empty() ? rest : rest.substr(1);
    } else if (const size_t nColon = server.find(':'); nColon != std::string_view::npos) {
        host = server.substr(0, nColon);
        port = server.substr(nColon + 1);
        if (port.empty() || port.find(':') != std::string_view::npos)
            return false;
    }
    if (host.empty() || host.size() > 253 || std::any_of(host.begin(), host.end(), [](char c) {
            return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f || c == '/';
        }))
        return false;
    uint64_t nPort = 993;
    if (!port.empty() && (!ParseNumber(std::string(port), &nPort) || nPort == 0 || nPort > 65535))
        return false;
    *pHost = std::string(host);
    *pPort = static_cast<unsigned>(nPort);
    return true;
}

std::string LImapClient::EncodeFolderName(std::string_view utf8)
{
    std::vector<char32_t> codes;
    if (!DecodeUtf8(utf8, &codes)) {
        codes.clear();
        for (char c : utf8)
            codes.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char32_t>(c) : 0xfffd);
    }
    std::string out;
    for (size_t i = 0; i < codes.size();) {
        if (codes[i] >= 0x20 && codes[i] <= 0x7e) {
            out += codes[i] == '&' ? "&-" : std::string(1, static_cast<char>(codes[i]));
            ++i;
            continue;
        }
        std::vector<uint8_t> bytes;
        for (; i < codes.size() && !(codes[i] >= 0x20 && codes[i] <= 0x7e); ++i) {
            std::vector<char16_t> units;
            if (codes[i] >= 0x10000) {
                units.push_back(static_cast<char16_t>(0xd800 + ((codes[i] - 0x10000) >> 10)));
                units.push_back(static_cast<char16_t>(0xdc00 + ((codes[i] - 0x10000) & 0x3ff)));
            } else {
                units.push_back(static_cast<char16_t>(codes[i]));
            }
            for (char16_t u : units) {
                bytes.push_back(static_cast<uint8_t>(u >> 8));
                bytes.push_back(static_cast<uint8_t>(u & 0xff));
            }
        }
        out += '&';
        uint32_t nBits = 0, nAcc = 0;
        for (uint8_t b : bytes) {
            nAcc = (nAcc << 8) | b;
            nBits += 8;
            while (nBits >= 6) {
                nBits -= 6;
                out += kBase64[(nAcc >> nBits) & 0x3f];
            }
        }
        if (nBits > 0)
            out += kBase64[(nAcc << (6 - nBits)) & 0x3f];
        out += '-';
    }
    return out;
}

bool LImapClient::DecodeFolderName(std::string_view encoded, std::string* pUtf8)
{
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            return false;
        if (c != '&') {
            out.push_back(c);
            continue;
        }
        const size_t nEnd = encoded.find('-', i + 1);
        if (nEnd == std::string_view::npos)
            return false; // an unterminated shift
        if (nEnd == i + 1) {
            out.push_back('&');
            i = nEnd;
            continue;
        }
        uint32_t nAcc = 0, nBits = 0;
        std::vector<char16_t> units;
        uint16_t nUnit = 0;
        int nUnitBytes = 0;
        for (size_t k = i + 1; k < nEnd; ++k) {
            const char* p = std::strchr(kBase64, encoded[k]);
            if (p == nullptr || *p == '\0')
                return false;
            nAcc = (nAcc << 6) | static_cast<uint32_t>(p - kBase64);
            nBits += 6;
            if (nBits >= 8) {
                nBits -= 8;
                nUnit = static_cast<uint16_t>((nUnit << 8) | ((nAcc >> nBits) & 0xff));
                if (++nUnitBytes == 2) {
                    units.push_back(nUnit);
                    nUnit = 0;
                    nUnitBytes = 0;
                }
            }
        }
        // Left-over bits must be few and zero, and no half a unit may remain.
        if (nBits >= 6 || (nAcc & ((1u << nBits) - 1)) != 0 || nUnitBytes != 0 || units.empty())
            return false;
        for (size_t k = 0; k < units.size(); ++k) {
            char32_t code = units[k];
            if (code >= 0xd800 && code <= 0xdbff) {
                if (k + 1 >= units.size() || units[k + 1] < 0xdc00 || units[k + 1] > 0xdfff)
                    return false;
                code = 0x10000 + ((code - 0xd800) << 10) + (units[k + 1] - 0xdc00);
                ++k;
            } else if (code >= 0xdc00 && code <= 0xdfff) {
                return false;
            } else if (code >= 0x20 && code <= 0x7e) {
                return false; // printable ASCII must stand as itself
            }
            AppendUtf8(code, &out);
        }
        i = nEnd;
    }
    *pUtf8 = std::move(out);
    return true;
}

bool LImapClient::Send(std::string_view bytes, uint64_t deadlineMs)
{
    const uint64_t now = NowMs();
    if (!m_pSocket)
        return Fail(Error::NotConnected);
    const int nResult = m_pSocket->ProcessSend(
        bytes.data(), bytes.size(), static_cast<uint32_t>(deadlineMs > now ? deadlineMs - now : 1));
    if (nResult == LIPSocket::kStopped)
        return Fail(Error::Stopped);
    if (nResult != LIPSocket::kDone)
        return Fail(NowMs() >= deadlineMs ? Error::TimedOut : Error::Failed, m_pSocket->LastError());
    return true;
}

bool LImapClient::Read(LImapResponse* pResponse, uint64_t deadlineMs, uint64_t maxLiteral, bool* pbGot)
{
    if (pbGot)
        *pbGot = false;
    if (!m_pSocket)
        return Fail(Error::NotConnected);
    LImapReply::Limits limits;
    limits.maxLineBytes = m_options.maxLineBytes;
    limits.maxLiteralBytes = maxLiteral ? maxLiteral : m_options.maxLineBytes;
    limits.maxValues = m_options.maxItems + 64;
    size_t nNeed = 0;
    for (;;) {
        const std::string_view data = std::string_view(m_buffer).substr(m_nBufferAt);
        if (data.size() >= nNeed) {
            size_t nUsed = 0;
            const LImapReply::Result result = LImapReply::Parse(data, limits, pResponse, &nUsed);
            if (result == LImapReply::Result::Done) {
                m_nBufferAt += nUsed;
                if (m_nBufferAt == m_buffer.size() || m_nBufferAt > (1u << 20)) {
                    m_buffer.erase(0, m_nBufferAt);
                    m_nBufferAt = 0;
                }
                if (pbGot)
                    *pbGot = true;
                return true;
            }
            if (result == LImapReply::Result::TooLarge)
                return Fail(Error::TooLarge, "the server's reply is larger than allowed");
            if (result == LImapReply::Result::Bad)
                return Fail(Error::BadReply, "the server's reply could not be read");
            nNeed = nUsed;
        }
        const uint64_t now = NowMs();
        if (now >= deadlineMs) {
            if (pbGot)
                return true;
            return Fail(Error::TimedOut, "the server did not answer in time");
        }
        char chunk[65536];
        size_t nGot = 0;
        const int nResult
            = m_pSocket->ProcessRecvReady(chunk, sizeof chunk, static_cast<uint32_t>(deadlineMs - now), &nGot);
        if (nResult == LIPSocket::kStopped)
            return Fail(Error::Stopped);
        if (nResult != LIPSocket::kDone) {
            if (NowMs() >= deadlineMs)
                continue; // the deadline's own answer above
            return Fail(Error::Failed, m_pSocket->LastError());
        }
        if (m_nBufferAt > 0 && m_nBufferAt == m_buffer.size()) {
            m_buffer.clear();
            m_nBufferAt = 0;
        }
        m_buffer.append(chunk, nGot);
    }
}

LImapClient::Piece LImapClient::String(const std::string& text) const
{
    const bool bPlain = text.size() < 1000 && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
    });
    if (!bPlain)
        return { text, true };
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return { quoted + "\"", false };
}

bool LImapClient::Run(
    const std::vector<Piece>& pieces, const Untagged& onUntagged, LImapResponse* pFinal, uint64_t maxLiteral)
{
    if (!m_pSocket)
        return Fail(Error::NotConnected, "not connected");
    const uint64_t deadline = NowMs() + m_options.commandMs;
    const std::string tag = "t" + std::to_string(++m_nTag);
    size_t nUntagged = 0;
    // Untagged responses while the command runs: a bounded number.
    auto take = [&](const LImapResponse& response) {
        if (++nUntagged > m_options.maxItems + 1000)
            return Fail(Error::TooLarge, "the server sent too many responses");
        if (response.status == "BYE")
            return Fail(Error::Failed, "the server closed the session: " + response.text);
        m_bChanged = Changed(response) || m_bChanged;
        if (!response.IsStatus() && !response.values.empty() && response.values[0].IsAtom("CAPABILITY"))
            ReadCapabilities("CAPABILITY " + [&] {
                std::string words;
                for (size_t i = 1; i < response.values.size(); ++i)
                    words += response.values[i].text + " ";
                return words;
            }());
        return onUntagged ? onUntagged(response) : true;
    };
    std::string out = tag + " ";
    for (const Piece& piece : pieces) {
        if (!piece.bLiteral) {
            out += piece.text;
            continue;
        }
        if (HasCapability("LITERAL+")) {
            out += "{" + std::to_string(piece.text.size()) + "+}\r\n";
            out += piece.text;
            continue;
        }
        out += "{" + std::to_string(piece.text.size()) + "}\r\n";
        if (!Send(out, deadline))
            return false;
        out.clear();
        // The server's go-ahead, or its refusal of the whole command.
        for (;;) {
            if (!Read(pFinal, deadline, 0))
                return false;
            if (pFinal->tag == "+")
                break;
            if (pFinal->tag == tag)
                return true;
            if (pFinal->tag != "*")
                return Fail(Error::BadReply, "the server answered another command");
            if (!take(*pFinal))
                return false;
        }
        out = piece.text;
    }
    out += "\r\n";
    if (!Send(out, deadline))
        return false;
    for (;;) {
        if (!Read(pFinal, deadline, maxLiteral))
            return false;
        if (pFinal->tag == tag)
            return pFinal->IsStatus() || Fail(Error::BadReply, "the server's reply could not be read");
        if (pFinal->tag != "*")
            return Fail(Error::BadReply, "the server answered another command");
        if (!take(*pFinal))
            return false;
    }
}

bool LImapClient::Expect(const LImapResponse& response, Error error)
{
    if (response.status == "OK")
        return true;
    return Fail(error, response.text.empty() ? response.status : response.text);
}

bool LImapClient::RunOk(const std::vector<Piece>& pieces, const Untagged& onUntagged, uint64_t maxLiteral)
{
    LImapResponse final;
    return Run(pieces, onUntagged, &final, maxLiteral) && Expect(final, Error::Refused);
}

bool LImapClient::ReadCapabilities(const std::string& code)
{
    if (!CodeIs(code, "CAPABILITY"))
        return false;
    m_capabilities = Words(code);
    m_capabilities.erase(m_capabilities.begin());
    return true;
}

bool LImapClient::Connect(const std::string& server)
{
    Drop();
    std::string host;
    unsigned nPort = 0;
    if (!SplitServer(server, &host, &nPort))
        return Fail(Error::BadServerName, server);
    m_pSocket = std::make_unique<LIPSocket>([this] { return m_stopTest && m_stopTest(); });
    const int nConnect = m_pSocket->ProcessConnect(host, static_cast<uint16_t>(nPort), m_options.connectMs, true);
    if (nConnect == LIPSocket::kStopped)
        return Fail(Error::Stopped);
    if (nConnect != LIPSocket::kDone)
        return Fail(Error::CannotConnect, m_pSocket->LastError());
    if (nPort == 993 || m_bImplicitTls) {
        const int nTls = m_pSocket->ProcessStartTls(host, m_options.connectMs);
        if (nTls != LIPSocket::kDone)
            return Fail(nTls == LIPSocket::kStopped ? Error::Stopped : Error::TlsFailed, m_pSocket->LastError());
    }
    LImapResponse greeting;
    if (!Read(&greeting, NowMs() + m_options.connectMs, 0))
        return false;
    if (greeting.tag != "*" || (greeting.status != "OK" && greeting.status != "PREAUTH"))
        return Fail(greeting.status == "BYE" ? Error::Refused : Error::BadReply, greeting.text);
    m_capabilities.clear();
    if (!ReadCapabilities(greeting.code) && !RunOk({ { "CAPABILITY" } }))
        return false;
    if (!m_pSocket->IsTls()) {
        if (HasCapability("STARTTLS")) {
            if (!RunOk({ { "STARTTLS" } }))
                return false;
            // Whatever came before the handshake must not pass as sent under TLS.
            m_buffer.clear();
            m_nBufferAt = 0;
            const int nTls = m_pSocket->ProcessStartTls(host, m_options.connectMs);
            if (nTls != LIPSocket::kDone)
                return Fail(nTls == LIPSocket::kStopped ? Error::Stopped : Error::TlsFailed, m_pSocket->LastError());
            m_capabilities.clear();
            if (!RunOk({ { "CAPABILITY" } }))
                return false;
        } else if (!m_bAllowPlain) {
            Fail(Error::NoTls, "the server offers no TLS (STARTTLS)");
            Drop();
            return false;
        }
    }
    return true;
}

bool LImapClient::LogOn(const std::string& server, const std::string& userName, const std::string& password)
{
    if (!Connect(server))
        return false;
    LImapResponse final;
    if (!Run({ { "LOGIN " }, String(userName), { " " }, String(password) }, {}, &final))
        return false;
    if (final.status != "OK") {
        Fail(Error::LogOnDenied, final.text);
        Drop();
        return false;
    }
    m_capabilities.clear();
    if (!RunOk({ { "CAPABILITY" } }))
        return false;
    // The separator: "(flags) sep name" of LIST "" "".
    char cSeparator = '/';
    if (!RunOk({ { "LIST \"\" \"\"" } }, [&](const LImapResponse& response) {
            const auto& v = response.values;
            if (v.size() >= 3 && v[0].IsAtom("LIST")) {
                if (v[2].kind == LImapValue::Kind::Nil)
                    cSeparator = '\0';
                else if (v[2].text.size() == 1)
                    cSeparator = v[2].text[0];
            }
            return true;
        }))
        return false;
    m_cSeparator = cSeparator;
    m_bLoggedOn = true;
    m_error = Error::None;
    m_errorText.clear();
    return true;
}

void LImapClient::LogOut()
{
    if (m_pSocket && m_pSocket->IsOpen()) {
        const uint32_t uSaved = m_options.commandMs;
        m_options.commandMs = std::min<uint32_t>(uSaved, 2000);
        LImapResponse final;
        Run({ { "LOGOUT" } }, {}, &final);
        m_options.commandMs = uSaved;
    }
    Drop();
}

bool LImapClient::ServerName(const std::string& folder, std::string* pName)
{
    std::string name;
    size_t nAt = 0;
    do {
        const size_t nEnd = std::min(folder.find('/', nAt), folder.size());
        const std::string level = folder.substr(nAt, nEnd - nAt);
        std::vector<char32_t> codes;
        const bool bBad = level.empty() || level == "." || level == ".." || !DecodeUtf8(level, &codes)
            || (m_cSeparator != '\0' && level.find(m_cSeparator) != std::string::npos)
            || std::any_of(codes.begin(), codes.end(), [](char32_t c) { return c < 0x20 || c == 0x7f; });
        if (bBad)
            return Fail(Error::Refused, "unusable folder name: " + folder);
        if (!name.empty()) {
            if (m_cSeparator == '\0')
                return Fail(Error::Refused, "the server has no folder levels");
            name += m_cSeparator;
        }
        name += EncodeFolderName(level);
        nAt = nEnd + 1;
    } while (nAt <= folder.size());
    *pName = name;
    return true;
}

bool LImapClient::CreateFolder(const std::string& folder)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    std::string full;
    if (!ServerName(folder, &full))
        return false;
    // Each level in turn: a server need not make the parents itself.
    for (size_t nEnd = 0; nEnd != std::string::npos;) {
        nEnd = full.find(m_cSeparator ? m_cSeparator : '\0', nEnd == 0 ? 0 : nEnd + 1);
        const std::string name = full.substr(0, nEnd);
        LImapResponse final;
        if (!Run({ { "CREATE " }, String(name) }, {}, &final))
            return false;
        if (final.status == "OK" || CodeIs(final.code, "ALREADYEXISTS"))
            continue;
        // A server that says NO without the code: the folder may be there all the same.
        bool bThere = false;
        if (!Exists(name, &bThere))
            return false;
        if (!bThere)
            return Fail(Error::Refused, final.text);
    }
    return true;
}

bool LImapClient::Exists(const std::string& name, bool* pThere)
{
    *pThere = false;
    return RunOk({ { "LIST \"\" " }, String(name) }, [&](const LImapResponse& response) {
        *pThere = *pThere || (!response.values.empty() && response.values[0].IsAtom("LIST"));
        return true;
    });
}

bool LImapClient::ListFolders(const std::string& folder, std::vector<std::string>* pFolders)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    std::string name;
    if (!folder.empty() && !ServerName(folder, &name))
        return false;
    const std::string pattern = folder.empty() ? "*" : name + m_cSeparator + "*";
    pFolders->clear();
    return RunOk({ { "LIST \"\" " }, String(pattern) }, [&](const LImapResponse& response) {
        const auto& v = response.values;
        if (v.size() < 4 || !v[0].IsAtom("LIST") || !v[3].IsText())
            return true;
        if (pFolders->size() >= m_options.maxItems)
            return Fail(Error::TooLarge, "too many folders");
        std::string path;
        size_t nAt = 0;
        const std::string& raw = v[3].text;
        do {
            const size_t nEnd = m_cSeparator ? std::min(raw.find(m_cSeparator, nAt), raw.size()) : raw.size();
            std::string level;
            if (!DecodeFolderName(std::string_view(raw).substr(nAt, nEnd - nAt), &level)
                || level.find('/') != std::string::npos || level.empty())
                return true; // not a name this program could have made
            path += (path.empty() ? "" : "/") + level;
            nAt = nEnd + 1;
        } while (nAt <= raw.size());
        pFolders->push_back(path);
        return true;
    });
}

bool LImapClient::Select(const std::string& folder, bool bReadOnly)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    std::string name;
    if (!ServerName(folder, &name))
        return false;
    m_bSelected = false;
    m_uUidValidity = 0;
    uint32_t uValidity = 0;
    uint64_t nExists = 0;
    LImapResponse final;
    if (!Run(
            { { bReadOnly ? "EXAMINE " : "SELECT " }, String(name) },
            [&](const LImapResponse& response) {
                const std::vector<std::string> code = Words(response.code);
                uint64_t n = 0;
                if (code.size() == 2 && SameText(code[0], "UIDVALIDITY") && ParseNumber(code[1], &n))
                    uValidity = static_cast<uint32_t>(n);
                if (response.values.size() == 2 && response.values[1].IsAtom("EXISTS"))
                    response.values[0].ToNumber(&nExists);
                return true;
            },
            &final))
        return false;
    if (final.status != "OK") {
        // Not every server says NONEXISTENT: a folder the list lacks is missing.
        bool bThere = true;
        if (!CodeIs(final.code, "NONEXISTENT") && !Exists(name, &bThere))
            return false;
        return Fail(bThere ? Error::Refused : Error::NoFolder, final.text);
    }
    m_uUidValidity = uValidity;
    m_nExists = nExists;
    m_bSelected = true;
    m_selectedFolder = folder;
    return true;
}

bool LImapClient::Append(const std::string& folder, std::string_view message, uint32_t* pUid)
{
    return AppendFlagged(folder, message, {}, pUid);
}

bool LImapClient::AppendFlagged(
    const std::string& folder, std::string_view message, const std::string& flags, uint32_t* pUid)
{
    if (pUid)
        *pUid = 0;
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (message.size() > m_options.maxMessageBytes)
        return Fail(Error::TooLarge, "the message is larger than allowed");
    std::string name;
    if (!ServerName(folder, &name))
        return false;
    LImapResponse final;
    if (!Run({ { "APPEND " }, String(name), { flags.empty() ? " " : " (" + flags + ") " },
                 { std::string(message), true } },
            {}, &final))
        return false;
    if (final.status != "OK")
        return Fail(CodeIs(final.code, "TRYCREATE") ? Error::NoFolder : Error::Refused, final.text);
    const std::vector<std::string> code = Words(final.code);
    uint64_t nUid = 0;
    if (pUid && code.size() == 3 && SameText(code[0], "APPENDUID") && ParseNumber(code[2], &nUid))
        *pUid = static_cast<uint32_t>(nUid);
    return true;
}

bool LImapClient::NeedSelected()
{
    return m_bLoggedOn && m_bSelected ? true : Fail(Error::NotConnected, "no folder selected");
}

bool LImapClient::FetchSummaries(const std::vector<std::string>& fieldNames, std::vector<MessageSummary>* pSummaries,
    const std::vector<uint32_t>& uids)
{
    pSummaries->clear();
    if (!NeedSelected())
        return false;
    std::string items = "UID RFC822.SIZE INTERNALDATE";
    if (!fieldNames.empty()) {
        items += " BODY.PEEK[HEADER.FIELDS (";
        for (size_t i = 0; i < fieldNames.size(); ++i) {
            if (!IsFieldName(fieldNames[i]))
                return Fail(Error::Refused, "unusable header field name: " + fieldNames[i]);
            items += (i ? " " : "") + fieldNames[i];
        }
        items += ")]";
    }
    // A bounded command line: long UID lists go in parts.
    std::vector<std::string> sets;
    if (uids.empty()) {
        sets.push_back("1:*");
    } else {
        std::vector<uint32_t> sorted = uids;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size(); i += 500)
            sets.push_back(UidSet({ sorted.begin() + static_cast<long>(i),
                sorted.begin() + static_cast<long>(std::min(i + 500, sorted.size())) }));
    }
    for (const std::string& set : sets) {
        if (!RunOk({ { "UID FETCH " + set + " (" + items + ")" } }, [&](const LImapResponse& response) {
                const auto& v = response.values;
                if (v.size() != 3 || !v[1].IsAtom("FETCH") || v[2].kind != LImapValue::Kind::List)
                    return true;
                MessageSummary summary;
                bool bHeader = fieldNames.empty();
                const auto& f = v[2].items;
                for (size_t i = 0; i + 1 < f.size(); i += 2) {
                    uint64_t n = 0;
                    if (f[i].IsAtom("UID") && f[i + 1].ToNumber(&n))
                        summary.uid = static_cast<uint32_t>(n);
                    else if (f[i].IsAtom("RFC822.SIZE") && f[i + 1].ToNumber(&n))
                        summary.nSize = n;
                    else if (f[i].IsAtom("INTERNALDATE") && f[i + 1].IsText())
                        summary.tInternal = ParseInternalDate(f[i + 1].text);
                    else if (f[i].kind == LImapValue::Kind::Atom
                        && SameText(f[i].text.substr(0, 18), "BODY[HEADER.FIELDS")) {
                        bHeader = true;
                        if (f[i + 1].kind == LImapValue::Kind::String)
                            ParseHeader(f[i + 1].text, &summary.fields);
                    }
                }
                if (summary.uid == 0 || !bHeader)
                    return true; // a flag change the server told in passing
                if (pSummaries->size() >= m_options.maxItems)
                    return Fail(Error::TooLarge, "too many messages");
                pSummaries->push_back(std::move(summary));
                return true;
            }))
            return false;
    }
    return true;
}

bool LImapClient::SearchHeaders(const std::vector<HeaderField>& criteria, std::vector<uint32_t>* pUids)
{
    std::vector<Piece> pieces;
    for (const HeaderField& field : criteria) {
        if (!IsFieldName(field.name)) {
            pUids->clear();
            return Fail(Error::Refused, "unusable header field name: " + field.name);
        }
        pieces.push_back({ " HEADER " + field.name + " " });
        pieces.push_back(String(field.value));
    }
    if (criteria.empty())
        pieces.push_back({ " ALL" });
    return Search(pieces, pUids);
}

bool LImapClient::Search(std::vector<Piece> criteria, std::vector<uint32_t>* pUids)
{
    pUids->clear();
    if (!NeedSelected())
        return false;
    bool bAscii = true;
    for (const Piece& piece : criteria)
        bAscii = bAscii && std::all_of(piece.text.begin(), piece.text.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        });
    criteria.insert(criteria.begin(), { bAscii ? "UID SEARCH" : "UID SEARCH CHARSET UTF-8" });
    return RunOk(criteria, [&](const LImapResponse& response) {
        const auto& v = response.values;
        if (v.empty() || !v[0].IsAtom("SEARCH"))
            return true;
        for (size_t i = 1; i < v.size(); ++i) {
            uint64_t n = 0;
            if (!v[i].ToNumber(&n) || n == 0 || n > UINT32_MAX)
                return Fail(Error::BadReply, "the server's search answer could not be read");
            if (pUids->size() >= m_options.maxItems)
                return Fail(Error::TooLarge, "too many messages");
            pUids->push_back(static_cast<uint32_t>(n));
        }
        return true;
    });
}

bool LImapClient::FetchMessage(uint32_t uid, std::string* pMessage)
{
    pMessage->clear();
    if (!NeedSelected())
        return false;
    bool bFound = false;
    if (!RunOk(
            { { "UID FETCH " + std::to_string(uid) + " (UID BODY.PEEK[])" } },
            [&](const LImapResponse& response) {
                const auto& v = response.values;
                if (v.size() != 3 || !v[1].IsAtom("FETCH") || v[2].kind != LImapValue::Kind::List)
                    return true;
                const auto& f = v[2].items;
                uint64_t nUid = 0;
                for (size_t i = 0; i + 1 < f.size(); i += 2)
                    if (f[i].IsAtom("UID"))
                        f[i + 1].ToNumber(&nUid);
                for (size_t i = 0; i + 1 < f.size() && nUid == uid; i += 2)
                    if (f[i].IsAtom("BODY[]") && f[i + 1].kind == LImapValue::Kind::String) {
                        *pMessage = f[i + 1].text;
                        bFound = true;
                    }
                return true;
            },
            m_options.maxMessageBytes))
        return false;
    return bFound || Fail(Error::Refused, "the message is no longer there");
}

bool LImapClient::CanMove(const std::string& folder, uint32_t* pNewUid, std::string* pName)
{
    if (pNewUid)
        *pNewUid = 0;
    if (!NeedSelected())
        return false;
    if (!HasCapability("MOVE"))
        return Fail(Error::NoMove, "the server lacks the MOVE capability, so a claim could not be atomic");
    return ServerName(folder, pName);
}

LImapClient::MoveResult LImapClient::Move(uint32_t uid, const std::string& folder, uint32_t* pNewUid)
{
    std::string name;
    if (!CanMove(folder, pNewUid, &name))
        return MoveResult::Failed;
    bool bCopied = false, bExpunged = false;
    auto onCode = [&](const std::string& code) {
        const std::vector<std::string> words = Words(code);
        uint64_t nNew = 0;
        if (words.size() == 4 && SameText(words[0], "COPYUID")) {
            bCopied = true;
            if (pNewUid && words[2] == std::to_string(uid) && ParseNumber(words[3], &nNew))
                *pNewUid = static_cast<uint32_t>(nNew);
        }
    };
    LImapResponse final;
    if (!Run(
            { { "UID MOVE " + std::to_string(uid) + " " }, String(name) },
            [&](const LImapResponse& response) {
                onCode(response.code);
                if (response.values.size() >= 2
                    && (response.values[1].IsAtom("EXPUNGE") || response.values[0].IsAtom("VANISHED")))
                    bExpunged = true;
                return true;
            },
            &final))
        return MoveResult::Failed;
    onCode(final.code);
    if (final.status == "OK") {
        // With UIDPLUS a move that moved something always says COPYUID.
        if (bCopied || (!HasCapability("UIDPLUS") && bExpunged))
            return MoveResult::Moved;
        return MoveResult::Gone;
    }
    if (CodeIs(final.code, "EXPUNGEISSUED"))
        return MoveResult::Gone;
    Fail(CodeIs(final.code, "TRYCREATE") ? Error::NoFolder : Error::Refused, final.text);
    return MoveResult::Failed;
}

// Dovecot's MOVE copies before it expunges, so two sessions moving the same
// message at once can both copy it, and a conditional flag store does not
// exclude them either (it is checked against each session's own view). What
// a server does assign in one order for everyone is UIDs: each claimer
// appends a ticket naming the message, and the ticket with the lowest UID
// wins. After our APPEND the session's view holds every ticket appended
// before ours, so every claimer sees the same lowest one. A ticket left by a
// claimer cut off before its move is lifted once it is staleClaimMs older
// than a later one (the server's clock for both), or at once by a claimer
// with the same destination (the same typist again).
LImapClient::MoveResult LImapClient::Claim(uint32_t uid, const std::string& folder, uint32_t* pNewUid)
{
    std::string into;
    if (!CanMove(folder, pNewUid, &into))
        return MoveResult::Failed;
    std::vector<MessageSummary> still;
    if (!FetchSummaries({}, &still, { uid }))
        return MoveResult::Failed;
    if (still.empty())
        return MoveResult::Gone;
    // Angle brackets keep the server's substring search from taking 12 for 123.
    const std::string key = "<" + std::to_string(m_uUidValidity) + "-" + std::to_string(uid) + ">";
    char token[33];
    std::snprintf(token, sizeof token, "%016llx%016llx", static_cast<unsigned long long>(NowMs()),
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count())
            ^ reinterpret_cast<uintptr_t>(this));
    std::string destination;
    for (unsigned char c : into) // the server's name is ASCII; kept to what a field may hold
        destination += (c >= 0x21 && c < 0x7f) ? static_cast<char>(c) : '_';
    const uint64_t start = NowMs();
    const std::string ticket = std::string(kTicketField) + ": " + key + "\r\nX-Tavrine-Claimer: " + token
        + "\r\nX-Tavrine-Claim-Into: " + destination + "\r\n\r\n";
    // Where another typist's live ticket is there already, this claim is lost
    // without one of its own.
    std::vector<Ticket> before;
    if (!Tickets(key, &before))
        return MoveResult::Failed;
    if (!before.empty() && before.front().into != destination) {
        // Only a ticket that may be stale is worth one of ours, which then
        // judges its age by the server's clock alone.
        const int64_t nAge = static_cast<int64_t>(time(nullptr)) - before.front().tInternal;
        if (nAge < static_cast<int64_t>(m_options.staleClaimMs / 1000))
            return MoveResult::Gone;
    }
    if (!AppendFlagged(m_selectedFolder, ticket, kTicketKeyword))
        return MoveResult::Failed;
    auto drop = [this, &key](bool bAll, const std::string& mine) {
        std::vector<Ticket> tickets;
        if (!Tickets(key, &tickets))
            return;
        std::vector<uint32_t> uids;
        for (const Ticket& t : tickets)
            if (bAll || t.token == mine)
                uids.push_back(t.uid);
        if (!uids.empty())
            Delete(uids);
    };
    for (int nPass = 0; nPass < 3; ++nPass) {
        std::vector<Ticket> tickets;
        if (!Tickets(key, &tickets))
            return MoveResult::Failed;
        const auto mine
            = std::find_if(tickets.begin(), tickets.end(), [&token](const Ticket& t) { return t.token == token; });
        if (mine == tickets.end())
            return MoveResult::Gone; // lifted as stale by another claimer: we took too long
        const Ticket& first = tickets.front();
        if (first.token != token) {
            const bool bOurs = first.into == destination;
            const bool bStale
                = mine->tInternal - first.tInternal >= static_cast<int64_t>(m_options.staleClaimMs / 1000);
            if (!bOurs && !bStale) {
                drop(false, token);
                return MoveResult::Gone;
            }
            if (!Delete({ first.uid }))
                return MoveResult::Failed;
            continue;
        }
        if (NowMs() - start > m_options.staleClaimMs / 2) {
            // Another claimer may already count our ticket as left behind.
            drop(false, token);
            Fail(Error::Refused, "the claim took too long and was given up");
            return MoveResult::Failed;
        }
        const MoveResult result = Move(uid, folder, pNewUid);
        if (result != MoveResult::Failed)
            drop(true, {});
        return result;
    }
    drop(false, token);
    return MoveResult::Gone;
}

bool LImapClient::Tickets(const std::string& key, std::vector<Ticket>* pTickets)
{
    pTickets->clear();
    std::vector<uint32_t> uids;
    // The keyword is in the index, so the server reads the headers of tickets alone.
    if (!Search(
            { { " KEYWORD " + std::string(kTicketKeyword) + " HEADER " + kTicketField + " " }, String(key) }, &uids))
        return false;
    if (uids.empty())
        return true;
    std::vector<MessageSummary> summaries;
    if (!FetchSummaries({ kTicketField, "X-Tavrine-Claimer", "X-Tavrine-Claim-Into" }, &summaries, uids))
        return false;
    for (const MessageSummary& summary : summaries) {
        if (summary.Field(kTicketField) != key)
            continue;
        pTickets->push_back({ summary.uid, summary.tInternal, summary.Field("X-Tavrine-Claimer"),
            summary.Field("X-Tavrine-Claim-Into") });
    }
    std::sort(pTickets->begin(), pTickets->end(), [](const Ticket& a, const Ticket& b) { return a.uid < b.uid; });
    return true;
}

bool LImapClient::Delete(const std::vector<uint32_t>& uids)
{
    if (!NeedSelected())
        return false;
    if (uids.empty())
        return true;
    const std::string set = UidSet(uids);
    if (!RunOk({ { "UID STORE " + set + " +FLAGS.SILENT (\\Deleted)" } }))
        return false;
    return RunOk({ { HasCapability("UIDPLUS") ? "UID EXPUNGE " + set : "EXPUNGE" } });
}

bool LImapClient::Changed(const LImapResponse& response)
{
    const auto& v = response.values;
    uint64_t n = 0;
    if (v.size() == 2 && v[1].IsAtom("EXISTS") && v[0].ToNumber(&n)) {
        const bool bChanged = n != m_nExists;
        m_nExists = n;
        return bChanged;
    }
    if (v.size() == 2 && v[1].IsAtom("EXPUNGE")) {
        if (m_nExists > 0)
            --m_nExists;
        return true;
    }
    return !v.empty() && v[0].IsAtom("VANISHED");
}

bool LImapClient::WaitForChange(uint32_t uMaxMs, bool* pChanged)
{
    *pChanged = false;
    if (!NeedSelected())
        return false;
    const uint64_t end = NowMs() + uMaxMs;
    if (!HasCapability("IDLE")) {
        for (;;) {
            m_bChanged = false;
            if (!RunOk({ { "NOOP" } }))
                return false;
            *pChanged = m_bChanged;
            if (*pChanged || NowMs() >= end)
                return true;
            // A second between polls, in slices the stop test can end.
            for (const uint64_t wake = std::min<uint64_t>(end, NowMs() + 1000); NowMs() < wake;) {
                if (m_stopTest && m_stopTest())
                    return Fail(Error::Stopped);
                struct timespec ts {
                    0, 50 * 1000 * 1000
                };
                nanosleep(&ts, nullptr);
            }
        }
    }
    const std::string tag = "t" + std::to_string(++m_nTag);
    const uint64_t commandDeadline = NowMs() + m_options.commandMs;
    if (!Send(tag + " IDLE\r\n", commandDeadline))
        return false;
    LImapResponse response;
    for (;;) {
        if (!Read(&response, commandDeadline, 0))
            return false;
        if (response.tag == "+")
            break;
        if (response.tag == tag)
            return Expect(response, Error::Refused);
        *pChanged = Changed(response) || *pChanged;
    }
    size_t nUntagged = 0;
    while (!*pChanged && NowMs() < end) {
        bool bGot = false;
        if (!Read(&response, end, 0, &bGot))
            return false;
        if (!bGot)
            break;
        if (response.tag != "*" || ++nUntagged > m_options.maxItems + 1000)
            return Fail(response.tag != "*" ? Error::BadReply : Error::TooLarge, "the server misbehaved while idle");
        if (response.status == "BYE")
            return Fail(Error::Failed, "the server closed the session: " + response.text);
        *pChanged = Changed(response) || *pChanged;
    }
    const uint64_t doneDeadline = NowMs() + m_options.commandMs;
    if (!Send("DONE\r\n", doneDeadline))
        return false;
    for (nUntagged = 0;;) {
        if (!Read(&response, doneDeadline, 0))
            return false;
        if (response.tag == tag)
            return Expect(response, Error::Refused);
        if (response.tag != "*" || ++nUntagged > m_options.maxItems + 1000)
            return Fail(response.tag != "*" ? Error::BadReply : Error::TooLarge, "the server misbehaved while idle");
        *pChanged = Changed(response) || *pChanged;
    }
}
