// The numbered commands other programs send over the message interface
// (numbered by LProgramCommandTable), each with its integer result. A text takes the place of an argument of at
// most 260 bytes; a longer one is refused (result 0, nothing done). GUI thread.
#pragma once

#include <cstddef>
#include <string_view>

class LCommandRouter;
class LDictationCommands;
class LSession;

class LProgramCommands {
public:
    static constexpr size_t kMaxTextBytes = 260;

    LProgramCommands(LCommandRouter& router, LSession& session, LDictationCommands& commands);

    // A command not in the table does nothing and returns 0.
    int Run(int nCommand, std::string_view text);

private:
    bool Rename(std::string_view text);

    LCommandRouter& m_router;
    LSession& m_session;
    LDictationCommands& m_commands;
};
