// Method 5: the transfer file appended to a typist pool's folder on an IMAP
// server, where any free typist claims it. The send status says "Placed in
// pool" only after the server's OK, so a broken connection never leaves a
// dictation marked as placed without a message in the pool.
#include "send/LDelivery.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "send/LPoolSession.h"
#include "send/LTypistPool.h"

namespace {

// As large a message as the client appends.
constexpr uint64_t kMaxTransferBytes = 384ull << 20;

bool ReadWhole(const std::string& path, std::string* pData)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting))
        return false;
    const uint64_t nSize = file.GetFileSizeBytes();
    if (nSize > kMaxTransferBytes)
        return false;
    pData->resize(static_cast<size_t>(nSize));
    return file.Read(pData->data(), pData->size()) == pData->size();
}

// The sender as a mail header names it; a made-up address where the user gave none.
std::string FromAddress(const LDeliveryRequest& request)
{
    if (!request.userEmail.empty())
        return request.userEmail;
    return tplprintf("user%d@tavrine.invalid", request.uUserID);
}

JobResult Notice(LPoolSession& session, const LDeliveryRequest& request, const LMailAttachment& notice,
    LProgressReporter& progress, std::string* pSendStatus)
{
    progress.SetText("Taking the dictation back from the typist pool", 0);
    std::string typist;
    std::string why;
    switch (session.TakeBack(request.uUserID, request.uFileNumber, FromAddress(request), notice, &typist, &why)) {
    case LPoolSession::Taken::Cancelled:
        request.Delivered("Taken back from pool", pSendStatus);
        return JobResult::kDone;
    case LPoolSession::Taken::NoticeLeft:
        request.Delivered("Cancel notice to " + typist, pSendStatus);
        return JobResult::kDone;
    case LPoolSession::Taken::NotFound:
        progress.ErrorBox(tplprintf("The dictation %d is neither waiting in the typist pool nor claimed by a typist; "
                                    "it may have been typed already.",
            request.uFileNumber));
        return JobResult::kFailed;
    case LPoolSession::Taken::Stopped:
        return JobResult::kStopped;
    case LPoolSession::Taken::Failed:
        break;
    }
    progress.ErrorBox(why);
    return JobResult::kFailed;
}

} // namespace

JobResult DeliverToPool(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus)
{
    const LRecipient recipient = LDictationEngineSettings::GetRecipient(request.uSendTo);
    LMailAttachment file;
    file.fileName = _GetFileFromPath(request.transferPath);
    file.contentType = "application/octet-stream";
    if (!ReadWhole(request.transferPath, &file.data)) {
        progress.ErrorBox(tplprintf("Unable to read the file \"%s\" for the typist pool.", request.transferPath));
        return JobResult::kFailed;
    }
    LPoolSession session(recipient, progress);
    std::string why;
    if (!session.LogOn(&why)) {
        if (session.IsStopped() || why.empty())
            return JobResult::kStopped;
        progress.ErrorBox(why);
        return JobResult::kFailed;
    }
    if (progress.Pump())
        return JobResult::kStopped;
    if (request.bNotice)
        return Notice(session, request, file, progress, pSendStatus);

    progress.SetText("Placing the dictation in the typist pool", 0);
    const LTypistPool::Entry entry = PoolEntryOf(request);
    const LDeliveryMailText mail = ComposeDeliveryMail(request);
    const std::string message
        = LTypistPool::ComposeDictation(entry, request.bSealed, FromAddress(request), mail.subject, mail.body, file);
    file.data.clear();
    if (!session.Place(message, &why)) {
        if (session.IsStopped())
            return JobResult::kStopped;
        progress.ErrorBox(why);
        return JobResult::kFailed;
    }
    request.Delivered("Placed in pool", pSendStatus);
    // The typists' news comes back on the same session, as after an FTP upload.
    session.FetchStatus(request.uUserID, request.sentFolder);
    return JobResult::kDone;
}
