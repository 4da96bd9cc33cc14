// The recorder through the real ALSA code, with no sound card: a WAV made by
// sox is fed as the capture device's raw input, recorded into a dictation,
// and the dictation must then hold it after DC removal.
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LQueueMainLoop.h"
#include "sound/LSoundRecorder.h"
#include "tests/support/AlsaTestConfig.h"
#include "tests/support/Audio.h"

#include <chrono>
#include <cmath>

namespace {

struct StopListener : LSoundRecorderNotify {
    bool bStopped = false;
    void OnStopped(uint32_t) override { bStopped = true; }
};

// The high-pass as described (offset D from 0; x -= D >> 12; D += x * K with
// K = 192000 / rate + 1), in 16-bit units; the recorder works at 16 times that.
std::vector<double> HighPass(const std::vector<int16_t>& in, int nRate)
{
    std::vector<double> out;
    int64_t d = 0;
    const int64_t k = 192000 / nRate + 1;
    for (int16_t s : in) {
        const int64_t x = int64_t(s) * 16 - (d >> 12);
        d += x * k;
        out.push_back(double(x) / 16.0);
    }
    return out;
}

TEST(RecorderAlsa, DictationHoldsTheFedWaveAfterDcRemoval)
{
    TEST_REQUIRE_TOOL("sox");
    test::IsolatedEnvironment env;
    test::TempDir dir;
    test::AlsaTestConfig alsa;
    // Two seconds at 16 kHz: speech-like noise pulsing four times a second,
    // a 440 Hz tone, and a DC offset for the filter to remove.
    const std::string wav = dir.File("in.wav"), raw = dir.File("in.raw");
    ASSERT_EQ(test::RunShell("sox -n -r 16000 -c 1 -b 16 -e signed-integer " + test::ShellQuote(wav)
                  + " synth 2 pinknoise synth 2 sine amod 4 synth 2 sine mix 440 vol 0.4 dcshift 0.05"),
        0);
    ASSERT_EQ(test::RunShell("sox " + test::ShellQuote(wav) + " -t raw " + test::ShellQuote(raw)), 0);
    const std::vector<uint8_t> rawBytes = test::ReadFileBytes(raw);
    const std::vector<int16_t> input = test::BytesToS16(std::string(rawBytes.begin(), rawBytes.end()));
    ASSERT_EQ(input.size(), 32000u);
    ASSERT_TRUE(alsa.SetCaptureSamples(0, input));
    LDictation d(dir.Path(), "alsa");
    d.MutableHeader().uSampleRate = 16000;
    LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, true, 0);
    ASSERT_TRUE(sink);
    LQueueMainLoop loop;
    StopListener listener;
    {
        LSoundRecorder recorder(loop);
        recorder.SetListener(&listener, 0);
        // The null device has no pacing: stop on recorded time (the thread may
        // run well past it before the main loop sees the notification).
        ASSERT_TRUE(recorder.Start(sink, LSoundRecorder::kFlagRecordAtOnce, 2000, -127, 4000))
            << recorder.GetLastError();
        sink.Reset();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!listener.bStopped && std::chrono::steady_clock::now() < deadline)
            loop.Pump(20);
        ASSERT_TRUE(listener.bStopped);
    }
    d.UpdateDuration();
    const std::vector<int16_t> got = test::ToS16(test::ReadAll(*LDictationAudioSource::Make(d)));
    ASSERT_GE(got.size(), input.size());
    // After the file the device gives silence (or ends): the offset dies away.
    std::vector<int16_t> fed = input;
    fed.resize(got.size(), 0);
    const std::vector<double> expected = HighPass(fed, 16000);
    double fDot = 0, fGot = 0, fExp = 0, fMaxDiff = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        fDot += got[i] * expected[i];
        fGot += double(got[i]) * got[i];
        fExp += expected[i] * expected[i];
        fMaxDiff = std::max(fMaxDiff, std::abs(got[i] - expected[i]));
    }
    const double fCorrelation = fDot / std::sqrt(fGot * fExp);
    EXPECT_GT(fCorrelation, 0.999);
    EXPECT_LE(fMaxDiff, 1.0) << "beyond the rounding to 16 bits";
}

} // namespace
