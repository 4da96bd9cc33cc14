// The common body that copies a sound source into a sound sink in blocks,
// reporting progress and stopping on request. Runs on the caller's thread;
// the progress callback is called once per block.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <functional>

class LPRSourceToSink {
public:
    enum Result : int { kDone = 0, kCancelled = 1, kFailed = 2 };
    static constexpr int32_t kBlockFrames = 8192;

    // Receives the fraction done (0 to 1); returning false cancels the copy.
    using Progress = std::function<bool(double fFraction)>;

    // Copies from the source's position to its length. A source or sink in
    // error, or one whose rate or channel count differs from the other's,
    // fails (rate and channel conversion are separate stages).
    static int Process(const LSoundSourceRef& source, const LSoundSinkRef& sink, const Progress& progress = {});
};
