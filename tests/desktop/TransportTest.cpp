// The transport of the main window against the scripted sound device: what
// recording in each mode leaves in the dictation (judged by the pitch of each
// stretch of its audio), where playback starts, scanning while a button is
// held, stepping, the tones, and a device that cannot open.
#include "app/desktop/transport/LTones.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LSettings.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/Audio.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <QToolButton>

#include <cmath>

namespace {

using test::ScriptedPcmBackend;
using Id = LCommandId;
constexpr int kRate = 8000;

std::vector<int16_t> Sine(double fHz, int nMs)
{
    std::vector<int16_t> samples(size_t(kRate) * nMs / 1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * fHz * double(i) / kRate));
    return samples;
}

std::vector<int16_t> Concat(std::vector<int16_t> a, const std::vector<int16_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Pitch by zero crossings over [from, to) ms.
double Pitch(const std::vector<int16_t>& samples, int nFromMs, int nToMs)
{
    size_t uFrom = size_t(kRate) * nFromMs / 1000, uTo = std::min(samples.size(), size_t(kRate) * nToMs / 1000);
    int nCrossings = 0;
    for (size_t i = uFrom + 1; i < uTo; ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++nCrossings;
    return uTo > uFrom ? nCrossings / 2.0 / (double(uTo - uFrom) / kRate) : 0;
}

std::vector<int16_t> DictationAudio(const LDictation& d)
{
    return test::ToS16(test::ReadAll(*LDictationAudioSource::Make(d)));
}

// Holds or lets go a scanning button of the window.
void Hold(QWidget* pButton, bool bDown)
{
    bDown ? emit static_cast<QToolButton*>(pButton)->pressed() : emit static_cast<QToolButton*>(pButton)->released();
}

bool Checked(QWidget* pButton)
{
    return static_cast<QToolButton*>(pButton)->isChecked();
}

class Transport : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        backend.Install();
        SetSettingInt("Settings", "SampleRate", kRate);
        // Everything the device gives is recorded.
        SetMachineInt("Settings", "VoiceActivateLevel", -127);
    }
    void TearDown() override
    {
        app.reset();
        backend.Uninstall();
    }

    LDictation& OpenWithOne()
    {
        Make("one", 0, 0, 1000);
        Open();
        EXPECT_NE(Session().Current(), nullptr);
        return *Session().Current();
    }

    // Records the samples through a menu command until the device runs out.
    void Record(LCommandId command, const std::vector<int16_t>& samples)
    {
        ScriptedPcmBackend::CaptureScript script;
        for (size_t i = 0; i < samples.size(); i += kRate / 10)
            script.blocks.emplace_back(
                samples.begin() + long(i), samples.begin() + long(std::min(samples.size(), i + kRate / 10)));
        script.bEndAtFinish = true;
        backend.SetCaptureScript(script);
        ASSERT_TRUE(Run(command));
        ASSERT_TRUE(PumpUntil([&] { return app->Transport().GetRecordState() == LSoundRecorder::kStateStopped; }));
    }

    LTransport& T() { return app->Transport(); }

    ScriptedPcmBackend backend;
};

