// A private X server for tests that need a real display (the hot keys
// grabbed): Xvfb on a free display with another client holding the focus.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

// A private Xvfb (it picks a free display and writes its number to a pipe)
// with another client, xmessage, holding the focus; DISPLAY names it until Stop.
class PrivateXServer {
public:
    ~PrivateXServer() { Stop(); }
    bool Start()
    {
        if (const char* szDisplay = getenv("DISPLAY"))
            m_savedDisplay = std::string(szDisplay);
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_serverPid = fork();
        if (m_serverPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "640x480x24",
                static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd pfd { fds[0], POLLIN, 0 };
        char c = 0;
        while (poll(&pfd, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return test::RunShell("xmessage -name tavrinefocus focus >/dev/null 2>&1 & echo $!", &m_focusPid) == 0
            && test::RunShell("timeout 5 xdotool search --sync --classname tavrinefocus windowfocus") == 0;
    }
    void Stop()
    {
        if (!m_focusPid.empty())
            test::RunShell("kill " + m_focusPid);
        m_focusPid.clear();
        if (m_serverPid > 0) {
            kill(m_serverPid, SIGTERM);
            waitpid(m_serverPid, nullptr, 0);
            if (m_savedDisplay)
                setenv("DISPLAY", m_savedDisplay->c_str(), 1);
            else
                unsetenv("DISPLAY");
        }
        m_serverPid = -1;
    }

private:
    pid_t m_serverPid = -1;
    std::string m_focusPid;
    std::optional<std::string> m_savedDisplay;
};

} // namespace test

#define REQUIRE_X_TOOLS()                                                                                              \
    TEST_REQUIRE_TOOL("Xvfb");                                                                                         \
    TEST_REQUIRE_TOOL("xdotool");                                                                                      \
    TEST_REQUIRE_TOOL("xmessage")
