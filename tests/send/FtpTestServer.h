// A real FTP server for the delivery tests: tests/support/ftp_server.py
// (pyftpdlib) on a free loopback port, plain or with TLS_FTPHandler, with
// its command log. Started and ended by the test's thread.
#pragma once

#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class FtpTestServer {
public:
    static bool Available()
    {
        return test::RunShell("/usr/bin/python3 -c 'import pyftpdlib, OpenSSL' 2>/dev/null") == 0;
    }

    // certPem: certificate and key in one file for TLS; empty for plain FTP.
    explicit FtpTestServer(const std::string& certPem = {})
        : m_root(m_dir.File("root"))
        , m_log(m_dir.File("server.log"))
    {
        test::RunShell("mkdir -p " + test::ShellQuote(m_root));
        std::string out = m_dir.File("server.out");
        std::vector<std::string> args
            = { "/usr/bin/python3", std::string(TAVRINE_SOURCE_DIR) + "/tests/support/ftp_server.py", "--root", m_root,
                  "--log", m_log, "--max-seconds", "120" };
        if (!certPem.empty())
            args.insert(args.end(), { "--cert", certPem });
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; m_pid && i < 200 && m_uPort == 0; ++i) {
            std::ifstream in(out);
            std::string word;
            if (in >> word >> m_uPort && word == "PORT")
                break;
            m_uPort = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    ~FtpTestServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }

    unsigned Port() const { return m_uPort; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_uPort); }
    const std::string& Root() const { return m_root; }
    std::string Log() const
    {
        std::ifstream in(m_log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The log's lines that begin with prefix.
    std::vector<std::string> LogLines(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        std::istringstream in(Log());
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    // Whether a log line's "files=" names the file (as a path from the root).
    static bool Lists(const std::string& line, const std::string& name)
    {
        std::istringstream in(line.substr(line.find("files=") + 6));
        for (std::string entry; std::getline(in, entry, ',');)
            if (entry == name)
                return true;
        return false;
    }

private:
    test::TempDir m_dir;
    std::string m_root;
    std::string m_log;
    pid_t m_pid = 0;
    unsigned m_uPort = 0;
};
