#include "foundation/LProcessRunner.h"

#include "foundation/LProgressReporter.h"
#include "foundation/LSignalObject.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kSliceMs = 200;
constexpr size_t kOutputTail = 4096;

uint32_t MsSince(Clock::time_point start)
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return ms < 0 ? 0 : ms > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(ms);
}

// The child's environment: ours, with the caller's entries replacing any of the same name.
std::vector<std::string> BuildEnvironment(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** p = environ; p && *p; ++p) {
        std::string_view entry(*p);
        std::string_view name = entry.substr(0, entry.find('='));
        bool bReplaced = false;
        for (const std::string& e : extra)
            if (std::string_view(e).substr(0, e.find('=')) == name)
                bReplaced = true;
        if (!bReplaced)
            env.emplace_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> PointerList(std::vector<std::string>& strings)
{
    std::vector<char*> list;
    list.reserve(strings.size() + 1);
    for (std::string& s : strings)
        list.push_back(s.data());
    list.push_back(nullptr);
    return list;
}

// The child gets default signal handling and an empty mask, whatever this
// program ignores or blocks (SIGPIPE, the CLI's SIGINT handling).
void SetChildSignals(posix_spawnattr_t* pAttr, bool bNewGroup, bool bNewSession)
{
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(pAttr, &mask);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int nSig : { SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2 })
        sigaddset(&defaults, nSig);
    posix_spawnattr_setsigdefault(pAttr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (bNewSession) {
        flags |= POSIX_SPAWN_SETSID;
    } else if (bNewGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(pAttr, 0);
    }
    posix_spawnattr_setflags(pAttr, flags);
}

int Spawn(pid_t* pPid, std::vector<std::string> args, const std::vector<std::string>& extraEnv,
    posix_spawn_file_actions_t* pActions, posix_spawnattr_t* pAttr)
{
    std::vector<std::string> env = BuildEnvironment(extraEnv);
    std::vector<char*> argv = PointerList(args);
    std::vector<char*> envp = PointerList(env);
    if (args[0].find('/') != std::string::npos)
        return posix_spawn(pPid, argv[0], pActions, pAttr, argv.data(), envp.data());
    return posix_spawnp(pPid, argv[0], pActions, pAttr, argv.data(), envp.data());
}

bool TryReap(pid_t pid, int* pStatus)
{
    for (;;) {
        pid_t r = ::waitpid(pid, pStatus, WNOHANG);
        if (r == pid)
            return true;
        if (r < 0 && errno == EINTR)
            continue;
        return false;
    }
}

void Reap(pid_t pid, int* pStatus)
{
    while (::waitpid(pid, pStatus, 0) < 0 && errno == EINTR) { }
}

// Waits up to ms for the child to end without reaping it.
void WaitForEnd(pid_t pid, int pidfd, uint32_t ms)
{
    Clock::time_point start = Clock::now();
    while (MsSince(start) < ms) {
        if (pidfd >= 0) {
            pollfd p { pidfd, POLLIN, 0 };
            int nLeft = static_cast<int>(ms - MsSince(start));
            if (::poll(&p, 1, nLeft > 0 ? nLeft : 0) > 0)
                return;
        } else {
            siginfo_t info {};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

// The whole process group goes, so a script's own children do not outlive it.
void EndChild(pid_t pid, int pidfd, uint32_t graceMs, int* pStatus)
{
    if (::kill(-pid, SIGTERM) != 0)
        ::kill(pid, SIGTERM);
    WaitForEnd(pid, pidfd, graceMs);
    if (!TryReap(pid, pStatus)) {
        if (::kill(-pid, SIGKILL) != 0)
            ::kill(pid, SIGKILL);
        Reap(pid, pStatus);
    }
    ::kill(-pid, SIGKILL); // whatever of its group still lingers
}

void LeaveOrEnd(pid_t pid, int pidfd, const LProcessRunner::Options& options, int* pStatus)
{
    if (!options.bLeaveRunning) {
        EndChild(pid, pidfd, options.graceMs, pStatus);
        return;
    }
    std::thread([pid] {
        int nStatus = 0;
        Reap(pid, &nStatus);
    }).detach();
}

std::string ReadTail(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    struct stat st;
    std::string text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        off_t nStart = st.st_size > static_cast<off_t>(kOutputTail) ? st.st_size - static_cast<off_t>(kOutputTail) : 0;
        text.resize(static_cast<size_t>(st.st_size - nStart));
        ssize_t n = ::pread(fd, text.data(), text.size(), nStart);
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        if (nStart > 0) {
            size_t nLine = text.find('\n');
            if (nLine != std::string::npos && nLine + 1 < text.size())
                text.erase(0, nLine + 1);
        }
    }
    ::close(fd);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

std::string LProcessResult::Describe() const
{
    switch (end) {
    case End::Exited:
        return tplprintf("exited with status %d", nExitCode);
    case End::Signalled:
        return tplprintf("was killed by signal %d (%s)", nSignal, strsignal(nSignal));
    case End::NotStarted:
        return tplprintf("could not be started: %s", std::strerror(nErrno ? nErrno : ENOENT));
    case End::TimedOut:
        return "did not end in time and was ended";
    case End::Stopped:
        return "was stopped";
    }
    return {};
}

LProcessResult LProcessRunner::Run(
    const std::vector<std::string>& args, const Options& options, LProgressReporter* pProgress)
{
    LProcessResult result;
    if (args.empty() || args[0].empty()) {
        result.nErrno = EINVAL;
        return result;
    }

    int errFd = -1;
    std::string errPath = LTempFolder::CreateFile("output", ".txt", &errFd);
    if (errFd < 0)
        errFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int outFd = -1;
    if (!options.stdoutPath.empty()) {
        outFd = ::open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (outFd < 0) {
            result.nErrno = errno;
            if (errFd >= 0)
                ::close(errFd);
            if (!errPath.empty())
                ::unlink(errPath.c_str());
            return result;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (errFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions,
            options.stdoutFd >= 0 ? options.stdoutFd
                : outFd >= 0      ? outFd
                                  : errFd,
            1);
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    }
    if (!options.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    SetChildSignals(&attr, true, false);

    pid_t pid = 0;
    int nError = Spawn(&pid, args, options.environment, &actions, &attr);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (errFd >= 0)
        ::close(errFd);
    if (outFd >= 0)
        ::close(outFd);
    if (nError != 0) {
        result.nErrno = nError;
        if (!errPath.empty())
            ::unlink(errPath.c_str());
        return result;
    }
    // Set as the child starts: a decoder opens and decodes its input before
    // its first write, and the spawn returns only once the child runs it.
    if (options.maxFileBytes > 0) {
        const rlimit limit { options.maxFileBytes, options.maxFileBytes };
        (void)::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr);
    }

    int pidfd = LSignalObject::OpenProcessHandle(pid);
    Clock::time_point start = Clock::now();
    int nStatus = 0;
    bool bEnded = false;
    while (!bEnded) {
        if (TryReap(pid, &nStatus)) {
            bEnded = true;
            break;
        }
        uint32_t nElapsed = MsSince(start);
        if (options.timeoutMs != kNoTimeout && nElapsed >= options.timeoutMs) {
            LeaveOrEnd(pid, pidfd, options, &nStatus);
            result.end = LProcessResult::End::TimedOut;
            break;
        }
        uint32_t nSlice = kSliceMs;
        if (options.timeoutMs != kNoTimeout && options.timeoutMs - nElapsed < nSlice)
            nSlice = options.timeoutMs - nElapsed;
        bool bStop = false;
        if (pProgress) {
            if (pidfd >= 0)
                bStop = pProgress->WaitHandle(pidfd, nSlice) == LProgressReporter::kCancelled;
            else
                bStop = pProgress->WaitTimed(nSlice < 50 ? nSlice : 50);
        } else {
            WaitForEnd(pid, pidfd, nSlice < 50 || pidfd >= 0 ? nSlice : 50);
        }
        if (bStop) {
            LeaveOrEnd(pid, pidfd, options, &nStatus);
            result.end = LProcessResult::End::Stopped;
            break;
        }
    }
    if (pidfd >= 0)
        ::close(pidfd);

    if (bEnded) {
        if (WIFEXITED(nStatus)) {
            result.end = LProcessResult::End::Exited;
            result.nExitCode = WEXITSTATUS(nStatus);
        } else if (WIFSIGNALED(nStatus)) {
            result.end = LProcessResult::End::Signalled;
            result.nSignal = WTERMSIG(nStatus);
        }
    }
    if (!errPath.empty()) {
        result.output = ReadTail(errPath);
        ::unlink(errPath.c_str());
    }
    return result;
}

bool LProcessRunner::StartDetached(const std::vector<std::string>& args, int* pErrno)
{
    if (args.empty() || args[0].empty()) {
        if (pErrno)
            *pErrno = EINVAL;
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A session of its own: the viewer or mail program outlives a closed terminal.
    SetChildSignals(&attr, false, true);
    pid_t pid = 0;
    int nError = Spawn(&pid, args, {}, &actions, &attr);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        if (pErrno)
            *pErrno = nError;
        return false;
    }
    std::thread([pid] {
        int nStatus = 0;
        Reap(pid, &nStatus);
    }).detach();
    return true;
}

std::string LProcessRunner::FindProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* szPath = std::getenv("PATH");
    std::string_view path(szPath && *szPath ? szPath : "/usr/local/bin:/usr/bin:/bin");
    while (true) {
        size_t nColon = path.find(':');
        std::string_view dir = path.substr(0, nColon);
        std::string full = std::string(dir.empty() ? "." : dir) + "/" + name;
        struct stat st;
        if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(full.c_str(), X_OK) == 0)
            return full;
        if (nColon == std::string_view::npos)
            break;
        path.remove_prefix(nColon + 1);
    }
    return {};
}
