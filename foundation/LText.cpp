#include "foundation/LText.h"

#include <cstring>
#include <vector>

std::string tplprintf(const char* format, std::initializer_list<LFmtArg> args)
{
    std::string out;
    if (!format)
        return out;
    auto next = args.begin();
    auto take = [&]() -> const LFmtArg* { return next != args.end() ? &*next++ : nullptr; };
    auto number = [](const LFmtArg* arg, int width) {
        int64_t n = arg ? (arg->IsText() ? 0 : arg->Number()) : 0;
        std::string digits = std::to_string(n < 0 ? -n : n);
        if (static_cast<int>(digits.size()) < width)
            digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
        return (n < 0 ? "-" : "") + digits;
    };
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        char c = *++p;
        if (c == '\0')
            break;
        if (c == 's') {
            const LFmtArg* arg = take();
            if (arg && !arg->IsText())
                out += number(arg, 0);
            else
                out += (arg && arg->Text()) ? arg->Text() : "(null)";
        } else if (c == 'd') {
            out += number(take(), 0);
        } else if (c == '.' && p[1] >= '2' && p[1] <= '9' && p[2] == 'd') {
            out += number(take(), p[1] - '0');
            p += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string_view CutUtf8(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t n = maxBytes;
    // Step back over continuation bytes to the start of the character that
    // would be split.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

void CopyToField(char* pField, size_t size, std::string_view text)
{
    if (size == 0)
        return;
    std::memset(pField, 0, size);
    std::string_view cut = CutUtf8(text, size - 1);
    std::memcpy(pField, cut.data(), cut.size());
}

std::string_view FieldText(const char* pField, size_t size)
{
    const void* nul = std::memchr(pField, 0, size);
    return std::string_view(pField, nul ? static_cast<size_t>(static_cast<const char*>(nul) - pField) : size);
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

int32_t ParseLeadingInt(std::string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return static_cast<int32_t>(value);
}
