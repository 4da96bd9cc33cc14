// The foreground half of sending: deletes old sent work, marks the dictation
// with its recipient and the time, queues its job and moves it into the Send
// folder. The order keeps a crash at any moment from leaving a dictation that
// looks sent without being queued: the job is stored before the move, under
// the dictation's lock, which the queue's worker waits for (see
// ProcessSendDictation). Runs under a progress dialog or in tavrine-cli.
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <string>

class LDictation;
class LProcessListThread;
class LProgressReporter;

class LDictationSend {
public:
    // How long the progress stays up after the job is queued, so it can be read.
    static constexpr uint32_t kReadableMs = 850;

    // Returns a JobResult: done, queued (the dictation now lies in the Send
    // folder of the queue's file), stopped before anything changed, or
    // failed with a message to ErrorBox (the dictation stays in Current).
    static JobResult Process(LProgressReporter& progress, LDictation& dictation, uint8_t uSendTo,
        LProcessListThread& queue, uint32_t uReadableMs = kReadableMs);
};
