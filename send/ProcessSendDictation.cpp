#include "send/ProcessSendDictation.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "platform/LAgeKeys.h"
#include "send/LDelivery.h"
#include "send/LDictationRecover.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "send/LKeyringMailCredentials.h"
#include "send/LMailSettings.h"
#include "send/LProcessListThread.h"
#include "send/LSealIdentity.h"
#include "send/LSealedFile.h"
#include "send/LSendFileName.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

namespace {

// How long the worker waits for a sender still moving the dictation in.
constexpr uint32_t kDictationLockMs = 10000;
constexpr uint32_t kLockPollMs = 20;

// A path from the queue file names a dictation only inside the queue's own folder.
bool IsOwnDictation(const std::string& path, const std::string& sentFolder)
{
    const std::string name = _GetFileFromPath(path);
    return _GetFolderFromPath(path) == sentFolder && GetFileExtension(name) == ".ddf" && name.size() > 4
        && name.find('\\') == std::string::npos;
}

// Done with the lock held; stopped when asked to or when the wait ran out.
JobResult TakeDictationLock(LProgressReporter& progress, const std::string& path, LLockFile* pLock)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDictationLockMs);
    while (!pLock->Lock(path)) {
        if (progress.WaitTimed(kLockPollMs))
            return JobResult::kStopped;
        if (std::chrono::steady_clock::now() > end) {
            progress.ErrorBox(tplprintf(
                "The dictation file \"%s\" is held by another program; sending waits until the next start.", path));
            return JobResult::kStopped;
        }
    }
    return JobResult::kDone;
}

// A secret kept only in a keyring that does not answer fails the job at once,
// naming the fix, rather than sending without it.
bool SecretsReachable(uint8_t uSendTo, std::string* pWhy)
{
    if (!LDictationEngineSettings::CheckRecipientSecrets(uSendTo, pWhy))
        return false;
    const bool bSmtp = LDictationEngineSettings::GetRecipient(uSendTo).method == SendMethod::Email
        && !MailKeys::kUseMailProgram.Get();
    return !bSmtp || LKeyringMailCredentials::CheckReachable(pWhy);
}

std::string RecipientText(uint8_t uSendTo)
{
    const std::string name = LDictationEngineSettings::GetSendToName(uSendTo);
    return tplprintf("%d \"%s\"", static_cast<uint32_t>(uSendTo), name);
}

// Seals the transfer file to the typists' keys and the dictator's own (made
// on first use) as "<transfer>.age"; the plain file goes at once.
JobResult SealTransfer(LProgressReporter& progress, const std::string& sealTo, const std::string& name,
    const std::string& transfer, std::string* pSealed)
{
    std::string bad;
    std::optional<std::vector<LAgeKey32>> keys = LDictationEngineSettings::ParseSealTo(sealTo, &bad);
    if (!keys) {
        progress.ErrorBox(
            tplprintf("The dictation \"%s\" was not sent: \"%s\" is not an age public key (age1...).", name, bad));
        return JobResult::kFailed;
    }
    std::string why;
    const std::optional<LAgeKey32> own = LSealIdentity::LoadOrCreate(LSealIdentity::DictatorPath(), &why);
    const std::optional<LAgeKey32> ownPublic = own ? LAgeKeys::PublicOf(*own) : std::nullopt;
    if (!ownPublic) {
        progress.ErrorBox(tplprintf("The dictation \"%s\" was not sent: %s.", name, why));
        return JobResult::kFailed;
    }
    keys->push_back(*ownPublic);
    *pSealed = transfer + LSealedFile::kExtension;
    int nErrno = 0;
    const LSealedFile::Result result = LSealedFile::Seal(transfer, *pSealed, *keys, &nErrno);
    DeleteFileAt(transfer);
    if (result != LSealedFile::Result::Ok) {
        progress.ErrorBox(tplprintf("The dictation \"%s\" was not sent: %s", name,
            result == LSealedFile::Result::WriteFailed ? std::string(std::strerror(nErrno))
                                                       : LSealedFile::ResultText(result, transfer)));
        return JobResult::kFailed;
    }
    return JobResult::kDone;
}

} // namespace

