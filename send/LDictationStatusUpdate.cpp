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
#include "send/LProcessCopyFile.h"

namespace {

using Ftp = LFileTransferProtocol;
using Outcome = LDictationStatusUpdate::RecipientOutcome;

// A typist's status file is a few records; more than this is not one.
constexpr uint64_t kMaxStatusFile = 16u << 20;

void Apply(const std::string& path, const std::string& sentFolder, Outcome* pOutcome)
{
    std::vector<StatusFileUpdate> updates;
    switch (LDictationLoadStatusFile(path, sentFolder, &updates)) {
    case StatusFileResult::Ok:
    case StatusFileResult::NoRecords:
        pOutcome->bUpdated = true;
        pOutcome->szText = tplprintf("updated (%d dictations changed)", static_cast<uint32_t>(updates.size()));
        break;
    case StatusFileResult::NotOpened:
        pOutcome->szText = "no status file";
        break;
    case StatusFileResult::UnknownVersion:
        pOutcome->szText = "the status file is of an unknown version";
        break;
    }
}

// Stopped, or done with what happened in *pOutcome.
JobResult UpdateFromFtp(LProgressReporter& progress, const LRecipient& recipient, const std::string& name,
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
    // Downloaded into the private folder: no other user may read or swap it.
    const std::string local = LTempFolder::CreateFile("tmp", ".sta");
    if (local.empty()) {
        pOutcome->szText = "no private temporary file can be made";
        ftp.Disconnect();
        return JobResult::kDone;
    }
    const JobResult nResult = ProcessFtpDownload(progress, name, local, ftp, kMaxStatusFile);
    if (nResult == JobResult::kDone)
        Apply(local, sentFolder, pOutcome);
    else
        pOutcome->szText = "no status file could be downloaded";
    DeleteFileAt(local);
    if (nResult == JobResult::kStopped)
        return cancelled();
    ftp.Disconnect();
    return JobResult::kDone;
}

} // namespace

JobResult LDictationStatusUpdate::Process(
    LProgressReporter& progress, const std::string& sentFolder, std::vector<RecipientOutcome>* pOutcomes)
{
    progress.SetText("Update dictation status", 0);
    const std::string name = tplprintf("s%.7d.sta", LDictationEngineSettings::GetUserID());
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
                Apply(FilePathCat(folder, name), sentFolder, &outcome);
            }
            break;
        }
        case SendMethod::Ftp:
            if (UpdateFromFtp(progress, recipient, name, sentFolder, &outcome) != JobResult::kDone)
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
