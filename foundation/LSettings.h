// The settings store: named text values grouped in sections, in two scopes
// (per-user and machine-wide). Stateless free functions, safe on any thread
// and across processes; each call reads or rewrites the scope's file on its
// own (LSettingsFile.h gives the file's text form). Section and value names
// compare without ASCII case; names must not be empty, and nothing holds a NUL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Longest text a value may hold and still read back: a stored value of this
// many characters plus one or more reads as the default (the 260-byte rule).
inline constexpr size_t kMaxSettingChars = 258;

enum class LSettingsScope { User, Machine };

// Text values; a missing section or value gives the default, an existing empty
// value gives empty text.
std::string GetSettingString(std::string_view section, std::string_view name, std::string_view def);
// Returns false when nothing was stored: the store cannot be written, or the
// text is longer than kMaxSettingChars (it would read back as the default).
bool SetSettingString(std::string_view section, std::string_view name, std::string_view value);
// Several values of one section in one rewrite, so that a crash or a refusal
// leaves all of them old or all of them new; false stores none of them.
bool SetSettingStrings(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values);
// Integers read the leading decimal number ("12ab" is 12, "abc" is 0, clamped to
// the range of int); booleans read false when the text begins with '0'. An
// empty or missing value gives the default. They are written as "%d" and "1"/"0".
int GetSettingInt(std::string_view section, std::string_view name, int def);
bool SetSettingInt(std::string_view section, std::string_view name, int value);
bool GetSettingBool(std::string_view section, std::string_view name, bool def);
bool SetSettingBool(std::string_view section, std::string_view name, bool value);
// True when the value no longer reads (deleting a missing value is no failure).
bool DeleteSetting(std::string_view section, std::string_view name);
// The value names a per-user section holds, for sections whose names are keys.
std::vector<std::string> GetSettingNames(std::string_view section);

// The machine-wide scope. A write that cannot go to the machine file (no right
// to write there) lands in the user's overlay, which reads consult first; a
// value once in the overlay is written there from then on. Deleting removes
// the value from both, and fails when the machine file holds it but cannot be changed.
std::string GetMachineString(std::string_view section, std::string_view name, std::string_view def);
bool SetMachineString(std::string_view section, std::string_view name, std::string_view value);
int GetMachineInt(std::string_view section, std::string_view name, int def);
bool SetMachineInt(std::string_view section, std::string_view name, int value);
bool GetMachineBool(std::string_view section, std::string_view name, bool def);
bool SetMachineBool(std::string_view section, std::string_view name, bool value);
bool DeleteMachineSetting(std::string_view section, std::string_view name);

// Raw access by scope, for callers that must tell a missing value from the
// default (true when the value was read; *pOut then holds it, else the default).
bool RegGetString(
    LSettingsScope scope, std::string_view section, std::string_view name, std::string* pOut, std::string_view def);
bool RegSetString(LSettingsScope scope, std::string_view section, std::string_view name, std::string_view value);

// Where each scope lives; they follow XDG_CONFIG_HOME and TAVRINE_MACHINE_CONFIG
// at every call, so tests and scripts isolate themselves through the environment.
// A boolean's text as the readers take it: empty gives def; "false", "no" and
// "off" in any case are false, as is anything starting with '0' (the stored
// form); anything else is true.
bool ParseSettingBool(std::string_view text, bool def);
// A boolean as a person may write it: "1"/"0", "true"/"false", "yes"/"no",
// "on"/"off" in any case; false with *pValue untouched for anything else.
bool ParseBoolWord(std::string_view text, bool* pValue);

std::string GetUserSettingsPath();
std::string GetMachineSettingsPath();
std::string GetMachineOverlayPath();