TEST_F(Transport, RecordsAtEndInsertsAndOverwritesFromTheWindow)
{
    LDictation& d = OpenWithOne();
    Record(Id::kRecordAtEnd, Sine(500, 1000));
    EXPECT_EQ(Session().Position(), Session().Length());
    std::vector<int16_t> audio = DictationAudio(d);
    EXPECT_NEAR(Pitch(audio, 100, 900), 500, 15);
    EXPECT_EQ(d.Header().uDuration, 1);

    Session().SetPosition(500);
    Record(Id::kRecordInsert, Sine(1500, 500));
    audio = DictationAudio(d);
    EXPECT_NEAR(double(audio.size()) / kRate, 1.5, 0.08);
    EXPECT_NEAR(Pitch(audio, 100, 450), 500, 15);
    EXPECT_NEAR(Pitch(audio, 600, 950), 1500, 30);
    EXPECT_NEAR(Pitch(audio, 1100, 1400), 500, 15);

    Session().SetPosition(500);
    Record(Id::kRecordOverwrite, Sine(1000, 1000));
    audio = DictationAudio(d);
    EXPECT_NEAR(double(audio.size()) / kRate, 1.5, 0.08);
    EXPECT_NEAR(Pitch(audio, 100, 450), 500, 15);
    EXPECT_NEAR(Pitch(audio, 600, 1400), 1000, 20);
    std::string undo;
    EXPECT_TRUE(d.GetUndoText(&undo));
    EXPECT_EQ(undo.rfind("Undo Record Overwrite", 0), 0u) << undo;

    // The Record button takes the default mode, overwrite unless changed.
    ASSERT_TRUE(Run(Id::kDefaultAtEnd));
    EXPECT_EQ(GetSettingInt("Settings", "RecordMode", -1), 0);
    Session().SetPosition(0);
    Record(Id::kRecord, Sine(2000, 300));
    audio = DictationAudio(d);
    EXPECT_NEAR(double(audio.size()) / kRate, 1.8, 0.1);
    EXPECT_NEAR(Pitch(audio, 100, 450), 500, 15);
    EXPECT_NEAR(Pitch(audio, 1550, 1750), 2000, 40);
}

TEST_F(Transport, PlaysFromThePositionAndReplaysTheLastSecondAtTheEnd)
{
    LDictation& d = OpenWithOne();
    Record(Id::kRecordAtEnd, Concat(Sine(500, 1000), Sine(1500, 1000)));
    ASSERT_NEAR(DictationAudio(d).size(), size_t(2 * kRate), kRate / 10);

    Session().SetPosition(1000);
    ASSERT_TRUE(Run(Id::kPlay));
    ASSERT_TRUE(PumpUntil([&] { return !T().IsPlaying(); }));
    std::vector<int16_t> played = backend.PlaybackSamples();
    EXPECT_NEAR(Pitch(played, 50, 800), 1500, 30);
    EXPECT_NEAR(double(played.size()) / kRate, 1.0, 0.15);
    EXPECT_FALSE(Checked(dialog->Control(LControlIds::kIdPlay)));
    EXPECT_GE(Session().Position(), 1800);

    // From 300 ms the 500 Hz stretch is heard first.
    Session().SetPosition(300);
    ASSERT_TRUE(Run(Id::kPlay));
    ASSERT_TRUE(PumpUntil([&] { return backend.PlaybackHeardFrames() > size_t(kRate) / 2; }));
    EXPECT_TRUE(Checked(dialog->Control(LControlIds::kIdPlay)));
    EXPECT_GE(Session().Position(), 300);
    ASSERT_TRUE(Run(Id::kStop));
    EXPECT_FALSE(T().IsPlaying());
    EXPECT_NEAR(Pitch(backend.PlaybackSamples(), 50, 500), 500, 15);
}

TEST_F(Transport, ScanningMovesWhileHeldAndStopsOnRelease)
{
    OpenWithOne();
    Record(Id::kRecordAtEnd, Sine(500, 10000));
    QWidget* pForward = dialog->Control(LControlIds::kIdFastForward);
    QWidget* pRewind = dialog->Control(LControlIds::kIdRewind);

    Session().SetPosition(2000);
    Hold(pForward, true);
    PumpFor(600);
    const int32_t nReached = Session().Position();
    // At least one and a half times normal speed.
    EXPECT_GT(nReached, 2000 + 600);
    Hold(pForward, false);
    EXPECT_FALSE(T().IsPlaying());
    PumpFor(100);
    EXPECT_EQ(Session().Position(), nReached);

    Hold(pRewind, true);
    PumpFor(600);
    const int32_t nBack = Session().Position();
    EXPECT_LT(nBack, nReached - 500 - 300);
    Hold(pRewind, false);
    EXPECT_FALSE(T().IsPlaying());

    // Held during playback, playback goes on from where the scan got to.
    Session().SetPosition(5000);
    ASSERT_TRUE(Run(Id::kPlay));
    PumpFor(100);
    Hold(pRewind, true);
    PumpFor(400);
    Hold(pRewind, false);
    EXPECT_TRUE(T().IsPlaying());
    EXPECT_FALSE(T().IsScanning());
    EXPECT_LT(Session().Position(), 5000);

    // Fast forward beyond the end goes to the end.
    ASSERT_TRUE(Run(Id::kStop));
    Session().SetPosition(Session().Length());
    Session().SetLength(Session().Length() + 5000);
    Session().SetPosition(Session().Length());
    ASSERT_TRUE(Run(Id::kFastForward));
    EXPECT_FALSE(T().IsPlaying());
    EXPECT_NEAR(Session().Position(), 10000, 100);
}

