#include "app/shared/transport/LTones.h"

#include "platform/LPcmBackend.h"

#include <cmath>
#include <numbers>

namespace {

// A tone of up to two pitches in turn, with 5 ms rises and falls so that it
// does not click.
std::vector<int16_t> MakeTone(uint32_t uSamples, double fFirstHz, double fSecondHz)
{
    std::vector<int16_t> samples(uSamples);
    const uint32_t uRamp = LTones::kRate / 200;
    const uint32_t uHalf = uSamples / 2;
    double fPhase = 0;
    for (uint32_t i = 0; i < uSamples; ++i) {
        const double fHz = i < uHalf ? fFirstHz : fSecondHz;
        fPhase += 2 * std::numbers::pi * fHz / LTones::kRate;
        double fGain = 1.0;
        const uint32_t uFromEdge = std::min(i, uSamples - 1 - i);
        if (uFromEdge < uRamp)
            fGain = 0.5 - 0.5 * std::cos(std::numbers::pi * uFromEdge / uRamp);
        samples[i] = static_cast<int16_t>(std::lround(12000.0 * fGain * std::sin(fPhase)));
    }
    return samples;
}

} // namespace

const std::vector<int16_t>& LTones::Samples(Tone tone)
{
    // One rising beep when recording starts; a falling pair when it stops.
    static const std::vector<int16_t> record = MakeTone(800, 1000, 1000);
    static const std::vector<int16_t> stopped = MakeTone(2000, 660, 440);
    return tone == Tone::Record ? record : stopped;
}

bool LTones::Play(Tone tone, int32_t nDevice)
{
    if (nDevice < 0)
        return false;
    const std::vector<int16_t>& samples = Samples(tone);
    LPcmStreamParams params;
    params.uRate = kRate;
    params.uChannels = 1;
    params.uPeriodFrames = kRate / 20;
    params.uPeriods = 8;
    std::unique_ptr<LPcmPlayback> pPlayback
        = LPcmBackend::Current().OpenPlayback(static_cast<uint32_t>(nDevice), params, nullptr);
    if (!pPlayback)
        return false;
    size_t nDone = 0;
    int nIdle = 0;
    while (nDone < samples.size()) {
        int32_t nRoom = pPlayback->WaitWritable(100);
        if (nRoom == LPcmPlayback::kError)
            return false;
        if (nRoom == 0) {
            // A device that takes nothing for a second is not heard.
            if (++nIdle > 10)
                return false;
            continue;
        }
        const uint32_t uFrames = static_cast<uint32_t>(std::min<size_t>(size_t(nRoom), samples.size() - nDone));
        int32_t nTaken = pPlayback->Write(samples.data() + nDone, uFrames);
        if (nTaken < 0)
            return false;
        nDone += static_cast<size_t>(nTaken);
    }
    return pPlayback->Drain(2000);
}
