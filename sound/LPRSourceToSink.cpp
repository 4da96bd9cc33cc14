#include "sound/LPRSourceToSink.h"

#include "sound/convert/LSoundAdapter.h"

#include <vector>

JobResult LPRSourceToSink::Process(
    LProgressReporter& reporter, const std::string& szText, const LSoundSourceRef& source, const LSoundSinkRef& sink)
{
    reporter.SetText(szText, 0);
    reporter.SetText("Please wait...", 1);
    reporter.SetProgress(0.0);
    if (!source || !source->IsUsable())
        return JobResult::kFailed;
    if (!sink || !sink->IsUsable())
        return JobResult::kFailed;

    // Channels, then rate, then the peak limit, so that the sink gets its own
    // format and nothing a 16-bit writer would wrap.
    LSoundSourceRef input = LSoundAdapter::Adapt(source, sink->NumChannels(), sink->SampleRate());
    if (!input || !input->IsUsable())
        return JobResult::kFailed;

    const int64_t nTotal = input->GetLength() > 0 ? input->GetLength() : 1;
    std::vector<int32_t> buffer(static_cast<size_t>(kBlockFrames) * input->NumChannels());
    for (;;) {
        if (reporter.Pump())
            return JobResult::kStopped;
        input->Read(buffer.data(), kBlockFrames);
        const int64_t nPosition = input->GetPosition();
        const int64_t nLength = input->GetLength();
        if (nPosition >= nLength) {
            // The last block: only the frames up to the length are real.
            const int64_t nLast = kBlockFrames - (nPosition - nLength);
            if (nLast > 0 && nLast <= kBlockFrames)
                sink->Write(buffer.data(), static_cast<int32_t>(nLast));
            if (!sink->IsUsable())
                return JobResult::kFailed;
            reporter.SetProgress(1.0);
            return JobResult::kDone;
        }
        sink->Write(buffer.data(), kBlockFrames);
        // A full disk mid-copy must not end as success.
        if (!sink->IsUsable())
            return JobResult::kFailed;
        reporter.SetProgress(static_cast<double>(nPosition) / static_cast<double>(nTotal));
    }
}
