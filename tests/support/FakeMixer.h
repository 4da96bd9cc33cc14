// A mixer that keeps its state, for tests of what sets inputs and volumes:
// device 1 of either direction has it, the others have none. Test thread.
#pragma once

#include "platform/LMixerDevice.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace test {

struct MixerState {
    std::vector<std::string> sources;
    bool bCaptureVolume = true, bPlaybackVolume = true;
    std::optional<size_t> selected;
    std::optional<double> capture, playback;
    int nOpens = 0;
};

class FakeMixer : public LMixerDevice {
public:
    explicit FakeMixer(MixerState& state)
        : m(state)
    {
    }
    std::vector<std::string> ListCaptureSources() override { return m.sources; }
    Result SelectCaptureSource(size_t i) override
    {
        if (i >= m.sources.size())
            return Result::NoControl;
        m.selected = i;
        return Result::Ok;
    }
    Result SetCaptureVolume(double f) override { return Set(m.bCaptureVolume, m.capture, f); }
    Result GetCaptureVolume(double* p) override { return Get(m.capture, p); }
    Result SetPlaybackVolume(double f) override { return Set(m.bPlaybackVolume, m.playback, f); }
    Result GetPlaybackVolume(double* p) override { return Get(m.playback, p); }
    Result SetCaptureVolumeDb(double) override { return Result::NoControl; }
    Result GetCaptureVolumeDb(double*) override { return Result::NoControl; }
    Result SetPlaybackVolumeDb(double) override { return Result::NoControl; }
    Result GetPlaybackVolumeDb(double*) override { return Result::NoControl; }

private:
    static Result Set(bool bHave, std::optional<double>& v, double f)
    {
        if (bHave)
            v = f;
        return bHave ? Result::Ok : Result::NoControl;
    }
    static Result Get(const std::optional<double>& v, double* p)
    {
        if (v)
            *p = *v;
        return v ? Result::Ok : Result::NoControl;
    }
    MixerState& m;
};

class MixerBackend : public test::ScriptedPcmBackend {
public:
    std::unique_ptr<LMixerDevice> OpenMixer(Direction, uint32_t device, std::string* pError) override
    {
        if (device != 1) {
            if (pError)
                *pError = "no mixer";
            return nullptr;
        }
        ++state.nOpens;
        return std::make_unique<FakeMixer>(state);
    }
    MixerState state;
};

} // namespace test
