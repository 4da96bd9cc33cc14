#include "send/LDictationSaveAsWav.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "sound/LPRSourceToSink.h"
#include "sound/files/LCodecRecord.h"
#include "sound/files/LWaveFile.h"

uint8_t LDictationSaveAsWav::ResolveRecipient(const LDictation& dictation, unsigned uSendTo)
{
    if (uSendTo >= kKeepRecipient)
        return dictation.Header().uSendTo;
    return static_cast<uint8_t>(uSendTo);
}

LWaveFormat LDictationSaveAsWav::TransferFormat(const LDictation& dictation, uint8_t uRecipient)
{
    if (uRecipient == kNoRecipient) {
        LWaveFormat pcm;
        pcm.wFormatTag = kWaveFormatPCM;
        pcm.nChannels = dictation.Header().uChannels;
        pcm.nSamplesPerSec = dictation.Header().uSampleRate;
        pcm.wBitsPerSample = 16;
        pcm.nBlockAlign = static_cast<uint16_t>(2 * pcm.nChannels);
        pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
        return pcm;
    }
    LWaveFormat format = LCodecRecord::DefaultFormat();
    LDictationEngineSettings engine;
    if (engine.IsUsable())
        LCodecRecord::Load(LCodecRecord::PathFor(engine.GetCurrentFolder(), uRecipient), &format);
    return format;
}

JobResult LDictationSaveAsWav::Process(
    LProgressReporter& progress, const LDictation& dictation, const std::string& target, unsigned uSendTo)
{
    progress.SetText("Saving Audio...", 0);
    const LWaveFormat format = TransferFormat(dictation, ResolveRecipient(dictation, uSendTo));
    // Written beside the target and renamed over it when whole, so neither a
    // crash nor a failure leaves a torn file under the target's name.
    const std::string partial = CreatePartialFile(target);
    if (partial.empty()) {
        progress.ErrorBox(tplprintf("Unable to open file \"%s\" for writing.", target));
        return JobResult::kFailed;
    }
    LSoundSourceRef source = LDictationAudioSource::Make(dictation);
    LSoundSinkRef sink = LWaveFile::OpenSink(partial, format);
    if (!sink || !sink->IsUsable()) {
        sink.Reset();
        DeleteFileAt(partial);
        progress.ErrorBox(tplprintf("The transfer format of the recipient (format tag %d, %d channels, %d Hz) "
                                    "cannot be written; choose another in the recipient's properties.",
            static_cast<uint32_t>(format.wFormatTag), static_cast<uint32_t>(format.nChannels), format.nSamplesPerSec));
        return JobResult::kFailed;
    }
    JobResult nResult = LPRSourceToSink::Process(progress, "Saving Audio...", source, sink);
    // The writer finishes its header when its last reference goes.
    sink.Reset();
    if (nResult == JobResult::kDone) {
        // A header that could not be finished (a full disk) leaves a file
        // that still reads as being written: that is no transfer file.
        LWaveFileInfo info;
        if (LWaveFile::ReadInfo(partial, &info) != 0 || info.bStreaming
            || info.nDataStart + info.nDataBytes > info.nFileSize || !CommitPartialFile(partial, target))
            nResult = JobResult::kFailed;
        if (nResult == JobResult::kFailed)
            progress.ErrorBox(tplprintf("Unable to write the file \"%s\".", target));
    } else if (nResult == JobResult::kFailed) {
        progress.ErrorBox(tplprintf("Unable to write the file \"%s\".", target));
    }
    if (nResult != JobResult::kDone)
        DeleteFileAt(partial);
    return nResult;
}
