// How a long operation ended: a send job, a delivery, a load, a save, a copy
// of sound. One vocabulary for every layer, so a caller never has to know
// which numbering an operation used. The values are kept where they are
// exchanged (the command-line program's exit status, a job runner's answer).
#pragma once

enum class JobResult : int {
    kDone = 0,
    // Asked to stop: nothing is reported; a send job stays at the head of the
    // queue and is worked again at the next start.
    kStopped = 1,
    // Failed; the operation has said why, or says it to its caller.
    kFailed = 2,
};

// The number the command-line program and older callers give it.
constexpr int JobResultCode(JobResult result)
{
    return static_cast<int>(result);
}
