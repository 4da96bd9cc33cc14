// The command set 0 to 16: the numbers that hot keys ("Key%dCommand"),
// controller buttons ("Control1" to "Control4"), the message interface's
// Press and Release and tavrine-cli's "command" store or send. Settings keep
// these numbers, so none of them may ever change. Plain data, any thread.
#pragma once

#include "app/shared/commands/LCommandId.h"

#include <string_view>

class LCommandSetTable {
public:
    static constexpr int kCount = 17;

    // The command of number n; kSetNoAction for 0 and outside the set.
    static LCommandId Id(int n);
    // The number of a command of the set; -1 for any other.
    static int Number(LCommandId id);
    // The name lists show ("Record"); empty outside the set.
    static std::string_view Name(LCommandId id);
    // The program the window commands name ("Open Tavrine Scribe" where the
    // typist's program raises its own window); "Tavrine Dictate" until set.
    // Set once at start, before any other thread reads a name.
    static void SetProgramName(std::string_view program);
    // The number of a shown name, in any case ("record" is 3); -1 for none.
    static int NumberOfName(std::string_view name);
};
