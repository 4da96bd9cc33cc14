#include "foundation/LSettingsFile.h"

#include <cstdint>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// False on a broken escape or a NUL, which no name or value may hold.
bool Unescape(std::string_view raw, std::string* pOut)
{
    pOut->clear();
    pOut->reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\0')
            return false;
        if (c != '\\') {
            pOut->push_back(c);
            continue;
        }
        if (++i >= raw.size())
            return false;
        switch (raw[i]) {
        case '\\':
            pOut->push_back('\\');
            break;
        case 'n':
            pOut->push_back('\n');
            break;
        case 'r':
            pOut->push_back('\r');
            break;
        case 't':
            pOut->push_back('\t');
            break;
        case 'x': {
            if (raw.size() - i < 3)
                return false;
            int hi = HexDigit(raw[i + 1]);
            int lo = HexDigit(raw[i + 2]);
            if (hi < 0 || lo < 0 || (hi == 0 && lo == 0))
                return false;
            pOut->push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

enum class EscapeKind { Section, Name, Value };

void AppendEscaped(std::string* pOut, std::string_view text, EscapeKind kind)
{
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool atEdge = i == 0 || i + 1 == text.size();
        bool hex = c < 0x20 || c == 0x7f || (c == ' ' && atEdge);
        if (kind != EscapeKind::Value) {
            if (c == '=' || c == ']')
                hex = true;
            if (i == 0 && (c == '[' || c == '#' || c == ';'))
                hex = true;
        }
        if (c == '\\') {
            pOut->append("\\\\");
        } else if (c == '\n') {
            pOut->append("\\n");
        } else if (c == '\r') {
            pOut->append("\\r");
        } else if (c == '\t') {
            pOut->append("\\t");
        } else if (hex) {
            pOut->append("\\x");
            pOut->push_back(kHex[c >> 4]);
            pOut->push_back(kHex[c & 15]);
        } else {
            pOut->push_back(static_cast<char>(c));
        }
    }
}

} // namespace

bool LSettingsFile::IsValidName(std::string_view name)
{
    return !name.empty() && name.find('\0') == std::string_view::npos;
}

std::string LSettingsFile::FoldCase(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

LSettingsFile::Section* LSettingsFile::FindSection(std::string_view name)
{
    auto it = m_sectionIndex.find(FoldCase(name));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const LSettingsFile::Section* LSettingsFile::FindSection(std::string_view name) const
{
    auto it = m_sectionIndex.find(FoldCase(name));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

LSettingsFile::Section& LSettingsFile::AddSection(std::string_view name)
{
    if (Section* pSection = FindSection(name))
        return *pSection;
    m_sectionIndex.emplace(FoldCase(name), m_sections.size());
    m_sections.push_back(Section { std::string(name), {}, {} });
    return m_sections.back();
}

void LSettingsFile::ReindexSections()
{
    m_sectionIndex.clear();
    for (size_t i = 0; i < m_sections.size(); ++i)
        m_sectionIndex.emplace(FoldCase(m_sections[i].szName), i);
}

void LSettingsFile::Reindex(Section& section)
{
    section.index.clear();
    for (size_t i = 0; i < section.values.size(); ++i)
        section.index.emplace(FoldCase(section.values[i].szName), i);
}

size_t LSettingsFile::Parse(std::string_view text)
{
    m_sections.clear();
    m_sectionIndex.clear();
    size_t nSkipped = 0;
    size_t nCurrent = SIZE_MAX; // none until a good header
    std::string name;
    std::string value;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos || !Trim(line.substr(close + 1)).empty()
                || !Unescape(Trim(line.substr(1, close - 1)), &name) || !IsValidName(name)) {
                nCurrent = SIZE_MAX; // its values must not land in the section above
                ++nSkipped;
                continue;
            }
            nCurrent = static_cast<size_t>(&AddSection(name) - m_sections.data());
            continue;
        }
        size_t equals = line.find('=');
        if (nCurrent >= m_sections.size() || equals == std::string_view::npos
            || !Unescape(Trim(line.substr(0, equals)), &name) || !IsValidName(name)
            || !Unescape(Trim(line.substr(equals + 1)), &value)) {
            ++nSkipped;
            continue;
        }
        Section& section = m_sections[nCurrent];
        std::string folded = FoldCase(name);
        if (section.index.count(folded) != 0) {
            ++nSkipped;
            continue;
        }
        section.index.emplace(std::move(folded), section.values.size());
        section.values.push_back(Value { name, value });
    }
    // A header without values says nothing; dropping it keeps the parse equal to what the writer gives back.
    std::erase_if(m_sections, [](const Section& section) { return section.values.empty(); });
    ReindexSections();
    return nSkipped;
}

std::string LSettingsFile::Serialise() const
{
    std::string out = "# Tavrine Dictate settings: [Section] then Name=Value lines; escapes \\\\ \\n \\r \\t \\xHH\n";
    for (const Section& section : m_sections) {
        out.append("\n[");
        AppendEscaped(&out, section.szName, EscapeKind::Section);
        out.append("]\n");
        for (const Value& value : section.values) {
            AppendEscaped(&out, value.szName, EscapeKind::Name);
            out.push_back('=');
            AppendEscaped(&out, value.szValue, EscapeKind::Value);
            out.push_back('\n');
        }
    }
    return out;
}

const std::string* LSettingsFile::Find(std::string_view section, std::string_view name) const
{
    const Section* pSection = FindSection(section);
    if (!pSection)
        return nullptr;
    auto it = pSection->index.find(FoldCase(name));
    return it == pSection->index.end() ? nullptr : &pSection->values[it->second].szValue;
}

std::vector<std::string> LSettingsFile::Names(std::string_view section) const
{
    std::vector<std::string> names;
    if (const Section* pSection = FindSection(section))
        for (const Value& value : pSection->values)
            names.push_back(value.szName);
    return names;
}

bool LSettingsFile::Set(std::string_view section, std::string_view name, std::string_view value)
{
    if (!IsValidName(section) || !IsValidName(name) || value.find('\0') != std::string_view::npos)
        return false;
    Section& target = AddSection(section);
    std::string folded = FoldCase(name);
    auto it = target.index.find(folded);
    if (it != target.index.end()) {
        target.values[it->second].szValue.assign(value);
        return true;
    }
    target.index.emplace(std::move(folded), target.values.size());
    target.values.push_back(Value { std::string(name), std::string(value) });
    return true;
}

bool LSettingsFile::Remove(std::string_view section, std::string_view name)
{
    Section* pSection = FindSection(section);
    if (!pSection)
        return false;
    auto it = pSection->index.find(FoldCase(name));
    if (it == pSection->index.end())
        return false;
    pSection->values.erase(pSection->values.begin() + static_cast<std::ptrdiff_t>(it->second));
    if (!pSection->values.empty()) {
        Reindex(*pSection);
        return true;
    }
    m_sections.erase(m_sections.begin() + (pSection - m_sections.data()));
    ReindexSections();
    return true;
}
