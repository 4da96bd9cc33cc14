// Copies a transfer file into a typist's folder so that the typist's program
// never takes a half-copied file for a dictation and no file of that folder
// is ever replaced: the copy is made under a hidden temporary name without
// the file's ending, synced, then renamed to the first free name of "NAME.dct",
// "NAME (2).dct", ... Runs on the send queue's thread or under a progress
// dialog; a stop request or a failure deletes the partial copy, and what a
// crash left (confidential audio in a shared folder) goes at the next visit.
#pragma once

#include "foundation/JobResult.h"

#include <ctime>
#include <string>

class LProgressReporter;

class LProcessCopyFile {
public:
    static constexpr size_t kBlockBytes = 32768;
    // Names tried for the final file, "NAME.ext" first.
    static constexpr int kMaxNumberedNames = 999;

    // Partial copies are ".tavrine-HOST-PID-N.part": the host tells whose
    // they are when several machines deliver into one share.
    static constexpr time_t kStalePartSeconds = 86400;

    // Returns a JobResult: done (copied *pDelivered gets the name taken in the
    // folder), stopped, or failed. Reports no message; the caller says what
    // the copy was for. *pReason gets why it failed, when given, as a
    // sentence for the user ("The disk holding the folder is full.").
    static JobResult Process(LProgressReporter& progress, const std::string& source, const std::string& target,
        std::string* pDelivered = nullptr, std::string* pReason = nullptr);

    // Deletes the partial copies in the folder that no copy will finish: this
    // host's whose process is gone, and anyone's not written for a day (a
    // live copy of another machine is never taken before then). Returns how
    // many went.
    static int RemoveStaleParts(const std::string& folder);

    // This machine in part names: its machine ID, else its host name, in
    // letters, digits, '-', '_' and '.'.
    static const std::string& HostTag();

    // "NAME (n).ext" for n of 2 and more; the target itself for 1.
    static std::string NumberedName(const std::string& target, int n);
    // The part a number goes before: the extension, and for a sealed file
    // both ("x (2).dct.age" stays a DCT job to a typist).
    static std::string NumberingExtension(const std::string& name);
};
