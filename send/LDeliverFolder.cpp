// Method 2: the transfer file is copied into the recipient's folder (often a
// share of the office network), then the typists' status files there are read.
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "send/LDelivery.h"
#include "send/LProcessCopyFile.h"
#include "send/LStatusFileFetch.h"

JobResult DeliverToFolder(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus)
{
    const std::string folder = LDictationEngineSettings::GetRecipient(request.uSendTo).folder;
    const std::string name = _GetFileFromPath(request.transferPath);
    JobResult nResult = JobResult::kFailed;
    std::string reason = "No folder is set for this recipient.";
    // An empty setting would copy into the program's working directory.
    if (!folder.empty()) {
        LProcessCopyFile::RemoveStaleParts(folder);
        nResult
            = LProcessCopyFile::Process(progress, request.transferPath, FilePathCat(folder, name), nullptr, &reason);
    }
    if (nResult == JobResult::kFailed)
        progress.ErrorBox(
            tplprintf("Unable to copy the file \"%s\" into the send folder \"%s\".", name, folder) + " " + reason);
    if (nResult != JobResult::kDone)
        return nResult;
    request.Delivered("Copied into Folder", pSendStatus);
    if (!request.bNotice)
        LStatusFileFetch::FromFolder(folder, request.uUserID, request.sentFolder);
    return JobResult::kDone;
}
