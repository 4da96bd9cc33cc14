#include "platform/LAgeHeader.h"

#include "platform/LAgeCrypto.h"

#include <string_view>

namespace {

constexpr size_t kBodyColumns = 64;

bool IsArgumentText(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < 33 || c > 126)
            return false;
    return true;
}

std::vector<std::string_view> SplitSpaces(std::string_view text)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t sp = text.find(' ', start);
        parts.push_back(text.substr(start, sp == std::string_view::npos ? std::string_view::npos : sp - start));
        if (sp == std::string_view::npos)
            return parts;
        start = sp + 1;
    }
}

// Line-by-line reading over the bytes; a line's end must be found within them.
class LineReader {
public:
    LineReader(const uint8_t* pData, size_t nData)
        : m_text(reinterpret_cast<const char*>(pData), nData)
    {
    }
    // False when no line feed follows (yet).
    bool Next(std::string_view* pLine)
    {
        const size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos)
            return false;
        *pLine = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        return true;
    }
    size_t Pos() const { return m_pos; }
    std::string_view Rest() const { return m_text.substr(m_pos); }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

} // namespace

LAgeHeader::Parse LAgeHeader::Read(const uint8_t* pData, size_t nData, std::vector<LAgeStanza>* pStanzas,
    std::vector<uint8_t>* pMac, size_t* pMacOffset, size_t* pHeaderBytes)
{
    const bool bTruncated = nData < kMaxBytes;
    LineReader reader(pData, nData < kMaxBytes ? nData : kMaxBytes);
    const Parse more = bTruncated ? Parse::NeedMore : Parse::Bad;
    const std::string_view version(kVersionLine);
    std::string_view line;
    if (!reader.Next(&line)) {
        const std::string_view rest = reader.Rest();
        // Only bytes that could still become the version line are worth waiting for.
        if (rest.size() <= version.size() && version.substr(0, rest.size()) == rest)
            return more;
        return Parse::NotAge;
    }
    if (line != version)
        return line.starts_with("age-encryption.org/") ? Parse::Bad : Parse::NotAge;

    std::vector<LAgeStanza> stanzas;
    for (;;) {
        const size_t lineStart = reader.Pos();
        if (!reader.Next(&line)) {
            // "---" and its MAC may still be on their way.
            return more;
        }
        if (line.starts_with("---")) {
            if (line.size() < 4 || line[3] != ' ')
                return Parse::Bad;
            std::optional<std::vector<uint8_t>> mac = LAgeCrypto::Base64Decode(line.substr(4));
            if (!mac || mac->size() != 32)
                return Parse::Bad;
            *pStanzas = std::move(stanzas);
            *pMac = std::move(*mac);
            *pMacOffset = lineStart + 3;
            *pHeaderBytes = reader.Pos();
            return Parse::Ok;
        }
        if (!line.starts_with("-> "))
            return Parse::Bad;
        const std::vector<std::string_view> words = SplitSpaces(line.substr(3));
        LAgeStanza stanza;
        for (std::string_view word : words)
            if (!IsArgumentText(word))
                return Parse::Bad;
        stanza.type = words[0];
        stanza.args.assign(words.begin() + 1, words.end());
        // The body ends with its first line shorter than a full one.
        for (;;) {
            if (!reader.Next(&line))
                return more;
            if (line.size() > kBodyColumns)
                return Parse::Bad;
            std::optional<std::vector<uint8_t>> part = LAgeCrypto::Base64Decode(line);
            if (!part)
                return Parse::Bad;
            stanza.body.insert(stanza.body.end(), part->begin(), part->end());
            if (line.size() < kBodyColumns)
                break;
        }
        stanzas.push_back(std::move(stanza));
    }
}

std::string LAgeHeader::WriteUntilMac(const std::vector<LAgeStanza>& stanzas)
{
    std::string text(kVersionLine);
    text += '\n';
    for (const LAgeStanza& stanza : stanzas) {
        text += "-> " + stanza.type;
        for (const std::string& arg : stanza.args)
            text += ' ' + arg;
        text += '\n';
        const std::string body = LAgeCrypto::Base64Encode(stanza.body.data(), stanza.body.size());
        size_t pos = 0;
        for (; body.size() - pos >= kBodyColumns; pos += kBodyColumns)
            text += body.substr(pos, kBodyColumns) + '\n';
        text += body.substr(pos) + '\n';
    }
    text += "---";
    return text;
}

std::string LAgeHeader::WriteMacLine(const uint8_t* pMac, size_t nMac)
{
    return " " + LAgeCrypto::Base64Encode(pMac, nMac) + "\n";
}
