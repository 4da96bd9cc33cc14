// The transport of the main window against the scripted sound device: what
// recording in each mode leaves in the dictation (judged by the pitch of each
// stretch of its audio), and a device that cannot open.
#include "dictation/LDictationAudioSource.h"
#include "foundation/LSettings.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/Audio.h"
#include "tests/support/ScriptedPcmBackend.h"

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
        ASSERT_TRUE(PumpUntil([&] { return !Session().IsRecorderBusy(); }));
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

// What the window, the announcer and MPRIS watch: the model's state as the
// devices run, with the mode the record button shows.
TEST_F(Transport, TheModelFollowsARecordingAndItsPlayback)
{
    using S = LPlaybackModel::State;
    OpenWithOne();
    std::vector<std::pair<S, bool>> seen;
    QObject::connect(&Session(), &LPlaybackModel::StateChanged,
        [&](S state) { seen.emplace_back(state, Session().RecordInsert()); });
    Record(Id::kRecordInsert, Sine(500, 500));
    ASSERT_TRUE(Run(Id::kGoStart));
    ASSERT_TRUE(Run(Id::kPlay));
    EXPECT_TRUE(Session().IsPlaying());
    ASSERT_TRUE(PumpUntil([&] { return !Session().IsPlaying(); }, 10000));
    // Waiting lasts until the recorder's thread hears its first block: it
    // may be over before the command returns.
    std::erase_if(seen, [](const auto& entry) { return entry.first == S::Waiting; });
    const std::vector<std::pair<S, bool>> expected
        = { { S::Recording, true }, { S::Idle, false }, { S::Playing, false }, { S::Idle, false } };
    EXPECT_EQ(seen, expected);
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
        EXPECT_FALSE(Session().IsRecorderBusy());
        EXPECT_EQ(test::ReadFileBytes(d.GetPath()), header) << int(command);
        EXPECT_EQ(FilesIn(d.GetFolder()), files) << int(command);
        EXPECT_EQ(DictationAudio(d), audio) << int(command);
        EXPECT_EQ(d.UndoStack().Count(), nUndo) << int(command);
    }
    ASSERT_TRUE(Run(Id::kPlay));
    EXPECT_FALSE(Session().IsPlaying());
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_TRUE(boxes[0].second.startsWith("Unable to start the sound record device."))
        << boxes[0].second.toStdString();
    EXPECT_TRUE(boxes[3].second.startsWith("Unable to start playback.")) << boxes[3].second.toStdString();
}

} // namespace
