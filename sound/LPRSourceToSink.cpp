#include "sound/LPRSourceToSink.h"

#include <vector>

int LPRSourceToSink::Process(const LSoundSourceRef& source, const LSoundSinkRef& sink, const Progress& progress)
{
    if (progress && !progress(0.0))
        return kCancelled;
    if (!source || !source->IsUsable() || !sink || !sink->IsUsable())
        return kFailed;
    if (source->SampleRate() != sink->SampleRate() || source->NumChannels() != sink->NumChannels())
        return kFailed;

    const int64_t nTotal = source->GetLength() > 0 ? source->GetLength() : 1;
    std::vector<int32_t> buffer(static_cast<size_t>(kBlockFrames) * source->NumChannels());
    for (;;) {
        if (progress && !progress(static_cast<double>(source->GetPosition()) / static_cast<double>(nTotal)))
            return kCancelled;
        source->Read(buffer.data(), kBlockFrames);
        const int64_t nPosition = source->GetPosition();
        const int64_t nLength = source->GetLength();
        if (nPosition >= nLength) {
            // The last block: only the frames up to the length are real.
            const int64_t nLast = kBlockFrames - (nPosition - nLength);
            if (nLast > 0 && nLast <= kBlockFrames)
                sink->Write(buffer.data(), static_cast<int32_t>(nLast));
            if (progress)
                progress(1.0);
            return kDone;
        }
        sink->Write(buffer.data(), kBlockFrames);
    }
}
