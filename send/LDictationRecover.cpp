#include "send/LDictationRecover.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "send/LDelivery.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LProcessListThread.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>

namespace {

constexpr uint32_t kLockPollMs = 20;

// 0 with the lock held, 1 when stopped, 2 when still held by another at the end.
JobResult WaitForLock(LProgressReporter& progress, const std::string& path, uint32_t uMs, LLockFile* pLock)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(uMs);
    while (!pLock->Lock(path)) {
        if (progress.WaitTimed(kLockPollMs))
            return JobResult::kStopped;
        if (std::chrono::steady_clock::now() > end)
            return JobResult::kFailed;
    }
    return JobResult::kDone;
}

// "N.ddf" with N a file number; the number, or 0 for any other name.
uint32_t HeaderNumber(const std::string& name)
{
    const size_t nDigits = name.size() - std::min<size_t>(name.size(), 4);
    if (nDigits == 0 || nDigits > 9 || name.compare(nDigits, 4, ".ddf") != 0
        || name.find_first_not_of("0123456789") != nDigits)
        return 0;
    return static_cast<uint32_t>(std::stoul(name.substr(0, nDigits)));
}

// Whether a job names the path; a queue that cannot be read counts as naming it.
bool IsQueued(const std::string& queuePath, const std::string& path)
{
    LProcessListFile::Lock lock;
    if (!lock.Take(queuePath, false, LProcessListThread::kLockTimeoutMs))
        return true;
    SendJobItem job;
    if (!SendJobItem::MakeSendJob(path, &job))
        return true;
    LProcessListHeader header;
    bool bFound = false;
    using Status = LProcessListFile::Status;
    const Status status = LProcessListFile::Walk(queuePath, &header, [&](const SendJobItem& record) {
        bFound = record.Matches(job);
        return !bFound;
    });
    return bFound || (status != Status::Ok && status != Status::Missing && status != Status::Empty);
}

