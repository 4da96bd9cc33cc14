#include "send/LDictationSend.h"

#include "dictation/LDictation.h"
#include "foundation/LDateTime.h"
#include "foundation/LLockFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LProcessListThread.h"
#include "send/LSendAutoDelete.h"

JobResult LDictationSend::Process(LProgressReporter& progress, LDictation& dictation, uint8_t uSendTo,
    LProcessListThread& queue, uint32_t uReadableMs)
{
    const std::string& queuePath = queue.GetListFilePath();
    const std::string sentFolder = _GetFolderFromPath(queuePath);
    const std::string name(dictation.GetName());
    progress.SetText("Delete old files", 0);
    progress.SetText("Please wait", 1);
    LSendAutoDelete::Process(sentFolder, queuePath, LSendAutoDelete::kDaysKey.Get(), LDateTime::Now());
    if (progress.Pump())
        return JobResult::kStopped;

    progress.SetText("Sending dictation", 0);
    progress.SetText(name, 1);
    const std::string target = FilePathCat(sentFolder, dictation.GetBaseName() + ".ddf");
    SendJobItem job;
    if (!SendJobItem::MakeSendJob(target, &job)) {
        progress.ErrorBox(tplprintf("The dictation \"%s\" cannot be sent: the path \"%s\" is too long for the send "
                                    "queue.",
            name, target));
        return JobResult::kFailed;
    }
    // Marked while still in Current: a crash after this leaves it there, unsent.
    DictationHeader& header = dictation.MutableHeader();
    header.uSendTo = uSendTo;
    header.tSent = LDateTime::Now();
    // A status from an earlier attempt does not belong to this send.
    CopyToField(header.szSendStatus, sizeof header.szSendStatus, "");
    if (!dictation.Save()) {
        progress.ErrorBox(tplprintf(
            "The dictation \"%s\" cannot be sent: its file \"%s\" cannot be written.", name, dictation.GetPath()));
        return JobResult::kFailed;
    }
    // The worker waits for this lock, so it never sees the job before the
    // move is done; a crash in between leaves the job naming a dictation that
    // is still in Current, which the worker drops with a message.
    LLockFile lock;
    lock.Lock(target);
    if (!queue.Add(job)) {
        progress.ErrorBox(
            tplprintf("The dictation \"%s\" was not sent: the send queue \"%s\" cannot be written.", name, queuePath));
        return JobResult::kFailed;
    }
    if (!dictation.MoveToFolder(sentFolder)) {
        queue.Remove(job);
        progress.ErrorBox(
            tplprintf("The dictation \"%s\" was not sent: it cannot be moved into \"%s\".", name, sentFolder));
        return JobResult::kFailed;
    }
    lock.Close();
    progress.WaitTimed(uReadableMs);
    return JobResult::kDone;
}
