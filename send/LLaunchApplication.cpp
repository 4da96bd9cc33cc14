#include "send/LLaunchApplication.h"

#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"

int ProcessLLaunchApplication(LProgressReporter& progress, const std::string& file, const std::string& program,
    const std::string& displayName, bool bWait)
{
    if (!bWait) {
        int nErrno = 0;
        if (LProcessRunner::StartDetached({ program, file }, &nErrno))
            return 0;
        LProcessResult failed;
        failed.nErrno = nErrno;
        progress.ErrorBox(tplprintf("The program \"%s\" %s.", displayName, failed.Describe()));
        return 2;
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
        return 2;
    case LProcessResult::End::Stopped:
        return 1;
    default:
        // Whatever its exit status, what it saved is looked at by the caller.
        return 0;
    }
}
