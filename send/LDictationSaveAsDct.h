// Packs a dictation as a DCT transfer file: header, identity and sender
// details, notes, attachments and the audio as a complete WAV file, with
// Blowfish under the recipient's key when one is set. One body for the send
// queue's thread and the Save As progress dialog (the reporter decides).
#pragma once

#include "dictation/LDictationHeader.h"
#include "foundation/JobResult.h"

#include <cstdint>
#include <string>

class LDictation;
class LProgressReporter;

// The fixed start of every DCT file.
inline constexpr size_t kDctHeaderBytes = 18;
inline constexpr uint32_t kDctFlagCancelNotice = 1;
inline constexpr uint32_t kDctFlagEncrypted = 2;
inline constexpr uint32_t kDctFlagAttachments = 4;
// Pieces of the audio are copied (and encrypted) this many bytes at a time.
inline constexpr size_t kDctBlockBytes = 32768;
// Notes are typed text: a file claiming more is hostile or broken, and its
// notes would be held whole by every later listing of the dictation. The
// writer keeps to the same bound, so every file written can be loaded.
inline constexpr uint32_t kDctMaxNotesBytes = 1u << 20;

class LDictationSaveAsDct {
public:
    // Writes the target (replacing a file of that name once the new one is
    // whole); returns a JobResult (done: written; stopped; failed with a
    // message to ErrorBox). The recipient whose key and WAV format apply is
    // uSendTo; kKeepRecipient means the dictation's own (none: no key). A
    // stopped or failed save leaves nothing of its own behind.
    static constexpr unsigned kKeepRecipient = 0x100;
    static JobResult Process(LProgressReporter& progress, const LDictation& dictation, const std::string& target,
        unsigned uSendTo = kKeepRecipient);
    // The 18-byte cancel-and-recover notice for a dictation already sent,
    // written whole or not at all.
    static bool WriteCancelNotice(const std::string& target, uint32_t uUserID, uint32_t uFileNumber);
};
