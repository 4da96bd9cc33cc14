// Method 1: the transfer file as an e-mail attachment, through the system's
// own SMTP client or handed to the desktop's mail program (machine-wide
// "Email"/"UseMAPI").
#include "send/LDelivery.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LEmailSMTP.h"
#include "send/LMailCredentials.h"
#include "send/LMailSettings.h"
#include "send/LSendAutoDelete.h"
#include "send/LTypistPool.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace {

// Where transfer files wait for the mail program, beside Current and Send.
constexpr char kMailFolder[] = "Mail program";

struct MailText {
    std::string subject;
    std::string body;
};

MailText ComposeMail(const LDeliveryRequest& request)
{
    if (request.bNotice)
        return { "Dictation Cancel and Recover Notice",
            tplprintf("The dictator \"%s\" has requested to cancel and recover a current dictation. Please open the "
                      "attached file with Tavrine Scribe now to do this.",
                request.userName) };
    std::string body = tplprintf("File: %s\r\nFrom: %s\r\nEmail: %s\r\n\r\nPlease open the attached file to load the "
                                 "file into Tavrine Scribe.\r\n\r\nYou must have Tavrine Scribe installed to open the "
                                 "file.",
        request.baseName, request.userName, request.userEmail);
    std::string address = MailKeys::kDownloadAddress.Get();
    if (!address.empty())
        body += tplprintf(" Tavrine Scribe can be downloaded free at %s.", address);
    return { "Tavrine Dictate Dictation", body };
}

// The typist pool's fields, so that a typist's program lists its mailbox
// from the headers alone; a cancel notice names the dictation it takes back.
std::vector<std::pair<std::string, std::string>> PoolFields(const LDeliveryRequest& request)
{
    const LTypistPool::Entry entry = PoolEntryOf(request);
    if (request.bNotice)
        return { { LTypistPool::kKindField, "cancel" }, { LTypistPool::kAuthorField, std::to_string(entry.uUserID) },
            { LTypistPool::kFileNumberField, std::to_string(entry.uFileNumber) } };
    return LTypistPool::DictationFields(entry, request.bSealed);
}

// Files handed to the mail program are kept for as long as the sent
// dictations are: whatever "AutoDeleteDays" ago was last written goes.
void AgeOutKeptFiles(const std::string& folder)
{
    int nDays = LSendAutoDelete::kDaysKey.Get();
    if (nDays <= 0)
        return;
    time_t tCutOff = time(nullptr) - static_cast<time_t>(nDays) * 86400;
    DIR* pDir = opendir(folder.c_str());
    if (!pDir)
        return;
    while (dirent* pEntry = readdir(pDir)) {
        std::string name = pEntry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        std::string path = FilePathCat(folder, name);
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < tCutOff)
            DeleteFileAt(path);
    }
    closedir(pDir);
}

// Moves the transfer file into the kept folder under its own name, or
// "name (2).dct" and so on while an earlier one still waits there.
std::string KeepForMailProgram(const LDeliveryRequest& request, LProgressReporter& progress)
{
    std::string folder = FilePathCat(_GetFolderFromPath(request.sentFolder), kMailFolder);
    if (request.sentFolder.empty() || !CreateFolderTree(folder)) {
        progress.ErrorBox(
            tplprintf("Unable to create the folder \"%s\" for files passed to the mail program.", folder));
        return {};
    }
    AgeOutKeptFiles(folder);
    std::string title = GetFileTitle(request.transferPath);
    std::string ext = GetFileExtension(request.transferPath);
    for (int n = 1; n <= 100; ++n) {
        std::string name = n == 1 ? title + ext : tplprintf("%s (%d)%s", title, n, ext);
        std::string target = FilePathCat(folder, name);
        if (MoveFileNoReplace(request.transferPath, target))
            return target;
        if (!FileExists(target))
            break;
    }
    progress.ErrorBox(tplprintf(
        "Unable to move the file \"%s\" into the folder \"%s\" for the mail program.", request.transferPath, folder));
    return {};
}

