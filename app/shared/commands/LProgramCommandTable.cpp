#include "app/shared/commands/LProgramCommandTable.h"

#include <array>
#include <cstddef>

namespace {

using Id = LCommandId;

// Indexed by the number other programs send.
constexpr std::array<Id, LProgramCommandTable::kCount> kRows = {
    Id::kProgramAlive, // answers 1
    Id::kSetOpen,
    Id::kSetMinimize,
    Id::kExit,
    Id::kNew,
    Id::kProgramRename,
    Id::kProgramAddNoteLine,
    Id::kProgramUserId,
    Id::kProgramFileNumber,
    Id::kSend,
    Id::kProgramDeleteUnasked,
};

} // namespace

LCommandId LProgramCommandTable::Id(int n)
{
    return n >= 0 && n < kCount ? kRows[static_cast<size_t>(n)] : LCommandId::kSetNoAction;
}

int LProgramCommandTable::Number(LCommandId id)
{
    for (size_t n = 0; n < kRows.size(); ++n)
        if (kRows[n] == id)
            return static_cast<int>(n);
    return -1;
}
