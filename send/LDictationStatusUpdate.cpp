#include "send/LDictationStatusUpdate.h"

#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "platform/LFileTransferProtocol.h"
#include "send/LFtpTransfer.h"
#include "send/LPoolSession.h"
#include "send/LProcessCopyFile.h"
#include "send/LStatusFileFetch.h"

#include <chrono>

namespace {

using Ftp = LFileTransferProtocol;
using Outcome = LDictationStatusUpdate::RecipientOutcome;

// Bounds of one recipient's files, as after an upload.
constexpr uint32_t kStatusFileMs = 15000;
constexpr uint32_t kStatusFetchMs = 60000;

void Report(const LStatusFileFetch::Summary& summary, Outcome* pOutcome)
{
    pOutcome->bUpdated = summary.nApplied > 0;
    pOutcome->szText = LStatusFileFetch::Describe(summary);
}

// Stopped, or done with what happened in *pOutcome.
JobResult UpdateFromFtp(LProgressReporter& progress, const LRecipient& recipient, uint32_t uUserID,
    const std::string& sentFolder, Outcome* pOutcome)
{
    Ftp ftp;
    ftp.SetAllowPlain(recipient.bFtpAllowPlain);
    ftp.SetStopTest([&progress] { return progress.Pump(); });
    const std::string& server = recipient.ftpServer;
    auto cancelled = [&] {
        ftp.Disconnect();
        return JobResult::kStopped;
    };
    auto failed = [&](const std::string& why) {
        if (ftp.GetLastError() == Ftp::Error::Stopped)
            return cancelled();
        pOutcome->szText = why + (ftp.GetLastErrorText().empty() ? "" : " (" + ftp.GetLastErrorText() + ")");
        ftp.Disconnect();
        return JobResult::kDone;
    };
    if (progress.Pump())
        return cancelled();
    if (!ftp.Connect())
        return failed("cannot connect to the internet");
    if (progress.Pump())
        return cancelled();
    if (!ftp.LogOnServer(server, recipient.ftpUserName, recipient.ftpPassword))
        return failed(tplprintf("cannot log on to the ftp server \"%s\"", server));
    if (progress.Pump())
        return cancelled();
    if (!ftp.SetCurrentDirectory(recipient.ftpDirectory))
        return failed(tplprintf("the directory was not found on the ftp server \"%s\"", server));
    const LStatusFileFetch::Summary summary = LStatusFileFetch::FromFtp(ftp, progress, uUserID, sentFolder,
        kStatusFileMs, LStatusFileFetch::Clock::now() + std::chrono::milliseconds(kStatusFetchMs));
    if (summary.bStopped)
        return cancelled();
    Report(summary, pOutcome);
    ftp.Disconnect();
    return JobResult::kDone;
}

// Stopped, or done with what happened in *pOutcome.
JobResult UpdateFromPool(LProgressReporter& progress, const LRecipient& recipient, uint32_t uUserID,
    const std::string& sentFolder, Outcome* pOutcome)
{
    LPoolSession session(recipient, progress);
    std::string why;
    if (!session.LogOn(&why)) {
        if (session.IsStopped() || why.empty())
            return JobResult::kStopped;
        pOutcome->szText = why;
        return JobResult::kDone;
    }
    const LStatusFileFetch::Summary summary = session.FetchStatus(uUserID, sentFolder);
    if (summary.bStopped)
        return JobResult::kStopped;
    Report(summary, pOutcome);
    return JobResult::kDone;
}

} // namespace

JobResult LDictationStatusUpdate::Process(
    LProgressReporter& progress, const std::string& sentFolder, std::vector<RecipientOutcome>* pOutcomes)
{
    progress.SetText("Update dictation status", 0);
    const uint32_t uUserID = LDictationEngineSettings::GetUserID();
    for (LDictationEngineSettings::SendToIterator it; it.IsValid(); it.Next()) {
        if (progress.Pump())
            return JobResult::kStopped;
        Outcome outcome;
        outcome.uSendTo = it.GetSendTo();
        const LRecipient recipient = LDictationEngineSettings::GetRecipient(outcome.uSendTo);
        progress.SetText(recipient.name, 1);
        switch (recipient.method) {
        case SendMethod::Folder: {
            const std::string& folder = recipient.folder;
            // An empty setting would read the program's working directory.
            if (folder.empty()) {
                outcome.szText = "no folder is set";
            } else {
                LProcessCopyFile::RemoveStaleParts(folder);
                Report(LStatusFileFetch::FromFolder(folder, uUserID, sentFolder), &outcome);
            }
            break;
        }
        case SendMethod::Ftp:
            if (UpdateFromFtp(progress, recipient, uUserID, sentFolder, &outcome) != JobResult::kDone)
                return JobResult::kStopped;
            break;
        case SendMethod::Pool:
            if (UpdateFromPool(progress, recipient, uUserID, sentFolder, &outcome) != JobResult::kDone)
                return JobResult::kStopped;
            break;
        default:
            outcome.szText = "its send method leaves no status files";
            break;
        }
        if (pOutcomes)
            pOutcomes->push_back(outcome);
    }
    progress.SetText(std::string(), 1);
    return JobResult::kDone;
}