JobResult PassToMailProgram(const LDeliveryRequest& request, const std::string& recipients, const MailText& mail,
    LProgressReporter& progress, std::string* pSendStatus)
{
    progress.SetText("Passing the mail to the mail program", 0);
    const LMailProgramCheck check = CheckMailProgram(&progress);
    if (check == LMailProgramCheck::Stopped)
        return JobResult::kStopped;
    if (check != LMailProgramCheck::Ready) {
        progress.ErrorBox("Unable to pass the mail to the mail program: " + MailProgramProblemText(check));
        return JobResult::kFailed;
    }
    std::vector<std::string> addresses = SplitEmailAddresses(recipients);
    if (addresses.empty()) {
        progress.ErrorBox("Unable to send email because the recipient has no e-mail address.");
        return JobResult::kFailed;
    }
    for (const std::string& address : addresses) {
        // xdg-email reads an argument that begins with '-' as an option and
        // one with "mailto:" as a whole link, attachments and all.
        if (address[0] == '-' || address.find_first_of(":?\r\n") != std::string::npos) {
            progress.ErrorBox(
                tplprintf("Unable to pass the mail to the mail program: \"%s\" is not an e-mail address.", address));
            return JobResult::kFailed;
        }
    }

    std::vector<std::string> args = { "xdg-email", "--utf8", "--subject", mail.subject, "--body" };
    std::string body;
    for (char c : mail.body)
        if (c != '\r')
            body.push_back(c);
    args.push_back(body);
    std::string kept;
    if (!request.transferPath.empty()) {
        // xdg-email returns before the mail program has read the file, so it
        // must outlive the send job's clean-up of the Send folder.
        kept = KeepForMailProgram(request, progress);
        if (kept.empty())
            return JobResult::kFailed;
        args.push_back("--attach");
        args.push_back(kept);
    }
    args.insert(args.end(), addresses.begin(), addresses.end());

    LProcessRunner::Options options;
    // It waits for a mail program that it had to start; that one is the
    // user's now and is left running.
    options.timeoutMs = 30000;
    options.bLeaveRunning = true;
    LProcessResult result = LProcessRunner::Run(args, options, &progress);
    if (result.Succeeded() || result.end == LProcessResult::End::TimedOut
        || result.end == LProcessResult::End::Stopped) {
        *pSendStatus = "Passed to the mail program";
        return JobResult::kDone;
    }
    if (!kept.empty())
        DeleteFileAt(kept);
    std::string output = result.output.substr(0, result.output.find('\n'));
    progress.ErrorBox(tplprintf(
        "Unable to start the mail program: xdg-email %s%s%s", result.Describe(), output.empty() ? "." : ": ", output));
    return JobResult::kFailed;
}

} // namespace

LMailProgramCheck CheckMailProgram(LProgressReporter* pProgress)
{
    if (LProcessRunner::FindProgram("xdg-email").empty())
        return LMailProgramCheck::NoXdgEmail;
    if (LProcessRunner::FindProgram("xdg-mime").empty())
        return LMailProgramCheck::Ready;
    LProcessRunner::Options options;
    options.timeoutMs = 10000;
    LProcessResult handler
        = LProcessRunner::Run({ "xdg-mime", "query", "default", "x-scheme-handler/mailto" }, options, pProgress);
    if (handler.end == LProcessResult::End::Stopped)
        return LMailProgramCheck::Stopped;
    return handler.Succeeded() && !handler.output.empty() ? LMailProgramCheck::Ready : LMailProgramCheck::NoMailHandler;
}

std::string MailProgramProblemText(LMailProgramCheck check)
{
    switch (check) {
    case LMailProgramCheck::NoXdgEmail:
        return "the program xdg-email (package xdg-utils) is not installed.";
    case LMailProgramCheck::NoMailHandler:
        return "the desktop has no default mail program.";
    default:
        return {};
    }
}

JobResult DeliverByMail(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus)
{
    std::string recipients = LDictationEngineSettings::GetRecipient(request.uSendTo).emailTo;
    MailText mail = ComposeMail(request);
    if (MailKeys::kUseMailProgram.Get())
        return PassToMailProgram(request, recipients, mail, progress, pSendStatus);

    LEmailRequest email;
    email.recipients = recipients;
    email.sender = request.userEmail;
    email.subject = mail.subject;
    email.body = mail.body;
    if (!request.transferPath.empty())
        email.attachments.push_back(request.transferPath);
    email.headers = PoolFields(request);
    // The first send after an old "host:user:password" moves the logon to the user.
    const LMailServer server = CurrentMailServer(LMailCredentials::Default());
    email.hostSetting = server.host;
    email.user = server.logon.user;
    email.password = server.logon.password;
    email.nPort = MailKeys::kSmtpPort.Get();
    email.bImplicitTls = email.nPort == 465;
    email.bAllowPlainPassword = MailKeys::kAllowPlainPassword.Get();
    JobResult nResult = EmailSMTPSendProcess(progress, email);
    if (nResult == JobResult::kDone)
        *pSendStatus = "Emailed";
    return nResult;
}

LDeliveryMailText ComposeDeliveryMail(const LDeliveryRequest& request)
{
    MailText mail = ComposeMail(request);
    return { std::move(mail.subject), std::move(mail.body) };
}

LTypistPool::Entry PoolEntryOf(const LDeliveryRequest& request)
{
    LTypistPool::Entry entry;
    entry.kind = "dictation";
    entry.uUserID = request.uUserID;
    entry.uFileNumber = request.uFileNumber;
    entry.uPriority = request.uPriority;
    entry.name = request.dictationName;
    entry.userName = request.userName;
    entry.notes = request.notes;
    entry.nLengthMs = request.nLengthMs;
    entry.tCreated = request.tCreated;
    return entry;
}
