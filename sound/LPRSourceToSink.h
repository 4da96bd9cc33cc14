// The common body that copies a sound source into a sound sink in blocks,
// reporting to whoever shows the work (progress dialog, send queue, terminal)
// and stopping when it asks. Runs on the caller's thread.
#pragma once

#include "foundation/JobResult.h"
#include "foundation/LProgressReporter.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <string>

class LPRSourceToSink {
public:
    static constexpr int32_t kBlockFrames = 8192;

    // Copies from the source's position to its length in blocks of
    // kBlockFrames, the last one cut at the length. Shows the text on line 0
    // and "Please wait..." on line 1; Pump is asked before every block, so a
    // stop takes effect within one block. A source or sink in error, a sink
    // that fails while written, or ends that differ in rate or channel count
    // fail.
    static JobResult Process(LProgressReporter& reporter, const std::string& szText, const LSoundSourceRef& source,
        const LSoundSinkRef& sink);
};
