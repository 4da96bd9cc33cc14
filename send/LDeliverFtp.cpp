// Delivery by FTP upload: the file goes up under a temporary name and is
// renamed once complete, so a typist's program polling the directory never
// takes a partial file; then the typist's status files are fetched.
#include "send/LDelivery.h"

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
#include "send/LStatusFileFetch.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <vector>

namespace {

using Ftp = LFileTransferProtocol;

std::string RemoteName(const std::string& transferPath)
{
    std::string name = _GetFileFromPath(transferPath);
    for (char& c : name)
        c = c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool IsListed(const std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& listed : names)
        if (EqualsNoCase(listed, name))
            return true;
    return false;
}

// The numbered form with the local time in place of the number
// ("name_(20260131-101500).dct"): no earlier delivery can have taken it.
std::string TimedRemoteName(const std::string& name)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    char szStamp[32] = "";
    if (!localtime_r(&now, &local) || !std::strftime(szStamp, sizeof szStamp, "%Y%m%d-%H%M%S", &local))
        return {};
    std::string extension = LProcessCopyFile::NumberingExtension(name);
    return RemoteName(name.substr(0, name.size() - extension.size()) + " (" + szStamp + ")" + extension);
}

// The final name, or when the typist has not yet collected a file of that
// name, the first free numbered one. Empty when all are taken; *pResult is
// set when the listing was stopped.
std::string FreeRemoteName(Ftp& ftp, const std::string& name, JobResult* pResult)
{
    std::vector<std::string> names;
    if (!ftp.ListNames("*", &names)) {
        if (ftp.GetLastError() == Ftp::Error::Stopped) {
            *pResult = JobResult::kStopped;
            return {};
        }
        // Without a listing the final name is used only when the server
        // says it is free: a rename may replace the typist's file.
        if (ftp.FilePresence(name) == Ftp::Presence::Absent)
            return name;
        if (ftp.GetLastError() == Ftp::Error::Stopped) {
            *pResult = JobResult::kStopped;
            return {};
        }
        return TimedRemoteName(name);
    }
    // Numbered as a folder delivery numbers, in the remote name's form ("name_(2).dct").
    for (int n = 1; n <= LProcessCopyFile::kMaxNumberedNames; ++n) {
        std::string candidate = RemoteName(LProcessCopyFile::NumberedName(name, n));
        if (!IsListed(names, candidate))
            return candidate;
    }
    return {};
}

// A status file that is missing or fails to download is skipped without a
// message; the dictation was delivered all the same. A server that sends
// slowly is given a bounded time, so it cannot hold the queue.
void FetchStatusFiles(Ftp& ftp, LProgressReporter& progress, const LDeliveryRequest& request)
{
    LStatusFileFetch::FromFtp(ftp, progress, request.uUserID, request.sentFolder, request.uStatusFileMs,
        LStatusFileFetch::Clock::now() + std::chrono::milliseconds(request.uStatusFetchMs));
}

std::string LogOnMessage(const Ftp& ftp, const std::string& server, const std::string& userName)
{
    switch (ftp.GetLastError()) {
    case Ftp::Error::NoTls:
        return tplprintf("The ftp server \"%s\" does not offer an encrypted connection (TLS), so the password was "
                         "not sent. To send to this server in plain text, tick \"Allow sending to this server without "
                         "encryption\" in the recipient's properties.",
            server);
    case Ftp::Error::TlsFailed:
        return tplprintf("The identity of the ftp server \"%s\" could not be verified, so nothing was sent (%s).",
            server, ftp.GetLastErrorText());
    default:
        break;
    }
    std::string text = tplprintf("Unable to logon to ftp server \"%s\" with user name \"%s\" and the entered password.",
        server, userName.empty() ? std::string("anonymous") : userName);
    if (ftp.GetLastError() != Ftp::Error::LogOnDenied)
        text += tplprintf(" (%s)", ftp.GetLastErrorText());
    return text;
}

JobResult Deliver(Ftp& ftp, const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus)
{
    const LRecipient recipient = LDictationEngineSettings::GetRecipient(request.uSendTo);
    const std::string& server = recipient.ftpServer;
    const std::string& userName = recipient.ftpUserName;
    const std::string& password = recipient.ftpPassword;
    const std::string& directory = recipient.ftpDirectory;
    ftp.SetAllowPlain(recipient.bFtpAllowPlain);
    ftp.SetStopTest([&progress] { return progress.Pump(); });
    progress.SetText("Connecting to...", 0);
    progress.SetText(server, 1);

    if (progress.Pump())
        return JobResult::kStopped;
    if (!ftp.Connect()) {
        progress.ErrorBox("Cannot connect to the internet to send file by ftp.");
        return JobResult::kFailed;
    }
    if (progress.Pump())
        return JobResult::kStopped;
    if (!ftp.LogOnServer(server, userName, password)) {
        if (ftp.GetLastError() == Ftp::Error::Stopped)
            return JobResult::kStopped;
        progress.ErrorBox(LogOnMessage(ftp, server, userName));
        return JobResult::kFailed;
    }
    if (progress.Pump())
        return JobResult::kStopped;
    if (!ftp.SetCurrentDirectory(directory)) {
        if (ftp.GetLastError() == Ftp::Error::Stopped)
            return JobResult::kStopped;
        progress.ErrorBox(tplprintf(
            "Ftp upload failed because the directory \"%s\" was not found on the server \"%s\".", directory, server));
        return JobResult::kFailed;
    }

    std::string remoteName = RemoteName(request.transferPath);
    std::string finalName = remoteName;
    if (!request.bNotice) {
        JobResult nResult = JobResult::kDone;
        finalName = FreeRemoteName(ftp, remoteName, &nResult);
        if (nResult != JobResult::kDone)
            return nResult;
    }
    std::string uploadName = request.bNotice ? finalName : finalName + "_";
    JobResult nResult
        = finalName.empty() ? JobResult::kFailed : ProcessFtpUpload(progress, uploadName, request.transferPath, ftp);
    // A data connection reset before the server read its last bytes is
    // transient: the upload is tried once more before it counts as failed.
    if (nResult == JobResult::kFailed && ftp.GetLastError() == Ftp::Error::Short)
        nResult = ProcessFtpUpload(progress, uploadName, request.transferPath, ftp);
    if (nResult == JobResult::kDone && uploadName != finalName) {
        if (progress.Pump())
            nResult = JobResult::kStopped;
        else if (!ftp.RenameFile(uploadName, finalName))
            nResult = ftp.GetLastError() == Ftp::Error::Stopped ? JobResult::kStopped : JobResult::kFailed;
    }
    if (nResult != JobResult::kDone) {
        // Never leave a partial or unrenamed file for the typist to find.
        if (!finalName.empty())
            ftp.DeleteFile(uploadName);
        if (nResult == JobResult::kFailed)
            progress.ErrorBox(
                tplprintf("Ftp upload of file \"%s\" failed.", finalName.empty() ? remoteName : finalName));
        return nResult;
    }
    request.Delivered("Uploaded", pSendStatus);
    if (!request.bNotice)
        FetchStatusFiles(ftp, progress, request);
    return JobResult::kDone;
}

} // namespace

JobResult DeliverByFtp(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus)
{
    Ftp ftp;
    JobResult nResult = Deliver(ftp, request, progress, pSendStatus);
    ftp.Disconnect();
    return nResult;
}
