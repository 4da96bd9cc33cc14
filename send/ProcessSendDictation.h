// The background half of sending, one job of the send queue: reloads the
// dictation, names and packs the transfer file in the process's private
// temporary folder, delivers it by the recipient's send method, records the
// send status, and on failure hands the dictation back to Current. Written
// once against the progress reporter; runs on the queue's thread.
#pragma once

#include "foundation/JobResult.h"
#include "send/SendJobItem.h"

#include <memory>
#include <string>

class LDictation;
class LProcessListThread;
class LProgressReporter;
struct LDeliveryRequest;

// The queue's job runner (set by the window and by tavrine-cli): a send job,
// with the queue's status block as reporter; dictations handed back go on its
// failed list.
JobResult ProcessSendDictation(LProcessListThread& queue, const SendJobItem& item);

// The send status a dictation handed back carries: "Not sent: " and the
// reason the error message gives (the header keeps what fits).
std::string FailedSendStatus(const std::string& error);
// The job itself. The dictation must lie in sentFolder (the queue's folder);
// Current is its sibling. A dictation moved back to Current is given in
// *pReturned for the window to list again. Returns a JobResult.
JobResult ProcessSendDictation(LProgressReporter& progress, const SendJobItem& item, const std::string& sentFolder,
    std::unique_ptr<LDictation>* pReturned);

// The one dispatch by the recipient's "SendMethod": 1 e-mail, 2 folder, 3 FTP,
// 4 command. Any other value fails with a message naming the recipient and
// the dictation (dictationName).
JobResult DeliverBySendMethod(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus,
    const std::string& dictationName);
