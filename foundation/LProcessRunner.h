// The program's one way to run another program (command-line delivery,
// external decoders, the audio editor, xdg-email, xdg-open): an argument
// list handed to posix_spawn, never a shell, so no path, name or setting is
// ever parsed as shell syntax. Standard input is /dev/null; standard output
// and error go to a private file whose last lines are kept for messages.
// The wait runs in slices through the progress reporter, so a Cancel or the
// send queue's stop request ends the child (SIGTERM to its process group,
// then SIGKILL after a grace period) and it is always reaped. Each Run is
// used by one thread; several threads may run children at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class LProgressReporter;

struct LProcessResult {
    enum class End {
        Exited, // nExitCode holds the status
        Signalled, // killed by nSignal (not by us)
        NotStarted, // the program could not be started: nErrno
        TimedOut, // ended by us at the time-out
        Stopped, // ended by us on a stop request or Cancel
    };
    End end = End::NotStarted;
    int nExitCode = -1;
    int nSignal = 0;
    int nErrno = 0;
    // The last lines the child wrote to standard output and error (at most
    // about 4 KiB, cut at a line start when possible).
    std::string output;

    bool Succeeded() const { return end == End::Exited && nExitCode == 0; }
    // "exited with status 3", "was killed by signal 11 (Segmentation fault)",
    // "could not be started: No such file or directory", "did not end within
    // 60 seconds", "was stopped".
    std::string Describe() const;
};

class LProcessRunner {
public:
    static constexpr uint32_t kNoTimeout = UINT32_MAX;

    struct Options {
        // Ended (and reported as TimedOut) after this long.
        uint32_t timeoutMs = kNoTimeout;
        // Between SIGTERM and SIGKILL when the child has to be ended.
        uint32_t graceMs = 2000;
        // Empty: the program's own current folder.
        std::string workingFolder;
        // Extra "NAME=value" entries added to (or replacing in) the environment.
        std::vector<std::string> environment;
        // Where the output goes instead of the private file (for example a
        // decoder told to write to standard output); empty: the private file.
        std::string stdoutPath;
        // Or this descriptor (a pipe's write end, opened close-on-exec), which
        // the caller keeps and closes; -1: none.
        int stdoutFd = -1;
        // The most the child may write into a file (its RLIMIT_FSIZE: past
        // it a write fails and SIGXFSZ ends it); 0: the system's own limit.
        uint64_t maxFileBytes = 0;
        // At the time-out or a stop request the child is left running and
        // reaped on a thread of its own instead of being ended (xdg-email,
        // which waits for a mail program it started while the user writes).
        bool bLeaveRunning = false;
    };

    // Runs args[0] (looked up on PATH when it has no '/') with the rest as its
    // arguments and waits for it. pProgress may be null (no stop requests).
    static LProcessResult Run(
        const std::vector<std::string>& args, const Options& options, LProgressReporter* pProgress);
    static LProcessResult Run(const std::vector<std::string>& args, LProgressReporter* pProgress = nullptr)
    {
        return Run(args, Options(), pProgress);
    }

    // Starts a program that is meant to outlive the call (xdg-open, a mail
    // program's compose window) and reaps it on a thread of its own. False,
    // with *pErrno set, when it could not be started.
    static bool StartDetached(const std::vector<std::string>& args, int* pErrno = nullptr);

    // The full path of a program found on PATH (or the name itself when it
    // holds a '/' and is executable); empty when there is none.
    static std::string FindProgram(const std::string& name);
};
