// Fills a new dictation from a DCT transfer file: its name, creation time,
// priority, notes, attachments and audio. Every length read is checked
// against what the file still holds, so a truncated or hostile file is
// refused with a message and never read past its end.
#pragma once

#include <string>

class LDictation;
class LProgressReporter;

class LDictationLoadDct {
public:
    // Returns a JobResult (0 loaded, or a cancel notice that changes
    // nothing; 1 cancelled; 2 refused, with a message to ErrorBox).
    static int Process(LProgressReporter& progress, const std::string& path, LDictation& dictation);
};
