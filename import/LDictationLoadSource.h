// Copies an opened audio file into a dictation, so that the dictation's audio
// becomes exactly the file's: its rate and channel count, one cut from 0, and
// no undo entry (loading is not an edit). Runs on the caller's thread.
#pragma once

#include "foundation/JobResult.h"
#include "sound/LSoundSourceBase.h"

class LDictation;
class LProgressReporter;

class LDictationLoadSource {
public:
    // The result of LPRSourceToSink::Process (a cut file that cannot be
    // created fails too). Unless it is done the
    // dictation holds what was copied so far; a new one is deleted by the caller.
    static JobResult Process(LProgressReporter& progress, const LSoundSourceRef& source, LDictation& dictation);
};
