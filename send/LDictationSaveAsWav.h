// Writes a dictation's audio as one WAV file: 16-bit PCM at the dictation's
// own rate and channels, or, when a recipient applies, the recipient's
// transfer format from its codec file (GSM 06.10 by default).
#pragma once

#include "foundation/JobResult.h"
#include "sound/codecs/LWaveFormat.h"

#include <cstdint>
#include <string>

class LDictation;
class LProgressReporter;

class LDictationSaveAsWav {
public:
    static constexpr unsigned kKeepRecipient = 0x100;
    // Returns a JobResult; the target is replaced only by a whole file, and a
    // stopped or failed save leaves nothing of its own behind. The
    // recipient whose format applies is uSendTo; kKeepRecipient means the
    // dictation's own (none: 16-bit PCM).
    static JobResult Process(LProgressReporter& progress, const LDictation& dictation, const std::string& target,
        unsigned uSendTo = kKeepRecipient);

    // The recipient that applies: uSendTo, or the dictation's own for kKeepRecipient.
    static uint8_t ResolveRecipient(const LDictation& dictation, unsigned uSendTo);
    // The format the file is written in for that recipient (kNoRecipient:
    // 16-bit PCM as the dictation is recorded).
    static LWaveFormat TransferFormat(const LDictation& dictation, uint8_t uRecipient);
};
