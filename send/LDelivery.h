// The five ways a transfer file reaches a typist, behind one call each, so
// the send job and the cancel notice share them and each method lives in a
// file of its own. Run on the send queue's thread (or under a progress
// dialog); every wait goes through the reporter, so a stop request ends the
// delivery within a slice. Messages go to the reporter's ErrorBox.
#pragma once

#include "foundation/JobResult.h"
#include "send/LTypistPool.h"

#include <cstdint>
#include <functional>
#include <string>

class LProgressReporter;

struct LDeliveryRequest {
    // The file to deliver, complete and closed.
    std::string transferPath;
    // Its name without folder and extension (the mail names it in the body).
    std::string baseName;
    // The recipient, 0 to 254; its settings are in section "SendTo<n+1>".
    uint8_t uSendTo = 0;
    // The sender as the dictation names it, and who the user is.
    uint32_t uUserID = 0;
    std::string userName;
    std::string userEmail;
    // The sent folder, where status files fetched after a delivery are applied.
    std::string sentFolder;
    // The cancel-and-recover notice: no status files are fetched for it, and
    // an upload goes straight to the final name.
    bool bNotice = false;
    // Records a delivered dictation's send status at once: a delivery that
    // reads the typist's status files calls it before it applies them, so a
    // status the typist left is the one that stays. Empty: nothing to record.
    std::function<void(const std::string& sendStatus)> onDelivered;
    // Bounds of fetching status files by FTP after an upload: each file, and
    // the listing and all files together. A file cut off is skipped.
    uint32_t uStatusFileMs = 15000;
    uint32_t uStatusFetchMs = 60000;
    // What a typist pool's header fields tell of the dictation, so typists
    // list the pool without fetching audio; name, notes and author name stay
    // off the server when the transfer file is sealed.
    uint32_t uFileNumber = 0;
    uint8_t uPriority = 50;
    std::string dictationName;
    std::string notes;
    uint32_t nLengthMs = 0;
    uint32_t tCreated = 0;
    bool bSealed = false;

    // Gives the send status to *pSendStatus (when given) and to onDelivered.
    void Delivered(const std::string& sendStatus, std::string* pSendStatus) const
    {
        if (pSendStatus)
            *pSendStatus = sendStatus;
        if (onDelivered)
            onDelivered(sendStatus);
    }
};

// Each returns a JobResult: done (delivered), stopped, or failed (with a message
// given to ErrorBox). When done, *pSendStatus gets the dictation's new send
// status ("Emailed", "Copied into Folder", "Uploaded"); left as it was when
// the method sets none.
JobResult DeliverByMail(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus);
JobResult DeliverToFolder(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus);
JobResult DeliverByFtp(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus);
JobResult DeliverByCommand(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus);
// "Placed in pool" once the server took the message. A notice takes the
// dictation back while unclaimed, else leaves the notice for its claimer.
JobResult DeliverToPool(const LDeliveryRequest& request, LProgressReporter& progress, std::string* pSendStatus);

// The subject and body the mail method gives a transfer file (the pool's message has the same).
struct LDeliveryMailText {
    std::string subject;
    std::string body;
};
LDeliveryMailText ComposeDeliveryMail(const LDeliveryRequest& request);
// The dictation as the typist pool's header fields name it (kind "dictation").
LTypistPool::Entry PoolEntryOf(const LDeliveryRequest& request);
