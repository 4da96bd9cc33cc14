// A typist's pedal: recorded pedal reports fed into a pipe where the hidraw
// node would be, through the real controllers, the hold-to-play rule and the
// transport, onto the scripted sound device. What the device was given is
// compared frame by frame with the dictation's own audio.
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSet.h"
#include "app/shared/input/LControllers.h"
#include "app/shared/input/LHoldToPlay.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/transport/LTransport.h"
#include "dictation/LDictationAudioSource.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/Audio.h"
#include "tests/support/PedalDouble.h"
#include "tests/support/ScriptedPcmBackend.h"

namespace {

constexpr int kRate = 8000;
constexpr int kFramesPerMs = kRate / 1000;

// Whether what the device was given from uFrom on is the dictation's audio
// from frame uAt on, over at least 100 ms.
::testing::AssertionResult PlayedFrom(
    const std::vector<int16_t>& played, size_t uFrom, const std::vector<int16_t>& audio, size_t uAt)
{
    const size_t n = std::min(played.size() - uFrom, audio.size() - uAt);
    if (n < size_t(kFramesPerMs) * 100)
        return ::testing::AssertionFailure() << "only " << n << " frames played";
    for (size_t i = 0; i < n; ++i)
        if (played[uFrom + i] != audio[uAt + i])
            return ::testing::AssertionFailure() << "frame " << i << " played " << played[uFrom + i] << ", expected "
                                                 << audio[uAt + i] << " (the dictation's frame " << uAt + i << ")";
    return ::testing::AssertionSuccess();
}

class OneDictation : public LPlaybackModel {
public:
    explicit OneDictation(LDictation& d)
        : m_d(d)
    {
    }
    LDictation* Find(int nId) const override { return nId == 0 ? &m_d : nullptr; }
    void Choose()
    {
        SetCurrent(0);
        MeasureCurrent();
        SetPosition(0);
    }

private:
    LDictation& m_d;
};

class PedalPlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        backend.Install();
        backend.SetPlaybackManual(true);
        SetSettingInt("Settings", "SampleRate", kRate);
        d = std::make_unique<LDictation>(engine.GetCurrentFolder(), "pedal");
        // A ramp, so that every frame heard names its place.
        LSoundSinkRef sink = d->OpenSink(kRecordAtEnd, false, 0);
        ASSERT_TRUE(sink);
        std::vector<int16_t> ramp(size_t(kRate) * 4);
        for (size_t i = 0; i < ramp.size(); ++i)
            ramp[i] = static_cast<int16_t>(i % 30000);
        std::vector<int32_t> internal = test::ToInternal(ramp);
        sink->Write(internal.data(), int32_t(internal.size()));
        sink.Reset();
        d->UpdateDuration();
        audio = test::ToS16(test::ReadAll(*LDictationAudioSource::Make(*d)));
        ASSERT_EQ(audio.size(), ramp.size());

        model = std::make_unique<OneDictation>(*d);
        transport = std::make_unique<LTransport>(*model, loop);
        transport->RegisterCommands(router);
        model->Choose();

        InputKeys::kControlPort.Set(HardwareControl::kUsbPedals);
        controllers = std::make_unique<LControllers>(holdToPlay, router,
            LControllers::State { [] { return false; }, [this] { return model->IsPlaying(); } },
            HardwareControl::Devices { pedal.Roots(), {}, {} });
        // The usual three-pedal layout: rewind, play, forward.
        controllers->SetButtonCommands([](int n) {
            const LCommandId kLayout[4]
                = { LCommandId::kRewind, LCommandId::kPlay, LCommandId::kFastForward, LCommandId::kSetNoAction };
            return kLayout[n];
        });
        controllers->StartHardwareControl();
    }
    void TearDown() override
    {
        controllers.reset();
        transport.reset();
        backend.Uninstall();
    }

    // Letting go waits until the device is closed, so that what it kept is
    // the press's alone.
    void Pedal(uint8_t uBits)
    {
        pedal.Set(uBits, [](const std::function<bool()>& done) { return PumpUntil(done); });
        PumpFor(5);
        if (uBits == 0) {
            EXPECT_TRUE(PumpUntil([this] { return !backend.PlaybackIsOpen(); }));
        }
    }
    // Lets the device hear frames until the transport stands at nMs or later.
    void HearUntil(int32_t nMs)
    {
        EXPECT_TRUE(PumpUntil([&] {
            backend.AdvancePlayback(kRate / 50);
            return model->Position() >= nMs;
        })) << model->Position();
    }

    test::IsolatedEnvironment env;
    LDictationEngineSettings engine;
    test::ScriptedPcmBackend backend;
    LQtMainLoop loop;
    std::unique_ptr<LDictation> d;
    std::vector<int16_t> audio;
    std::unique_ptr<OneDictation> model;
    std::unique_ptr<LTransport> transport;
    LCommandRouter router;
    LCommandSet set { router, { [] { return false; }, [this] { return model->IsPlaying(); } } };
    LHoldToPlay holdToPlay { set, router };
    test::PedalDouble pedal { env.Dir().File("pedal") };
    std::unique_ptr<LControllers> controllers;
};

TEST_F(PedalPlayback, HoldingPlayPlaysAndLettingGoPausesBackByTheAutoRewind)
{
    struct Row {
        int32_t nRewindMs;
        int32_t nHearMs;
    };
    for (const Row row : { Row { 1000, 1500 }, Row { 0, 600 }, Row { 1000, 400 } }) {
        SCOPED_TRACE(row.nRewindMs);
        transport->SetPauseRewind(row.nRewindMs);
        model->SetPosition(0);
        Pedal(2);
        ASSERT_TRUE(model->IsPlaying());
        HearUntil(row.nHearMs);
        // Only what the device was told to play counts as heard: the position stands still.
        const int32_t nPaused = model->Position();
        const int32_t nResume = std::max(nPaused - row.nRewindMs, 0);
        Pedal(0);
        ASSERT_FALSE(model->IsPlaying());
        EXPECT_EQ(model->Position(), nResume);

        // Each opening of the device starts what it keeps afresh.
        EXPECT_TRUE(PlayedFrom(backend.PlaybackSamples(), 0, audio, 0));

        Pedal(2);
        HearUntil(nResume + 100);
        Pedal(0);
        // The second press starts at the very frame the pause went back to.
        EXPECT_TRUE(PlayedFrom(backend.PlaybackSamples(), 0, audio, size_t(nResume) * kFramesPerMs));
    }
}

} // namespace
