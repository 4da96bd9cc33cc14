// The Python SMTP servers of the mail tests on a loopback port: aiosmtpd
// (tests/send/smtp_server.py, which parses each message with Python's email
// package) and a scripted one (tests/send/smtp_script.py).
#pragma once

#include "tests/support/TestSupport.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <string>

namespace test {

inline std::string ReadText(const std::string& path)
{
    return ReadFileText(path);
}

inline bool HaveAiosmtpd()
{
    return RunShell("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null") == 0;
}

using Fields = std::map<std::string, std::string>;

// One of the Python servers (smtp_server.py: aiosmtpd; smtp_script.py: scripted)
// on a loopback port, ended with the object.
class PyServer {
public:
    PyServer(const TempDir& dir, const char* szScript, const std::string& args)
        : m_out(dir.File("in" + std::to_string(++s_nCount)))
    {
        std::string pid;
        RunShell("mkdir -p " + m_out + "; /usr/bin/python3 " TAVRINE_SOURCE_DIR "/tests/send/" + szScript + " " + args
                + " --out " + m_out + "/received --port-file " + m_out + "/port >" + m_out + "/log 2>&1 & echo $!",
            &pid);
        m_pid = std::stoi(pid);
        for (int i = 0; i < 200 && !nPort; ++i, usleep(50000))
            nPort = std::atoi(ReadText(m_out + "/port").c_str());
    }
    ~PyServer() { kill(m_pid, SIGTERM); }
    std::string Received() const { return ReadText(m_out + "/received"); }
    // aiosmtpd's folder of parsed messages, and whether it misbehaved mid-message (--cut-after).
    std::set<std::string> Messages() const { return FileNames(m_out + "/received"); }
    bool Cut() const { return access((m_out + "/received.cut").c_str(), F_OK) == 0; }
    // The n-th message aiosmtpd received, once it is there: fields, body, attachment, the whole mail.
    Fields Message(int n) const
    {
        std::string folder = m_out + "/received/" + std::to_string(n);
        for (int i = 0; i < 100 && access(folder.c_str(), F_OK) != 0; ++i)
            usleep(50000);
        Fields fields { { "body", ReadText(folder + "/body.bin") }, { "att0.bin", ReadText(folder + "/att0.bin") },
            { "raw.eml", ReadText(folder + "/raw.eml") } };
        std::ifstream in(folder + "/fields.txt");
        for (std::string line; std::getline(in, line);)
            fields[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
        return fields;
    }
    int nPort = 0;

private:
    static inline int s_nCount = 0;
    std::string m_out;
    int m_pid = 0;
};

// The scripted server with replies "KEY=TEXT".
inline PyServer Scripted(const TempDir& dir, std::initializer_list<std::string> replies)
{
    std::string args;
    for (const std::string& reply : replies)
        args += " --reply " + ShellQuote(reply);
    return PyServer(dir, "smtp_script.py", args);
}

} // namespace test
