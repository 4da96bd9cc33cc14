#include "send/LLaunchApplication.h"

#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"

JobResult ProcessLLaunchApplication(LProgressReporter& progress, const std::string& file, const std::string& program,
    const std::string& displayName, bool bWait)
{
    if (!bWait) {
        int nErrno = 0;
        if (LProcessRunner::StartDetached({ program, file }, &nErrno))
            return JobResult::kDone;
        LProcessResult failed;
        failed.nErrno = nErrno;
        progress.ErrorBox(tplprintf("The program \"%s\" %s.", displayName, failed.Describe()));
        return JobResult::kFailed;
    }
    progress.SetText(tplprintf("Please close %s", displayName), 0);
    progress.SetText("to continue...", 1);
    LProcessRunner::Options options;
    options.timeoutMs = kLaunchWaitMs;
    options.bLeaveRunning = true;
    const LProcessResult result = LProcessRunner::Run({ program, file }, options, &progress);
    switch (result.end) {
    case LProcessResult::End::NotStarted:
        progress.ErrorBox(tplprintf("The program \"%s\" %s.", displayName, result.Describe()));
        return JobResult::kFailed;
    case LProcessResult::End::Stopped:
        return JobResult::kStopped;
    default:
        // Whatever its exit status, what it saved is looked at by the caller.
        return JobResult::kDone;
    }
}