TEST_F(Transport, StepsAndSeeksStayInsideTheDictation)
{
    OpenWithOne();
    Record(Id::kRecordAtEnd, Sine(500, 8000));
    const int32_t nLength = Session().Length();
    Session().SetPosition(3000);
    Run(Id::kSetStepBack);
    EXPECT_EQ(Session().Position(), 0);
    Session().SetPosition(nLength - 2000);
    Run(Id::kSetStepForward);
    EXPECT_EQ(Session().Position(), nLength);
    struct Seek {
        int nCode, nThumb;
        int32_t nExpected;
    };
    for (Seek seek : { Seek { LTransport::kThumbTrack, 50, nLength / 2 },
             Seek { LTransport::kLineLeft, 0, nLength / 2 - 2000 }, Seek { LTransport::kTop, 0, 0 },
             Seek { LTransport::kLineLeft, 0, 0 }, Seek { LTransport::kBottom, 0, nLength } }) {
        T().ScrollSeek(seek.nCode, seek.nThumb);
        EXPECT_EQ(Session().Position(), seek.nExpected) << seek.nCode;
    }

    // Seeking while playing moves the player, which goes on from there.
    Session().SetPosition(0);
    ASSERT_TRUE(Run(Id::kPlay));
    T().ScrollSeek(LTransport::kThumbTrack, 75);
    PumpFor(200);
    EXPECT_GE(Session().Position(), nLength * 3 / 4);
    Run(Id::kSetStepBack);
    PumpFor(50);
    EXPECT_LT(Session().Position(), nLength * 3 / 4);
    T().CmStop();
}

TEST_F(Transport, TonesSoundOnlyWhenTheirSettingsAreOn)
{
    OpenWithOne();
    SetSettingBool("Settings", "StoppedToneRepeat", true);
    Record(Id::kRecordAtEnd, Sine(500, 300));
    PumpFor(300);
    EXPECT_FALSE(backend.LastPlaybackParams()) << "a tone sounded with the tones off";

    SetSettingBool("Settings", "RecordTone", true);
    ScriptedPcmBackend::CaptureScript script;
    script.blocks.assign(3, Sine(500, 100));
    script.bEndAtFinish = true;
    backend.SetCaptureScript(script);
    ASSERT_TRUE(Run(Id::kRecordAtEnd));
    // The tone was heard before the recorder started.
    ASSERT_TRUE(backend.LastPlaybackParams());
    EXPECT_EQ(backend.PlaybackSamples(), LTones::Samples(LTones::Tone::Record));
    ASSERT_TRUE(PumpUntil([&] { return T().GetRecordState() == LSoundRecorder::kStateStopped; }));
    PumpFor(300);
    EXPECT_EQ(backend.PlaybackSamples(), LTones::Samples(LTones::Tone::Record)) << "stopped tone without its setting";

    SetSettingBool("Settings", "RecordTone", false);
    SetSettingBool("Settings", "StoppedTone", true);
    Record(Id::kRecordAtEnd, Sine(500, 300));
    ASSERT_TRUE(PumpUntil([&] { return backend.PlaybackSamples().size() == 2000u; }, 2000));
    EXPECT_EQ(backend.PlaybackSamples(), LTones::Samples(LTones::Tone::Stopped));
}

