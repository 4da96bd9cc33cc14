// One stored setting: its scope, section, value name and default, declared
// once beside the code that reads it, so that a name is never spelt twice.
// Any thread.
#pragma once

#include "foundation/LBoolKeyList.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <string>
#include <string_view>
#include <type_traits>

// A value in the per-user scope or, for what belongs to the machine (devices,
// window placement), in the machine scope. T is int, bool or std::string; a
// text's default is a literal, so that a key stays a constant.
template <typename T> struct LSettingKey {
    using Default = std::conditional_t<std::is_same_v<T, std::string>, const char*, T>;

    bool bMachine;
    const char* szSection;
    const char* szName;
    Default defaultValue;

    constexpr LSettingKey(bool machine, const char* section, const char* name, Default def) requires(
        !std::is_same_v<T, bool>)
        : bMachine(machine)
        , szSection(section)
        , szName(name)
        , defaultValue(def)
    {
    }
    // Not constexpr: a boolean key lists itself, so it is declared `inline
    // const` and is never a temporary.
    LSettingKey(bool machine, const char* section, const char* name, Default def) requires std::is_same_v<T, bool>
        : bMachine(machine), szSection(section), szName(name), defaultValue(def)
    {
        LBoolKeyList::Add(section, name);
    }

    T Get() const { return GetOr(defaultValue); }
    // For the one reader that needs another default than the declared one.
    T GetOr(Default def) const
    {
        if constexpr (std::is_same_v<T, std::string>)
            return bMachine ? GetMachineString(szSection, szName, def) : GetSettingString(szSection, szName, def);
        else if constexpr (std::is_same_v<T, bool>)
            return bMachine ? GetMachineBool(szSection, szName, def) : GetSettingBool(szSection, szName, def);
        else
            return bMachine ? GetMachineInt(szSection, szName, def) : GetSettingInt(szSection, szName, def);
    }
    // True when a value is stored, even an empty one; *pOut gets it or the default.
    bool Read(std::string* pOut) const
    {
        return RegGetString(
            bMachine ? LSettingsScope::Machine : LSettingsScope::User, szSection, szName, pOut, TextDefault());
    }
    template <typename V> bool Set(const V& value) const
    {
        if constexpr (std::is_same_v<T, std::string>)
            return bMachine ? SetMachineString(szSection, szName, value) : SetSettingString(szSection, szName, value);
        else if constexpr (std::is_same_v<T, bool>)
            return bMachine ? SetMachineBool(szSection, szName, value) : SetSettingBool(szSection, szName, value);
        else
            return bMachine ? SetMachineInt(szSection, szName, value) : SetSettingInt(szSection, szName, value);
    }
    bool Delete() const
    {
        return bMachine ? DeleteMachineSetting(szSection, szName) : DeleteSetting(szSection, szName);
    }

private:
    std::string_view TextDefault() const
    {
        if constexpr (std::is_same_v<T, std::string>)
            return defaultValue;
        else
            return {};
    }
};

using LTextKey = LSettingKey<std::string>;

// A value whose name carries a number ("Item %d", "Key%dCommand"): At(n) is
// the key of one of them.
template <typename T> struct LNumberedKey {
    // Key() makes temporaries, which a boolean key must not be.
    static_assert(!std::is_same_v<T, bool>);
    bool bMachine;
    const char* szSection;
    const char* szNameFormat;
    typename LSettingKey<T>::Default defaultValue;

    // Holds the formatted name, so it may be copied and kept.
    struct Bound {
        bool bMachine;
        const char* szSection;
        std::string name;
        typename LSettingKey<T>::Default defaultValue;

        LSettingKey<T> Key() const { return { bMachine, szSection, name.c_str(), defaultValue }; }
        T Get() const { return Key().Get(); }
        template <typename V> bool Set(const V& value) const { return Key().Set(value); }
        bool Delete() const { return Key().Delete(); }
    };
    Bound At(int n) const { return { bMachine, szSection, tplprintf(szNameFormat, int32_t { n }), defaultValue }; }
};