std::string Shown(const LDictation& dictation)
{
    return tplprintf("\"%s\" (%d)", std::string(dictation.GetName()), dictation.GetFileNumber());
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

LDictationRecover::Unqueued LDictationRecover::ReturnUnqueued(const std::string& queuePath)
{
    Unqueued result;
    const std::string sentFolder = _GetFolderFromPath(queuePath);
    const std::string currentFolder = FilePathCat(_GetFolderFromPath(sentFolder), "Current");
    std::vector<std::pair<uint32_t, std::string>> names;
    if (DIR* dir = ::opendir(sentFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (const uint32_t uNumber = HeaderNumber(entry->d_name))
                names.emplace_back(uNumber, entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const auto& [uNumber, name] : names) {
        const std::string path = FilePathCat(sentFolder, name);
        // A sender holds this lock from queueing the job to the end of the
        // move, and the worker while it sends, so what is seen under it stays.
        LLockFile lock;
        if (!lock.Lock(path))
            continue;
        LDictation dictation(path);
        if (!dictation.IsValid() || !dictation.GetSendStatus().empty() || IsQueued(queuePath, path))
            continue;
        const uint8_t uSendTo = dictation.Header().uSendTo;
        if (uSendTo != kNoRecipient && LDictationEngineSettings::GetRecipient(uSendTo).method == SendMethod::Command) {
            result.maybeSent.push_back(Shown(dictation));
            continue;
        }
        if (!dictation.MoveToFolder(currentFolder)) {
            result.stuck.push_back(Shown(dictation));
            continue;
        }
        lock.Close();
        // Said only once it is out of Send: there a status reads as sent.
        dictation.SetSendStatus(kUnqueuedStatus);
        auto pBack = std::make_unique<LDictation>(dictation.GetPath());
        if (pBack->IsValid())
            result.back.push_back(std::move(pBack));
    }
    return result;
}

std::string LDictationRecover::UnqueuedMessage(
    const std::string& queuePath, const std::string& why, const Unqueued& result)
{
    std::string text = tplprintf("The send queue \"%s\" could not be read (%s) and was removed.", queuePath, why);
    std::vector<std::string> back;
    for (const auto& pDictation : result.back)
        back.push_back(Shown(*pDictation));
    if (!back.empty())
        text += " These dictations were waiting in it and are back in the list, not sent: " + JoinNames(back) + ".";
    if (!result.stuck.empty())
        text += tplprintf(" These were waiting in it and could not be moved back from \"%s\": ",
                    _GetFolderFromPath(queuePath))
            + JoinNames(result.stuck) + ".";
    if (!result.maybeSent.empty())
        text += " These stay sent, as their recipient's command leaves no send status; recover any that did not "
                "arrive: "
            + JoinNames(result.maybeSent) + ".";
    if (back.empty() && result.stuck.empty() && result.maybeSent.empty())
        text += " No dictation was waiting in it.";
    return text;
}

JobResult LDictationRecover::Process(LProgressReporter& progress, const std::string& dictationPath, bool bNotice,
    LProcessListThread& queue, uint32_t* pFileNumber)
{
    const std::string sentFolder = _GetFolderFromPath(queue.GetListFilePath());
    const std::string currentFolder = FilePathCat(_GetFolderFromPath(sentFolder), "Current");
    progress.SetText("Recover dictation", 0);
    progress.SetText(GetFileTitle(dictationPath), 1);
    if (_GetFolderFromPath(dictationPath) != sentFolder || GetFileExtension(dictationPath) != ".ddf") {
        progress.ErrorBox(tplprintf("\"%s\" is not a sent dictation.", dictationPath));
        return JobResult::kFailed;
    }
    // A recover that was killed part-way is finished first.
    LDictation::FinishRenumbering(currentFolder);

    // The queue's worker holds this lock from reading the dictation to the
    // end of its delivery, so once it is ours nobody is sending it.
    LLockFile lock;
    JobResult nLock = WaitForLock(progress, dictationPath, kBusyWaitMs, &lock);
    bool bQueueStopped = false;
    if (nLock == JobResult::kFailed && queue.IsRunning()) {
        // This program's own queue may be the sender: its job stops at its
        // next slice and stays queued, to be taken out below.
        bQueueStopped = true;
        if (queue.StopThreadTimed(LProcessListThread::kStopTimeoutMs))
            nLock = WaitForLock(progress, dictationPath, kBusyWaitMs, &lock);
    }
    auto restartQueue = [&] {
        if (bQueueStopped)
            queue.SetListFilePath(queue.GetListFilePath());
    };
    if (nLock != JobResult::kDone) {
        restartQueue();
        if (nLock == JobResult::kFailed)
            progress.ErrorBox(tplprintf("The dictation \"%s\" is being sent right now. Try again once it has been "
                                        "sent.",
                GetFileTitle(dictationPath)));
        return nLock;
    }
    LDictation dictation(dictationPath);
    if (!dictation.IsValid()) {
        restartQueue();
        progress.ErrorBox(tplprintf("The dictation file \"%s\" cannot be read.", dictationPath));
        return JobResult::kFailed;
    }
    const std::string name(dictation.GetName());
    progress.SetText(name, 1);
    SendJobItem job;
    if (SendJobItem::MakeSendJob(dictationPath, &job))
        queue.Remove(job);
    if (!dictation.MoveToFolder(currentFolder)) {
        restartQueue();
        progress.ErrorBox(tplprintf("Unable to move the dictation \"%s\" back from \"%s\".", name, sentFolder));
        return JobResult::kFailed;
    }
    lock.Close();
    restartQueue();

    const DictationHeader& header = dictation.Header();
    if (bNotice && header.uSendTo != kNoRecipient) {
        if (!queue.Add(SendJobItem::MakeNotice(header.uSendTo, header.uUserID, header.uFileNumber)))
            progress.ErrorBox(tplprintf(
                "The cancel notice for the dictation \"%s\" could not be queued; the typist still has it.", name));
        // The notice names the old number: the dictation must not keep it, or
        // the typist's program would cancel a copy sent again.
        const uint32_t uOld = header.uFileNumber;
        const uint32_t uNew = LDictationEngineSettings::TakeNextFileNumber({ currentFolder, sentFolder });
        if (!dictation.Renumber(uNew))
            progress.ErrorBox(tplprintf("The dictation \"%s\" keeps its file number %d, which the cancel notice "
                                        "names; do not send it again before the typist has cancelled it.",
                name, uOld));
    }
    if (pFileNumber)
        *pFileNumber = dictation.GetFileNumber();
    return JobResult::kDone;
}

JobResult ProcessSendRecover(LProcessListThread& queue, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber)
{
    return ProcessSendRecover(
        queue.Status(), uSendTo, uUserID, uFileNumber, _GetFolderFromPath(queue.GetListFilePath()));
}

JobResult ProcessSendRecover(
    LProgressReporter& progress, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber, const std::string& sentFolder)
{
    if (uSendTo == kNoRecipient)
        return JobResult::kDone;
    const LRecipient recipient = LDictationEngineSettings::GetRecipient(uSendTo);
    // A typist who receives WAV files has no program that reads a notice;
    // a pool's typists all run one, which reads the notice's header fields.
    if (recipient.format != TransferFormat::Dct && recipient.method != SendMethod::Pool)
        return JobResult::kDone;
    if (recipient.method == SendMethod::None || recipient.method == SendMethod::Command)
        return JobResult::kDone;
    progress.SetText("Sending the cancel and recover notice", 0);
    const std::string base = tplprintf("dcan%d-%d", uUserID, uFileNumber);
    // Under its final name in a private folder: the mail and the typist see that name.
    const std::string folder = LTempFolder::CreateSubfolder("notice");
    const std::string path = FilePathCat(folder, base + ".dct");
    if (folder.empty() || !LDictationSaveAsDct::WriteCancelNotice(path, uUserID, uFileNumber)) {
        // Without the file a mail would ask the typist to open an attachment
        // it does not carry, and a copy or upload would only fail again.
        progress.ErrorBox(tplprintf("Unable to open file \"%s\" for writing.", path));
    } else {
        LDeliveryRequest request;
        request.transferPath = path;
        request.baseName = base;
        request.uSendTo = uSendTo;
        request.uUserID = uUserID;
        request.userName = LDictationEngineSettings::GetUserName();
        request.userEmail = LDictationEngineSettings::GetUserEmail();
        request.sentFolder = sentFolder;
        request.bNotice = true;
        request.uFileNumber = uFileNumber;
        std::string sendStatus;
        if (recipient.method == SendMethod::Email)
            DeliverByMail(request, progress, &sendStatus);
        else if (recipient.method == SendMethod::Folder)
            DeliverToFolder(request, progress, &sendStatus);
        else if (recipient.method == SendMethod::Pool)
            DeliverToPool(request, progress, &sendStatus);
        else
            DeliverByFtp(request, progress, &sendStatus);
    }
    if (!folder.empty())
        DeleteFolderAndFiles(folder, true);
    progress.SetText(std::string(), 1);
    progress.SetText(std::string(), 0);
    return JobResult::kDone;
}
