// Helpers shared by every test executable: private temporary folders, an
// isolated settings and data environment, and the rule for outside tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace test {

// A private folder under $TMPDIR, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and TAVRINE_MACHINE_CONFIG into a
// private folder for the life of the object, so tests never touch real settings.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    const TempDir& Dir() const { return m_dir; }
    std::string ConfigHome() const { return m_dir.File("config"); }
    std::string DataHome() const { return m_dir.File("data"); }
    std::string MachineConfig() const { return m_dir.File("etc/machine.conf"); }

private:
    TempDir m_dir;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

// True when the program is on the PATH. Use through TEST_REQUIRE_TOOL.
bool HaveTool(const std::string& name);
// In CI every tool is installed, so a missing one is a failure there.
bool InCI();

// Runs a command line through /bin/sh (tests only) and returns its exit status;
// the standard output is captured into *pOut when given.
int RunShell(const std::string& command, std::string* pOut = nullptr);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data);
std::string ReadFileText(const std::string& path);
// Creates the folders above the file as needed.
bool WriteFileText(const std::string& path, const std::string& text);
// The names of the entries of a folder.
std::set<std::string> FileNames(const std::string& folder);
std::string ShellQuote(const std::string& text);

// Runs body in a forked child, which exits 0 when body returns true. A file-size
// limit makes writes past it fail, as on a full disk, instead of raising SIGXFSZ.
pid_t Fork(const std::function<bool()>& body, uint64_t uFileSizeLimit = 0);
// The child's exit status once it ended, -1 when a signal ended it.
int Reap(pid_t pid);
// As Reap, but a child still running after the time is killed and reaped: -2.
int ReapWithin(pid_t pid, int timeoutMs);

// A self-signed certificate for subjectAltName san ("IP:127.0.0.1,DNS:localhost") in dir: name.crt, its key
// name.key and both in name.pem, whose path it gives (empty when openssl failed).
std::string MakeTestCertificate(const TempDir& dir, const std::string& name, const std::string& san);

// Polls (every 2 ms) until the condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// A test with its own settings and data environment and a private folder.
class EnvTest : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    TempDir dir;
};

} // namespace test

#define TEST_REQUIRE_TOOL(name)                                                                                        \
    do {                                                                                                               \
        if (!test::HaveTool(name)) {                                                                                   \
            if (test::InCI())                                                                                          \
                FAIL() << "required tool missing in CI: " << (name);                                                   \
            GTEST_SKIP() << "tool not installed: " << (name) << " (run scripts/setup.sh)";                             \
        }                                                                                                              \
    } while (0)
