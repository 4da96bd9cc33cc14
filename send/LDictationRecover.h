// Takes a sent dictation back: out of the send queue, from the Send folder
// back into Current, and, for the typist who has it, a cancel-and-recover
// notice queued; the dictation then takes a new file number on disk, so a
// copy sent again is never taken for the cancelled one. Written once against
// the progress reporter (the recover dialog, tavrine-cli recover).
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LDictation;
class LProcessListThread;
class LProgressReporter;

class LDictationRecover {
public:
    static constexpr const char* kTitle = "Recover Dictation";
    // How long a dictation being sent is waited for before the job is asked to stop.
    static constexpr uint32_t kBusyWaitMs = 2000;

    // dictationPath: the header in the queue's folder. Returns a JobResult:
    // done, recovered (*pFileNumber, when given, gets the number it has now),
    // stopped before anything changed, or failed with a message to ErrorBox
    // (also when another program is sending it right now).
    static JobResult Process(LProgressReporter& progress, const std::string& dictationPath, bool bNotice,
        LProcessListThread& queue, uint32_t* pFileNumber = nullptr);

    // The send status of a dictation that ReturnUnqueued moved back (at most 64 bytes).
    static constexpr const char* kUnqueuedStatus = "Not sent: the send queue could not be read";
    struct Unqueued {
        std::vector<std::unique_ptr<LDictation>> back; // now in Current
        std::vector<std::string> stuck; // names of those that could not be moved
        // A recipient that takes a command leaves no send status, so these may
        // have been delivered: they stay where they are.
        std::vector<std::string> maybeSent;
    };
    // After a queue file that could not be read was removed: a dictation in
    // the queue's folder that no job names and that has no send status was
    // waiting in that file, so it goes back to Current. One being moved or
    // sent (its lock held) is left alone. Any thread.
    static Unqueued ReturnUnqueued(const std::string& queuePath);
    // The message that names the file's removal and every dictation of the result.
    static std::string UnqueuedMessage(const std::string& queuePath, const std::string& why, const Unqueued& result);
};

// The notice job on the send queue's thread: writes the 18-byte notice
// "dcan<user>-<number>.dct" and delivers it by the recipient's method (e-mail,
// folder, FTP or typist pool). A recipient that takes WAV files gets none,
// except a pool's, whose notice is read from its header fields. Never
// retried: failures only report, and the result is always 0.
JobResult ProcessSendRecover(LProcessListThread& queue, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber);
JobResult ProcessSendRecover(LProgressReporter& progress, uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber,
    const std::string& sentFolder);
