// One stored setting: its scope, section, value name and default, declared
// once beside the code that reads it, so that a name is never spelt twice.
// Any thread.
#pragma once

#include "foundation/LSettings.h"

#include <type_traits>

// A value in the per-user scope or, for what belongs to the machine (devices,
// window placement), in the machine scope.
template <typename T> struct LSettingKey {
    bool bMachine;
    const char* szSection;
    const char* szName;
    T defaultValue;

    T Get() const
    {
        if constexpr (std::is_same_v<T, bool>)
            return bMachine ? GetMachineBool(szSection, szName, defaultValue)
                            : GetSettingBool(szSection, szName, defaultValue);
        else
            return bMachine ? GetMachineInt(szSection, szName, defaultValue)
                            : GetSettingInt(szSection, szName, defaultValue);
    }
    bool Set(T value) const
    {
        if constexpr (std::is_same_v<T, bool>)
            return bMachine ? SetMachineBool(szSection, szName, value) : SetSettingBool(szSection, szName, value);
        else
            return bMachine ? SetMachineInt(szSection, szName, value) : SetSettingInt(szSection, szName, value);
    }
};
