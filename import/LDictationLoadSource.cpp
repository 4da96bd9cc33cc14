#include "import/LDictationLoadSource.h"

#include "dictation/LDictation.h"
#include "import/LDecoderPipeSource.h"
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
        // A decoder's stream waits through this reporter, so Cancel reaches a decoder that writes nothing.
        auto* pStream = dynamic_cast<LDecoderPipeSource*>(source.Get());
        if (pStream)
            pStream->SetReporter(&progress);
        // 16-bit audio in the dictation's own format needs no conversion.
        if (pStream && pStream->IsPcm16() && sink->TakesPcm16Bytes() && sink->SampleRate() == source->SampleRate()
            && sink->NumChannels() == source->NumChannels()) {
            progress.SetText("Loading audio...", 0);
            progress.SetText("Please wait...", 1);
            progress.SetProgress(0.0);
            nResult = pStream->MoveInto(*sink, progress);
        } else {
            nResult = LPRSourceToSink::Process(progress, "Loading audio...", source, sink);
        }
        if (pStream) {
            pStream->SetReporter(nullptr);
            // Its status is known only at its end: a failure there is never a short dictation.
            if (nResult == JobResult::kDone)
                pStream->End();
            if (pStream->GetState() == LDecoderPipeSource::State::Stopped)
                nResult = JobResult::kStopped;
            else if (nResult == JobResult::kDone && pStream->GetState() != LDecoderPipeSource::State::Done) {
                progress.ErrorBox(pStream->Reason());
                nResult = JobResult::kFailed;
            }
        }
    } // the sink's release closes the cut and ends its record at the frames written
    if (header.uSampleRate != 0)
        dictation.UpdateDuration();
    if (!dictation.Save() && nResult == JobResult::kDone)
        nResult = JobResult::kFailed;
    return nResult;
}