TEST_F(Transport, ADeviceThatCannotOpenSaysSoAndLeavesTheDictationAsItWas)
{
    LDictation& d = OpenWithOne();
    Record(Id::kRecordAtEnd, Concat(Sine(500, 1000), Sine(1500, 1000)));
    std::vector<std::pair<QString, QString>> boxes;
    app->SetMessageBox([&](const QString& caption, const QString& text) { boxes.emplace_back(caption, text); });
    const std::vector<uint8_t> header = test::ReadFileBytes(d.GetPath());
    const std::vector<std::string> files = FilesIn(d.GetFolder());
    const std::vector<int16_t> audio = DictationAudio(d);
    const size_t nUndo = d.UndoStack().Count();

    backend.SetOpenFails(true);
    for (LCommandId command : { Id::kRecordOverwrite, Id::kRecordInsert, Id::kRecordAtEnd }) {
        Session().SetPosition(500);
        ASSERT_TRUE(Run(command));
        EXPECT_EQ(T().GetRecordState(), LSoundRecorder::kStateStopped);
        EXPECT_EQ(test::ReadFileBytes(d.GetPath()), header) << int(command);
        EXPECT_EQ(FilesIn(d.GetFolder()), files) << int(command);
        EXPECT_EQ(DictationAudio(d), audio) << int(command);
        EXPECT_EQ(d.UndoStack().Count(), nUndo) << int(command);
    }
    ASSERT_TRUE(Run(Id::kPlay));
    EXPECT_FALSE(T().IsPlaying());
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_TRUE(boxes[0].second.startsWith("Unable to start the sound record device."))
        << boxes[0].second.toStdString();
    EXPECT_TRUE(boxes[3].second.startsWith("Unable to start playback.")) << boxes[3].second.toStdString();
}

TEST_F(Transport, SpeedMenuPlaysAndRecordingGivesWayToMoves)
{
    LDictation& d = OpenWithOne();
    Record(Id::kRecordAtEnd, Sine(1000, 500));
    Session().SetPosition(0);
    ASSERT_TRUE(Run(Id::kPlaySlow));
    EXPECT_EQ(GetSettingInt("Settings", "PlaySpeed", -1), 0);
    ASSERT_TRUE(PumpUntil([&] { return !T().IsPlaying(); }));
    // Half speed: half a second of dictation lasts a second.
    EXPECT_NEAR(double(backend.PlaybackSamples().size()) / kRate, 1.0, 0.15);
    ASSERT_TRUE(Run(Id::kPlayNormal));
    ASSERT_TRUE(Run(Id::kStop));

    // Recording: a second Record does nothing; a step back stops it and plays.
    ScriptedPcmBackend::CaptureScript script;
    script.blocks.assign(50, Sine(500, 100));
    script.bManual = true;
    backend.SetCaptureScript(script);
    ASSERT_TRUE(Run(Id::kRecordAtEnd));
    backend.ReleaseBlocks(5);
    ASSERT_TRUE(PumpUntil([&] { return Session().Position() >= 800; }));
    EXPECT_GE(Session().Length(), 800);
    EXPECT_TRUE(Checked(dialog->Control(LControlIds::kIdRecord)));
    ASSERT_TRUE(Run(Id::kRecord));
    EXPECT_EQ(backend.CaptureOpenCount(), 2);
    Run(Id::kSetStepBack);
    EXPECT_EQ(T().GetRecordState(), LSoundRecorder::kStateStopped);
    EXPECT_TRUE(T().IsPlaying());
    EXPECT_EQ(Session().Position(), 0);
    EXPECT_NEAR(LDictationAudioSource::Make(d)->GetLength(), kRate * 9 / 10, kRate / 5);
    T().CmStop();
}

} // namespace