JobResult DeliverBySendMethod(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus,
    const std::string& dictationName)
{
    switch (LDictationEngineSettings::GetRecipient(request.uSendTo).method) {
    case SendMethod::Email:
        return DeliverByMail(request, progress, pSendStatus);
    case SendMethod::Folder:
        return DeliverToFolder(request, progress, pSendStatus);
    case SendMethod::Ftp:
        return DeliverByFtp(request, progress, pSendStatus);
    case SendMethod::Command:
        return DeliverByCommand(request, progress, pSendStatus);
    case SendMethod::Pool:
        return DeliverToPool(request, progress, pSendStatus);
    case SendMethod::None:
        break;
    }
    progress.ErrorBox(tplprintf("The dictation \"%s\" was not sent: recipient %s has no send method.", dictationName,
        RecipientText(request.uSendTo)));
    return JobResult::kFailed;
}

std::string FailedSendStatus(const std::string& error)
{
    // The message names the dictation; the list's row needs only the reason.
    static constexpr std::string_view kMarker = " was not sent: ";
    std::string reason = error;
    if (const size_t nAt = error.find(kMarker); nAt != std::string::npos)
        reason = error.substr(nAt + kMarker.size());
    if (reason.empty())
        reason = "the send failed";
    return "Not sent: " + reason;
}

JobResult ProcessSendDictation(LProcessListThread& queue, const SendJobItem& item)
{
    if (item.IsNotice())
        return ProcessSendRecover(queue, item.uSendTo, item.uUserID, item.uFileNumber);
    std::unique_ptr<LDictation> pReturned;
    LThreadStatus& status = queue.Status();
    status.ClearLastError();
    const JobResult nResult
        = ProcessSendDictation(status, item, _GetFolderFromPath(queue.GetListFilePath()), &pReturned);
    if (pReturned) {
        // Back in the list, the dictation says why it came back.
        pReturned->SetSendStatus(FailedSendStatus(status.LastError()));
        status.AddFinished({ std::string(pReturned->GetName()), std::string(pReturned->GetSendStatus()), false });
        status.AddFailedDictation(std::move(pReturned));
    } else if (nResult == JobResult::kDone) {
        const LDictation sent(std::string(item.DictationPath()), LDictation::Reading::Row);
        if (sent.IsValid())
            status.AddFinished({ std::string(sent.GetName()), std::string(sent.GetSendStatus()), true });
    }
    return nResult;
}

