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

#include <chrono>

namespace {

constexpr uint32_t kLockPollMs = 20;

// 0 with the lock held, 1 when stopped, 2 when still held by another at the end.
int WaitForLock(LProgressReporter& progress, const std::string& path, uint32_t uMs, LLockFile* pLock)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(uMs);
    while (!pLock->Lock(path)) {
        if (progress.WaitTimed(kLockPollMs))
            return 1;
        if (std::chrono::steady_clock::now() > end)
            return 2;
    }
    return 0;
}

} // namespace

int LDictationRecover::Process(LProgressReporter& progress, const std::string& dictationPath, bool bNotice,
    LProcessListThread& queue, uint32_t* pFileNumber)
{
    const std::string sentFolder = _GetFolderFromPath(queue.GetListFilePath());
    const std::string currentFolder = FilePathCat(_GetFolderFromPath(sentFolder), "Current");
    progress.SetText("Recover dictation", 0);
    progress.SetText(GetFileTitle(dictationPath), 1);
    if (_GetFolderFromPath(dictationPath) != sentFolder || GetFileExtension(dictationPath) != ".ddf") {
        progress.ErrorBox(tplprintf("\"%s\" is not a sent dictation.", dictationPath));
        return 2;
    }
    // A recover that was killed part-way is finished first.
    LDictation::FinishRenumbering(currentFolder);

    // The queue's worker holds this lock from reading the dictation to the
    // end of its delivery, so once it is ours nobody is sending it.
    LLockFile lock;
    int nLock = WaitForLock(progress, dictationPath, kBusyWaitMs, &lock);
    bool bQueueStopped = false;
    if (nLock == 2 && queue.IsRunning()) {
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
    if (nLock != 0) {
        restartQueue();
        if (nLock == 2)
            progress.ErrorBox(tplprintf("The dictation \"%s\" is being sent right now. Try again once it has been "
                                        "sent.",
                GetFileTitle(dictationPath)));
        return nLock;
    }
    LDictation dictation(dictationPath);
    if (!dictation.IsValid()) {
        restartQueue();
        progress.ErrorBox(tplprintf("The dictation file \"%s\" cannot be read.", dictationPath));
        return 2;
    }
    const std::string name(dictation.GetName());
    progress.SetText(name, 1);
    SendJobItem job;
    if (SendJobItem::MakeSendJob(dictationPath, &job))
        queue.Remove(job);
    if (!dictation.MoveToFolder(currentFolder)) {
        restartQueue();
        progress.ErrorBox(tplprintf("Unable to move the dictation \"%s\" back from \"%s\".", name, sentFolder));
        return 2;
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
    return 0;
}

int ProcessSendRecover(LProcessListThread& queue, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber)
{
    return ProcessSendRecover(
        queue.Status(), uSendTo, uUserID, uFileNumber, _GetFolderFromPath(queue.GetListFilePath()));
}

int ProcessSendRecover(
    LProgressReporter& progress, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber, const std::string& sentFolder)
{
    if (uSendTo == kNoRecipient)
        return 0;
    const std::string section = LDictationEngineSettings::GetSendToUserSettingSection(uSendTo);
    // A typist who receives WAV files has no program that reads a notice.
    if (GetSettingInt(section, "SendFileFormat", 0) != 0)
        return 0;
    const int nMethod = GetSettingInt(section, "SendMethod", 0);
    if (nMethod < 1 || nMethod > 3)
        return 0;
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
        std::string sendStatus;
        if (nMethod == 1)
            DeliverByMail(request, progress, &sendStatus);
        else if (nMethod == 2)
            DeliverToFolder(request, progress, &sendStatus);
        else
            DeliverByFtp(request, progress, &sendStatus);
    }
    if (!folder.empty())
        DeleteFolderAndFiles(folder, true);
    progress.SetText(std::string(), 1);
    progress.SetText(std::string(), 0);
    return 0;
}
