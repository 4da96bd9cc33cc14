#include "scribe/LScribeJob.h"

#include "dictation/LDictationHeader.h"

#include <tuple>

std::string LScribeJob::PriorityText() const
{
    return ::PriorityText(uPriority);
}

bool LScribeJob::Before(const LScribeJob& a, const LScribeJob& b)
{
    return std::make_tuple(-static_cast<int>(a.uPriority), a.tCreated, a.szId)
        < std::make_tuple(-static_cast<int>(b.uPriority), b.tCreated, b.szId);
}

namespace {

bool IsTagChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

} // namespace

std::vector<std::pair<std::string, std::string>> LScribeJob::ParseFields(std::string_view notes)
{
    std::vector<std::pair<std::string, std::string>> fields;
    size_t pos = 0;
    while (pos < notes.size()) {
        size_t open = notes.find('<', pos);
        if (open == std::string_view::npos)
            break;
        size_t end = open + 1;
        while (end < notes.size() && IsTagChar(notes[end]))
            ++end;
        if (end == open + 1 || end >= notes.size() || notes[end] != '>') {
            pos = open + 1;
            continue;
        }
        std::string_view tag = notes.substr(open + 1, end - open - 1);
        std::string close = "</" + std::string(tag) + ">";
        size_t closeAt = notes.find(close, end + 1);
        if (closeAt == std::string_view::npos) {
            pos = end + 1;
            continue;
        }
        fields.emplace_back(std::string(tag), std::string(notes.substr(end + 1, closeAt - end - 1)));
        pos = closeAt + close.size();
    }
    return fields;
}
