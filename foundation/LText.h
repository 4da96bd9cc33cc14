// Text helpers: the bounded formatter used for every message that embeds
// user data, and cutting UTF-8 text to a field's size. Stateless, any thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// One argument of tplprintf: a text (null prints "(null)") or an integer.
class LFmtArg {
public:
    LFmtArg(const char* sz)
        : m_isText(true)
        , m_text(sz)
    {
    }
    LFmtArg(const std::string& s)
        : m_isText(true)
        , m_text(s.c_str())
    {
    }
    LFmtArg(int32_t n)
        : m_isText(false)
        , m_number(n)
    {
    }
    LFmtArg(uint32_t n)
        : m_isText(false)
        , m_number(static_cast<int32_t>(n))
    {
    }

    bool IsText() const { return m_isText; }
    const char* Text() const { return m_text; }
    int32_t Number() const { return m_number; }

private:
    bool m_isText;
    const char* m_text = nullptr;
    int32_t m_number = 0;
};

// Formats with "%s", "%d", "%.Nd" (N from 2 to 9, zero-padded) and '%'
// followed by any other character, which prints that character. The result
// is never cut. A null format gives empty text; missing arguments print as
// "(null)" or 0.
std::string tplprintf(const char* format, std::initializer_list<LFmtArg> args);

template <class... Args> std::string tplprintf(const char* format, const Args&... args)
{
    return tplprintf(format, { LFmtArg(args)... });
}

// The longest prefix of text that fits maxBytes without splitting a UTF-8 character.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);
// Copies text into a fixed field of size bytes (terminator included), cut at
// a character boundary and zero-filled.
void CopyToField(char* pField, size_t size, std::string_view text);
// The text of a fixed field up to its first NUL, never past the field.
std::string_view FieldText(const char* pField, size_t size);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Leading decimal integer with an optional sign; 0 without one; clamps on overflow.
int32_t ParseLeadingInt(std::string_view text);
