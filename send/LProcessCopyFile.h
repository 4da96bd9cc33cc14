// Copies a transfer file into a typist's folder so that the typist's program
// never takes a half-copied file for a dictation and no file of that folder
// is ever replaced: the copy is made under a hidden temporary name without
// the file's ending, synced, then renamed to the first free name of "NAME.dct",
// "NAME (2).dct", ... Runs on the send queue's thread or under a progress
// dialog; a stop request or a failure deletes the partial copy.
#pragma once

#include <string>

class LProgressReporter;

class LProcessCopyFile {
public:
    static constexpr size_t kBlockBytes = 32768;
    // Names tried for the final file, "NAME.ext" first.
    static constexpr int kMaxNumberedNames = 999;

    // Returns a JobResult: 0 copied (*pDelivered gets the name taken in the
    // folder), 1 stopped, 2 failed. Reports no message; the caller says what
    // the copy was for. *pReason gets why it failed, when given.
    static int Process(LProgressReporter& progress, const std::string& source, const std::string& target,
        std::string* pDelivered = nullptr, std::string* pReason = nullptr);

    // "NAME (n).ext" for n of 2 and more; the target itself for 1.
    static std::string NumberedName(const std::string& target, int n);
};
