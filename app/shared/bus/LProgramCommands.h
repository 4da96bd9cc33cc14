// The numbered commands other programs send over the message interface
// (numbered by LProgramCommandTable), each with its integer result. A text takes the place of an argument of at
// most 260 bytes; a longer one is refused (result 0, nothing done). What is
// not a plain command of the router the program gives as actions. GUI thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

class LCommandRouter;

class LProgramCommands {
public:
    static constexpr size_t kMaxTextBytes = 260;

    // An action left empty does nothing and gives 0.
    struct Actions {
        // Renames the current dictation.
        std::function<void(std::string_view)> rename;
        std::function<void(std::string_view)> appendNoteLine;
        std::function<int()> userId;
        // The current dictation's file number, 0 without one.
        std::function<int()> fileNumber;
        std::function<void()> deleteUnasked;
    };

    LProgramCommands(LCommandRouter& router, Actions actions);

    // A command not in the table does nothing and returns 0.
    int Run(int nCommand, std::string_view text);

private:
    LCommandRouter& m_router;
    Actions m_actions;
};
