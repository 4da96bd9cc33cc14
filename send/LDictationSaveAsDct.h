// Packs a dictation as a DCT transfer file: header, identity and sender
// details, notes, attachments and the audio as a complete WAV file, with
// Blowfish under the recipient's key when one is set. One body for the send
// queue's thread and the Save As progress dialog (the reporter decides).
#pragma once

#include "dictation/LDictationHeader.h"

#include <cstdint>
#include <string>

class LDictation;
class LProgressReporter;

class LDictationSaveAsDct {
public:
    // Writes the target (replacing a file of that name); returns a JobResult
    // (0 written, 1 stopped, 2 failed with a message to ErrorBox). The
    // recipient whose key and WAV format apply is uSendTo; kKeepRecipient
    // means the dictation's own (none: no key).
    static constexpr unsigned kKeepRecipient = 0x100;
    static int Process(LProgressReporter& progress, const LDictation& dictation, const std::string& target,
        unsigned uSendTo = kKeepRecipient);
    // The 18-byte cancel-and-recover notice for a dictation already sent.
    static bool WriteCancelNotice(const std::string& target, uint32_t uUserID, uint32_t uFileNumber);
};
