// The two data prompts of a new dictation: sections "Prompt1" and "Prompt2",
// each with the value names below, and its recent answers in
// "Recent<section>Data". The defaults are the ones the new-dictation prompt
// and its check use, so that the Options page shows what is in force. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace PromptKeys {

inline constexpr const char* kSections[2] = { "Prompt1", "Prompt2" };
inline constexpr const char* kAsk = "Prompt";
inline constexpr const char* kText = "Text";
inline constexpr const char* kPrevious = "Previous";
inline constexpr const char* kAsName = "DictationName";
inline constexpr const char* kTag = "XMLTag";
inline constexpr const char* kValidateChars = "ValidateChars";
inline constexpr const char* kMinChars = "MinChars";
inline constexpr const char* kMaxChars = "MaxChars";
inline constexpr const char* kNumberOnly = "NumberOnly";
inline constexpr const char* kRecentCount = "Count";
inline constexpr const char* kRecentItem = "Item %d";

inline constexpr const char* kTextDefaults[2] = { "Enter case or file no", "Enter client or patient name" };
// An empty tag would write "<></>" into the notes.
inline constexpr const char* kTagDefaults[2] = { "fileno", "client" };
inline constexpr int kMinCharsDefault = 2;
inline constexpr int kMaxCharsDefault = 256;

inline std::string RecentSection(std::string_view section)
{
    return "Recent" + std::string(section) + "Data";
}

} // namespace PromptKeys
