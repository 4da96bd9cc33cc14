#include "tests/support/TestSupport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavrine-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr)
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    m_path = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

static const char* const kIsolatedVars[]
    = { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "TAVRINE_MACHINE_CONFIG", "TAVRINE_KEYRING" };

IsolatedEnvironment::IsolatedEnvironment()
{
    for (const char* name : kIsolatedVars) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::string(1, '=') + old : std::string());
    }
    std::filesystem::create_directories(ConfigHome());
    std::filesystem::create_directories(DataHome());
    setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
    setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
    setenv("TAVRINE_MACHINE_CONFIG", MachineConfig().c_str(), 1);
    // The developer's own keyring is never written; only a test's private one is.
    if (const char* keyring = std::getenv("TAVRINE_PRIVATE_KEYRING"); !keyring || std::string(keyring) != "1")
        setenv("TAVRINE_KEYRING", "off", 1);
}

IsolatedEnvironment::~IsolatedEnvironment()
{
    for (const auto& [name, value] : m_saved) {
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str() + 1, 1);
    }
}

bool HaveTool(const std::string& name)
{
    return RunShell("command -v " + ShellQuote(name) + " >/dev/null 2>&1") == 0;
}

bool InCI()
{
    const char* ci = std::getenv("CI");
    return ci && *ci && std::string(ci) != "0" && std::string(ci) != "false";
}

int RunShell(const std::string& command, std::string* pOut)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        if (pOut)
            pOut->append(buf, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    // In one read: the setup file is 300 MB in the sanitizer build, where a
    // byte at a time took a minute of CPU from the tests running beside it.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff nSize = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    in.seekg(0);
    if (nSize <= 0) // what has no size up front (a /proc file) is read to its end
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> bytes(static_cast<size_t>(nSize));
    in.read(reinterpret_cast<char*>(bytes.data()), nSize);
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

std::string ReadFileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::set<std::string> FileNames(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.insert(entry.path().filename().string());
    return names;
}

pid_t Fork(const std::function<bool()>& body, uint64_t uFileSizeLimit)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (uFileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = { uFileSizeLimit, uFileSizeLimit };
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::_exit(body() ? 0 : 1);
    }
    EXPECT_GT(pid, 0) << "fork failed";
    return pid;
}

int Reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ReapWithin(pid_t pid, int timeoutMs)
{
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) {
        ::kill(pid, SIGKILL);
        Reap(pid);
        return -2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeTestCertificate(const TempDir& dir, const std::string& name, const std::string& san)
{
    const std::string key = ShellQuote(dir.File(name + ".key")), crt = ShellQuote(dir.File(name + ".crt"));
    const int nStatus = RunShell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
                                 "-subj /CN=test -addext "
        + ShellQuote("subjectAltName=" + san) + " -keyout " + key + " -out " + crt + " 2>/dev/null && cat " + crt + " "
        + key + " > " + ShellQuote(dir.File(name + ".pem")));
    return nStatus == 0 ? dir.File(name + ".pem") : std::string();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ShellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace test
