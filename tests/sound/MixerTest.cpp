// The mixer's decibel forms, and its operations on a device with controls
// (a fake mixer that keeps its state).
#include "platform/LPcmBackend.h"
#include "sound/LMixer.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

using Result = LMixer::Result;

TEST(MixerText, DecibelTextsReadBackAndOddTextsParse)
{
    for (int d = -127; d <= 127; ++d)
        EXPECT_EQ(LMixer::ParseDB(LMixer::LevelText(d)), d);
    const std::pair<const char*, int> parsed[] = { { "--dB", -127 }, { "200", 127 }, { "-200 dB", -127 },
        { "level: 3 4", 34 }, { "", 0 }, { "99999999999999999999999", 127 } };
    for (auto [szText, nDb] : parsed)
        EXPECT_EQ(LMixer::ParseDB(szText), nDb) << szText;
}

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

// Device 1 of either direction has the fake mixer; the others have none.
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

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend.state.sources = { "Mic", "Line", "A source name longer than thirty-one characters" };
        backend.Install();
    }
    MixerBackend backend;
};

TEST_F(MixerTest, InputSelectionRecordAndPlayVolume)
{
    // Line -1 or a negative device changes nothing and opens no mixer.
    EXPECT_EQ(LMixer::SetInputChannel(1, -1, 0), Result::Ok);
    EXPECT_EQ(LMixer::SetInputChannel(-1, 0, 0), Result::Ok);
    EXPECT_EQ(LMixer::GetInputChannelCount(-1), 0);
    EXPECT_EQ(backend.state.nOpens, 0);
    EXPECT_FALSE(backend.state.selected || backend.state.capture);

    EXPECT_EQ(LMixer::GetInputChannelCount(1), 3);
    EXPECT_EQ(LMixer::GetInputChannelName(1, 1), "Line");
    EXPECT_EQ(LMixer::SetInputChannel(1, 1, 0), Result::Ok);
    EXPECT_EQ(backend.state.selected, 1u);
    ASSERT_TRUE(backend.state.capture);
    EXPECT_NEAR(*backend.state.capture, 51264.0 / 65535.0, 1e-9);
    EXPECT_EQ(LMixer::SetInputChannel(1, 0, -40), Result::Ok);
    EXPECT_EQ(*backend.state.capture, 0.0);
    EXPECT_EQ(LMixer::SetInputLineVolume(1, 0, 12), Result::Ok);
    EXPECT_EQ(*backend.state.capture, 1.0);
    // The play volume with its extra decibels.
    EXPECT_EQ(LMixer::SetPlayVolume(1, 0, -6), Result::Ok);
    EXPECT_NEAR(*backend.state.playback, 30.0 * 1424 / 65535.0, 1e-9);
    EXPECT_EQ(LMixer::SetPlayVolume(1, 6, -6), Result::Ok);
    EXPECT_NEAR(*backend.state.playback, 51264.0 / 65535.0, 1e-9);
}

} // namespace
