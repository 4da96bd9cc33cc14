// Plain data without Qt: tavrine-cli builds this file too, to take command
// names on its command line.
#include "app/desktop/commands/LCommandId.h"

#include <array>
#include <strings.h>

std::string_view CommandSetName(LCommandId id)
{
    static constexpr std::array<std::string_view, kCommandSetCount> kNames
        = { "No Action", "Open Tavrine Dictate", "Minimize Tavrine Dictate", "Record", "Play", "Go to start",
              "Go to end", "Rewind", "Fast Forward", "Create New Dictation", "Send Dictation", "Send High Priority",
              "Record Overwrite", "Record Insert", "Record at End", "Step Back 5s", "Step Forward 5s" };
    const int n = static_cast<int>(id);
    return n >= 0 && n < kCommandSetCount ? kNames[static_cast<size_t>(n)] : std::string_view();
}

int CommandSetNumber(std::string_view name)
{
    for (int n = 0; n < kCommandSetCount; ++n) {
        std::string_view own = CommandSetName(static_cast<LCommandId>(n));
        if (own.size() == name.size() && strncasecmp(own.data(), name.data(), own.size()) == 0)
            return n;
    }
    return -1;
}