JobResult ProcessSendDictation(LProgressReporter& progress, const SendJobItem& item, const std::string& sentFolder,
    std::unique_ptr<LDictation>* pReturned)
{
    const std::string path(item.DictationPath());
    const std::string fileName = _GetFileFromPath(path);
    const std::string currentFolder = FilePathCat(_GetFolderFromPath(sentFolder), "Current");
    if (!IsOwnDictation(path, sentFolder)) {
        progress.ErrorBox(
            tplprintf("A send job for \"%s\" was dropped: it names no dictation of \"%s\".", path, sentFolder));
        return JobResult::kDone;
    }
    LLockFile lock;
    if (TakeDictationLock(progress, path, &lock) != JobResult::kDone)
        return JobResult::kStopped;
    if (!FileExists(path)) {
        // The sender ended between queueing the job and moving the dictation,
        // or a failed send moved it back before the job was taken out.
        auto pBack = std::make_unique<LDictation>(FilePathCat(currentFolder, fileName));
        if (pBack->IsValid()) {
            progress.ErrorBox(tplprintf(
                "The dictation \"%s\" was not sent. It is in the list of dictations.", std::string(pBack->GetName())));
            *pReturned = std::move(pBack);
        } else {
            progress.ErrorBox(tplprintf("A send job for \"%s\" was dropped: the dictation cannot be found.", path));
        }
        return JobResult::kDone;
    }
    LDictation dictation(path);
    if (!dictation.IsValid()) {
        progress.ErrorBox(tplprintf(
            "The dictation %s in \"%s\" was not sent: its file cannot be read.", GetFileTitle(fileName), sentFolder));
        return JobResult::kDone;
    }
    const std::string name(dictation.GetName());
    const uint8_t uSendTo = dictation.Header().uSendTo;
    JobResult nResult = JobResult::kFailed;
    if (uSendTo == kNoRecipient) {
        progress.ErrorBox(tplprintf("The dictation \"%s\" was not sent: it names no recipient.", name));
    } else if (std::string why; !SecretsReachable(uSendTo, &why)) {
        progress.ErrorBox(tplprintf("The dictation \"%s\" was not sent. %s", name, why));
    } else {
        const LRecipient recipient = LDictationEngineSettings::GetRecipient(uSendTo);
        const bool bWav = recipient.format == TransferFormat::Wav;
        const std::string base = LSendFileName::MakeBaseName(dictation, uSendTo);
        // Confidential audio on its way out: in a folder only this user can
        // read, gone with the process even if it is killed.
        const std::string folder = LTempFolder::CreateSubfolder("send");
        if (folder.empty()) {
            progress.ErrorBox(
                tplprintf("The dictation \"%s\" was not sent: no private temporary folder can be made.", name));
        } else {
            const std::string transfer = FilePathCat(folder, base + (bWav ? ".wav" : ".dct"));
            nResult = bWav ? LDictationSaveAsWav::Process(progress, dictation, transfer, uSendTo)
                           : LDictationSaveAsDct::Process(progress, dictation, transfer, uSendTo);
            std::string sendStatus;
            bool bRecorded = false;
            auto record = [&](const std::string& text) {
                LDictation now(path);
                if (now.IsValid())
                    now.SetSendStatus(text);
                bRecorded = true;
            };
            std::string delivered = transfer;
            if (nResult == JobResult::kDone && !recipient.sealTo.empty())
                nResult = SealTransfer(progress, recipient.sealTo, name, transfer, &delivered);
            if (nResult == JobResult::kDone) {
                LDeliveryRequest request;
                request.transferPath = delivered;
                request.baseName = base;
                request.uSendTo = uSendTo;
                request.uUserID = dictation.Header().uUserID;
                request.userName = LDictationEngineSettings::GetUserName();
                request.userEmail = LDictationEngineSettings::GetUserEmail();
                request.sentFolder = sentFolder;
                request.onDelivered = record;
                const DictationHeader& header = dictation.Header();
                request.uFileNumber = header.uFileNumber;
                request.uPriority = header.uPriority;
                request.dictationName = name;
                request.notes = dictation.GetNotes();
                request.nLengthMs = header.uSampleRate ? static_cast<uint32_t>(std::min<uint64_t>(
                                        dictation.GetTotalSamples() * 1000 / header.uSampleRate, UINT32_MAX))
                                                       : 0;
                request.tCreated = header.tCreated;
                request.bSealed = !recipient.sealTo.empty();
                nResult = DeliverBySendMethod(request, progress, &sendStatus, name);
            }
            DeleteFolderAndFiles(folder, true);
            // Methods that read no status file leave the recording to the job.
            if (nResult == JobResult::kDone && !sendStatus.empty() && !bRecorded)
                record(sendStatus);
        }
    }
    if (nResult == JobResult::kFailed) {
        if (dictation.MoveToFolder(currentFolder)) {
            auto pBack = std::make_unique<LDictation>(dictation.GetPath());
            if (pBack->IsValid())
                *pReturned = std::move(pBack);
        } else {
            progress.ErrorBox(tplprintf(
                "The dictation \"%s\" was not sent, and it cannot be moved back from \"%s\".", name, sentFolder));
        }
    }
    progress.SetText(std::string(), 0);
    return nResult;
}
