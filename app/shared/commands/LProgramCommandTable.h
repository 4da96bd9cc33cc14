// The message interface's commands 0 to 10, as other programs number them in
// Command(int32, string); a numbering of its own, apart from the command
// set's (3 here closes the program, where the set's 3 records). Plain data,
// any thread.
#pragma once

#include "app/shared/commands/LCommandId.h"

class LProgramCommandTable {
public:
    static constexpr int kCount = 11;

    // The command of number n; kSetNoAction outside the table.
    static LCommandId Id(int n);
    // The number other programs send for a command; -1 for none.
    static int Number(LCommandId id);
};
