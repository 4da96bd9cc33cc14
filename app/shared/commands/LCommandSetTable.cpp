#include "app/shared/commands/LCommandSetTable.h"

#include <array>
#include <cstddef>
#include <string>
#include <strings.h>

namespace {

using Id = LCommandId;

struct Row {
    Id id;
    std::string_view name;
};

// Indexed by the stored number.
constexpr std::array<Row, LCommandSetTable::kCount> kRows = { {
    { Id::kSetNoAction, "No Action" },
    { Id::kSetOpen, "Open Tavrine Dictate" },
    { Id::kSetMinimize, "Minimize Tavrine Dictate" },
    { Id::kRecord, "Record" },
    { Id::kPlay, "Play" },
    { Id::kGoStart, "Go to start" },
    { Id::kGoEnd, "Go to end" },
    { Id::kRewind, "Rewind" },
    { Id::kFastForward, "Fast Forward" },
    { Id::kNew, "Create New Dictation" },
    { Id::kSetSend, "Send Dictation" },
    { Id::kSetSendHighPriority, "Send High Priority" },
    { Id::kRecordOverwrite, "Record Overwrite" },
    { Id::kRecordInsert, "Record Insert" },
    { Id::kRecordAtEnd, "Record at End" },
    { Id::kSetStepBack, "Step Back 5s" },
    { Id::kSetStepForward, "Step Forward 5s" },
} };

// The two rows that name the program, as the program in force names them.
std::string g_open = "Open Tavrine Dictate";
std::string g_minimize = "Minimize Tavrine Dictate";

} // namespace

void LCommandSetTable::SetProgramName(std::string_view program)
{
    g_open = "Open " + std::string(program);
    g_minimize = "Minimize " + std::string(program);
}

LCommandId LCommandSetTable::Id(int n)
{
    return n >= 0 && n < kCount ? kRows[static_cast<size_t>(n)].id : LCommandId::kSetNoAction;
}

int LCommandSetTable::Number(LCommandId id)
{
    for (size_t n = 0; n < kRows.size(); ++n)
        if (kRows[n].id == id)
            return static_cast<int>(n);
    return -1;
}

std::string_view LCommandSetTable::Name(LCommandId id)
{
    if (id == Id::kSetOpen)
        return g_open;
    if (id == Id::kSetMinimize)
        return g_minimize;
    const int n = Number(id);
    return n < 0 ? std::string_view() : kRows[static_cast<size_t>(n)].name;
}

int LCommandSetTable::NumberOfName(std::string_view name)
{
    for (size_t n = 0; n < kRows.size(); ++n) {
        const std::string_view own = Name(kRows[n].id);
        if (own.size() == name.size() && strncasecmp(own.data(), name.data(), own.size()) == 0)
            return static_cast<int>(n);
    }
    return -1;
}
