#include "send/LSendFileName.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationKeys.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <ctime>

namespace {

// The text that follows "<NAME>" in the notes, up to the next '<'.
std::string TagValue(const std::string& notes, const std::string& name)
{
    const std::string tag = "<" + name + ">";
    const size_t at = notes.find(tag);
    if (at == std::string::npos)
        return std::string();
    const size_t from = at + tag.size();
    const size_t to = notes.find('<', from);
    std::string value = notes.substr(from, to == std::string::npos ? std::string::npos : to - from);
    if (value.size() > LSendFileName::kMaxChars)
        value.resize(LSendFileName::kMaxChars);
    return value;
}

std::string TokenValue(const std::string& name, const LDictation& dictation, const LSendFileName::Identity& identity)
{
    const DictationHeader& header = dictation.Header();
    if (name == "filenumber")
        return std::to_string(header.uFileNumber);
    if (name == "filename")
        return std::string(dictation.GetName());
    if (name == "filepriority")
        return std::to_string(header.uPriority);
    if (name == "userid")
        return std::to_string(header.uUserID);
    if (name == "username")
        return identity.userName;
    if (name == "usercompany")
        return identity.company;
    static const char* const kDateTokens[] = { "YYYY", "MM", "DD", "HH", "MIN", "SS" };
    for (int i = 0; i < 6; ++i) {
        if (name != kDateTokens[i])
            continue;
        const time_t t = static_cast<time_t>(header.tCreated);
        struct tm local { };
        if (!localtime_r(&t, &local))
            return std::string();
        const int values[]
            = { local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec };
        return tplprintf(i == 0 ? "%.4d" : "%.2d", static_cast<int32_t>(values[i]));
    }
    return TagValue(dictation.GetNotes(), name);
}

} // namespace

std::string LSendFileName::Expand(std::string_view format, const LDictation& dictation, const Identity& identity)
{
    std::string out;
    auto append
        = [&out](std::string_view text) { out.append(text.substr(0, kMaxChars - std::min(out.size(), kMaxChars))); };
    size_t i = 0;
    while (i < format.size() && out.size() < kMaxChars) {
        if (format[i] != '%') {
            out.push_back(format[i++]);
            continue;
        }
        // A token runs to the next percent sign, or to the end of the format.
        const size_t close = format.find('%', i + 1);
        std::string_view name = format.substr(i + 1, close == std::string_view::npos ? close : close - i - 1);
        i = close == std::string_view::npos ? format.size() : close + 1;
        if (name.empty() && close != std::string_view::npos) {
            out.push_back('%');
            continue;
        }
        append(TokenValue(std::string(name.substr(0, kMaxChars)), dictation, identity));
    }
    return out;
}

std::string LSendFileName::Clean(std::string_view text)
{
    static constexpr std::string_view kDropped = "\"*./:<>?\\|";
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x80 || kDropped.find(c) != std::string_view::npos)
            continue;
        if (out.size() >= kMaxChars)
            break;
        out.push_back(c);
    }
    return out;
}

std::string LSendFileName::MakeBaseName(const LDictation& dictation, uint8_t uSendTo)
{
    const std::string format = LDictationEngineSettings::GetRecipient(uSendTo).fileNameFormat;
    const Identity identity { LDictationEngineSettings::GetUserName(), DictationKeys::kUserCompany.Get() };
    std::string base = Clean(Expand(format, dictation, identity));
    if (base.size() > kMaxBaseName)
        base.resize(kMaxBaseName);
    // Spaces alone would make a name that looks empty in every file list.
    if (base.find_first_not_of(' ') == std::string::npos)
        base = std::to_string(dictation.GetFileNumber());
    return base;
}
