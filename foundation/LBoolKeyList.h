// The boolean settings this program declares: each LSettingKey<bool> adds
// itself as it is constructed, so whoever writes a value by name (the
// command line's `settings set`) knows it is a boolean without a second list.
// Filled during static initialisation; read-only afterwards, from any thread.
#pragma once

#include <string_view>

class LBoolKeyList {
public:
    // Keeps the pointers: a key's names are string literals.
    static void Add(const char* szSection, const char* szName);
    // Section and name compare without case, as the store's do; either scope.
    static bool Contains(std::string_view section, std::string_view name);
};
