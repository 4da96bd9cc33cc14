#include "import/LDictationLoadSource.h"

#include "dictation/LDictation.h"
#include "sound/LPRSourceToSink.h"

JobResult LDictationLoadSource::Process(
    LProgressReporter& progress, const LSoundSourceRef& source, LDictation& dictation)
{
    if (!source || !source->IsUsable() || !dictation.IsValid())
        return JobResult::kFailed;
    DictationHeader& header = dictation.MutableHeader();
    header.uSampleRate = static_cast<uint32_t>(source->SampleRate());
    header.uChannels = source->NumChannels();
    JobResult nResult = JobResult::kFailed;
    {
        // Over everything from 0: whatever the dictation held is replaced by the file.
        LSoundSinkRef sink = dictation.OpenSink(kRecordOverwrite, false, 0);
        if (!sink)
            return JobResult::kFailed;
        nResult = LPRSourceToSink::Process(progress, "Loading audio...", source, sink);
    } // the sink's release closes the cut and ends its record at the frames written
    if (header.uSampleRate != 0)
        dictation.UpdateDuration();
    if (!dictation.Save() && nResult == JobResult::kDone)
        nResult = JobResult::kFailed;
    return nResult;
}
