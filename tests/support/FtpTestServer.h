// tests/support/ftp_server.py (pyftpdlib) for the tests that deliver by FTP.
#pragma once

#include "tests/support/TestSupport.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace test {

// tests/support/ftp_server.py on a free loopback port, with its log.
class FtpServer {
public:
    // options: more of ftp_server.py's arguments.
    explicit FtpServer(const std::string& certPem = {}, const std::string& options = {})
    {
        std::string out;
        test::RunShell("mkdir " + ShellQuote(Root())
                + " && /usr/bin/python3 " TAVRINE_SOURCE_DIR "/tests/support/ftp_server.py --max-seconds 120 --root "
                + ShellQuote(Root()) + " --log " + ShellQuote(m_dir.File("log"))
                + (certPem.empty() ? "" : " --cert " + ShellQuote(certPem)) + " " + options + " > "
                + ShellQuote(m_dir.File("out")) + " 2>/dev/null & echo $!",
            &out);
        m_pid = std::atoi(out.c_str());
        for (int i = 0; i < 600 && m_port.empty(); ++i) { // up to 15 s on a loaded machine
            std::ifstream in(m_dir.File("out"));
            std::string word;
            if (!(in >> word >> m_port))
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    ~FtpServer() { ::kill(m_pid, SIGTERM); }
    std::string Server() const { return "127.0.0.1:" + m_port; }
    std::string Root() const { return m_dir.File("root"); }
    // The log's lines that begin with prefix.
    std::vector<std::string> Lines(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        std::ifstream in(m_dir.File("log"));
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }
    // Whether a log line's "files=" holds the path.
    static bool Lists(const std::string& line, const std::string& path)
    {
        return ("," + line.substr(line.find("files=") + 6) + ",").find("," + path + ",") != std::string::npos;
    }

private:
    test::TempDir m_dir;
    pid_t m_pid = 0;
    std::string m_port;
};

} // namespace test
