#include "app/shared/transport/LTransport.h"

#include "app/shared/input/LCommandRouter.h"
#include "app/shared/transport/LTones.h"
#include "app/shared/transport/LTransportKeys.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LFile.h"
#include "sound/LSoundTime.h"
#include "sound/convert/LFactoryPlaySpeed.h"
#include "sound/device/LMixer.h"

#include <algorithm>

namespace {

namespace Keys = TransportKeys;

const char kPlayFailed[]
    = "Unable to start playback.\n\nThis might mean you do not have a sound card installed or the sound card is being "
      "used by another application. Please check Hardware Settings.";
const char kRecordFailed[] = "Unable to start the sound record device. Please check you have selected the correct "
                             "Sound Record Device with Hardware Settings.";
const char kDeviceCaption[] = "Sound Device Error";

int PlayDevice()
{
    return std::max(Keys::kPlayDevice.Get(), 0);
}

} // namespace

LTransport::LTransport(LPlaybackModel& model, LMainLoop& loop)
    : m_model(model)
    , m_player(loop)
    , m_recorder(loop)
{
    m_player.SetListener(&m_playerListener, 0);
    m_recorder.SetListener(&m_recorderListener, 0);
    m_stoppedToneTimer.setSingleShot(true);
    connect(&m_stoppedToneTimer, &QTimer::timeout, this, [this] { OnStoppedToneTimer(); });
    // The transport works on the current dictation only.
    connect(&m_model, &LPlaybackModel::CurrentChanging, this, [this] { CmStop(); });
    connect(&m_model, &LPlaybackModel::ScrollRequested, this, &LTransport::ScrollSeek);
    SetupPlaySpeed();
    SetupRecordMode();
}

LTransport::~LTransport()
{
    // The window may be half gone: nothing is shown of these last stops.
    m_player.SetListener(nullptr, 0);
    m_recorder.SetListener(nullptr, 0);
    m_player.Stop();
    m_recorder.Stop();
}

void LTransport::RegisterCommands(LCommandRouter& router)
{
    using Id = LCommandId;
    auto add = [this, &router](Id id, std::function<void()> run, bool bNeedsCurrent, std::function<bool()> checked = {},
                   bool bHeld = false) {
        LCommandRouter::Handler handler;
        handler.trigger = [run] { return run(), true; };
        // Held, the scanning buttons scan until let go; from a menu the
        // scan runs on by itself.
        if (bHeld)
            handler.release = [this] { return CmBackFwdStop(), true; };
        if (bNeedsCurrent)
            handler.enabled = [this] { return m_model.HasCurrent(); };
        handler.bNeedsSelection = bNeedsCurrent;
        handler.checked = std::move(checked);
        router.Register(id, std::move(handler));
    };
    struct Plain {
        Id id;
        void (LTransport::*run)();
        bool bHeld;
    };
    const Plain kPlain[] = { { Id::kPlay, &LTransport::CmPlay, false }, { Id::kStop, &LTransport::CmStop, false },
        { Id::kGoStart, &LTransport::CmGoStart, false }, { Id::kGoEnd, &LTransport::CmEnd, false },
        { Id::kSetStepBack, &LTransport::CmStepBack, false },
        { Id::kSetStepForward, &LTransport::CmStepForward, false }, { Id::kRewind, &LTransport::CmBack, true },
        { Id::kFastForward, &LTransport::CmFwd, true } };
    for (const Plain& plain : kPlain)
        add(
            plain.id, [this, run = plain.run] { (this->*run)(); }, true, {}, plain.bHeld);
    // Record makes a dictation when there is none, so it needs no current one.
    add(
        Id::kRecord, [this] { CmRecord(m_model.RecordMode()); }, false);
    const Id kModes[3][2] = { { Id::kRecordAtEnd, Id::kDefaultAtEnd }, { Id::kRecordInsert, Id::kDefaultInsert },
        { Id::kRecordOverwrite, Id::kDefaultOverwrite } };
    for (int nMode = 0; nMode < 3; ++nMode) {
        add(
            kModes[nMode][0], [this, nMode] { CmRecord(nMode); }, false);
        add(
            kModes[nMode][1], [this, nMode] { SetDefaultRecordMode(nMode); }, false,
            [this, nMode] { return m_model.RecordMode() == nMode; });
    }
    const Id kSpeeds[3] = { Id::kPlaySlow, Id::kPlayNormal, Id::kPlayFast };
    for (int nSpeed = 0; nSpeed < 3; ++nSpeed)
        add(
            kSpeeds[nSpeed], [this, nSpeed] { SetPlaySpeed(nSpeed); }, true,
            [this, nSpeed] { return m_model.Speed() == nSpeed; });
}

LDictation* LTransport::Current() const
{
    return m_model.Current();
}

void LTransport::StopDevices()
{
    m_player.Stop();
    m_recorder.Stop();
}

void LTransport::CmStop()
{
    const StateSync sync(*this);
    const bool bPausing = IsPlaying() && !IsScanning();
    StopDevices();
    if (bPausing && m_nPauseRewindMs > 0)
        m_model.SetPosition(std::max(m_model.Position() - m_nPauseRewindMs, 0));
}

double LTransport::PlayFactor() const
{
    return (m_model.Speed() + 1) * 0.5 * m_nFineSpeed / 100.0;
}

void LTransport::CmPlay()
{
    const StateSync sync(*this);
    // Playing again (a new speed) is no pause: no rewind.
    StopDevices();
    LSoundSourceRef source = m_model.OpenCurrentAudio();
    if (!source || !source->IsUsable())
        return;
    const int32_t nRate = source->SampleRate();
    const int32_t nLength = LSoundTime::FromSamples(source->GetLength(), nRate).Ms();
    // Playing from the end replays the last second.
    int32_t nFrom = std::min(m_model.Position(), nLength - 1000);
    if (nFrom > 0)
        source->Seek(LSoundTime(nFrom).ToSamples(nRate));
    m_model.SetPosition(std::max(nFrom, 0));
    if (m_nFineSpeed != 100)
        source = LFactoryPlaySpeed(PlayFactor(), 1.0, 0).OpenSource(source);
    else if (m_model.Speed() != 1)
        source = LFactoryPlaySpeed::ForSetting(m_model.Speed()).OpenSource(source);
    const int nDevice = PlayDevice();
    const int nVolume = LChannelLevels::Clamp(Keys::kPlayVolume.Get());
    (void)LMixer::SetPlayVolume(nDevice, 0, nVolume);
    m_player.SetPlayDevice(LSoundPlayDevice { nDevice });
    m_nPlayRate = nRate;
    m_nPlaySourceMs = nLength;
    if (!m_player.Start(source))
        ShowMessage(QString::fromUtf8(kDeviceCaption), QString::fromUtf8(kPlayFailed));
}

void LTransport::CmRecord(int nMode)
{
    const StateSync sync(*this);
    if (GetRecordState() != LSoundRecorder::kStateStopped)
        return;
    StopDevices();
    LDictation* pDictation = Current();
    if (!pDictation)
        pDictation = m_newDictation ? m_newDictation() : nullptr;
    if (!pDictation)
        return;
    nMode = std::clamp(nMode, int { kRecordAtEnd }, int { kRecordOverwrite });
    const int32_t nLength = LPlaybackModel::LengthMs(*pDictation);
    const int32_t nPosition = std::clamp(m_model.Position(), 0, nLength);
    switch (nMode) {
    case kRecordAtEnd:
        m_nRecordStart = m_nRecordBaseLength = nLength;
        break;
    case kRecordInsert:
        m_nRecordStart = nPosition;
        m_nRecordBaseLength = nLength;
        break;
    default:
        m_nRecordStart = m_nRecordBaseLength = nPosition;
        break;
    }
    if (Keys::kRecordTone.Get())
        LTones::Play(LTones::Tone::Record, PlayDevice());

    // The header is saved once the device captures: the first word is not
    // held up by its flush, and a crash in between leaves only a cut file no
    // list names, which is passed over.
    LSoundSinkRef sink = pDictation->OpenSink(nMode, true, nPosition, false);
    if (!sink) {
        ShowMessage(QStringLiteral("Tavrine Dictate"),
            QString::fromUtf8(IsDiskFullError(pDictation->GetLastErrno())
                    ? "Unable to create a recording file in \"%1\": the disk holding that folder is full."
                    : "Unable to create a recording file in \"%1\".")
                .arg(QString::fromStdString(pDictation->GetFolder())));
        return;
    }
    const int nDevice = std::clamp(Keys::kRecordDevice.Get(), 0, 255);
    const int nChannel = Keys::kRecordChannel.Get();
    const int nVolume = LChannelLevels::Clamp(Keys::kRecordVolume.Get());
    (void)LMixer::SetInputChannel(nDevice, nChannel, nVolume);
    m_recorder.SetRecordDevice(LSoundRecordDevice { static_cast<uint8_t>(nDevice), -1 });
    const int nStartLevel = LChannelLevels::Clamp(Keys::kVoiceActivateLevel.Get());
    if (!m_recorder.Start(sink, 0, kMaxRecordMs, nStartLevel, kHangTimeMs)) {
        // The dictation goes back to what it was: list, undo stack, no cut file.
        sink.Reset();
        pDictation->UndoFailedRecording();
        m_model.Changed(pDictation->nListIndex);
        ShowMessage(QString::fromUtf8(kDeviceCaption), QString::fromUtf8(kRecordFailed));
        return;
    }
    pDictation->Save();
    // The recorder holds the sink; its release at stop closes the cut file.
    // A reference stays here until then, to tell a full disk at the stop.
    m_recordSink = std::move(sink);
    m_nRecordingId = pDictation->nListIndex;
    m_nRecordingMode = nMode;
    m_model.SetLength(m_nRecordBaseLength);
    m_model.SetPosition(m_nRecordStart);
}

bool LTransport::StartScan(bool bForward, int32_t nFromMs)
{
    LSoundSourceRef source = m_model.OpenCurrentAudio();
    if (!source || !source->IsUsable())
        return false;
    const int32_t nRate = source->SampleRate();
    const int32_t nLength = LSoundTime::FromSamples(source->GetLength(), nRate).Ms();
    if (bForward && nLength < nFromMs) {
        CmEnd();
        return false;
    }
    if (nFromMs > 0)
        source->Seek(LSoundTime(nFromMs).ToSamples(nRate));
    source = LFactoryPlaySpeed::ForScan(bForward).OpenSource(source);
    m_player.Stop();
    m_player.SetPlayDevice(LSoundPlayDevice { PlayDevice() });
    m_nPlayRate = nRate;
    m_nPlaySourceMs = nLength;
    if (!m_player.Start(source))
        return false;
    (bForward ? m_bFastForwardRunning : m_bRewindRunning) = true;
    return true;
}

void LTransport::CmBack()
{
    const StateSync sync(*this);
    int32_t nFrom = m_model.Position() - 500;
    if (IsPlaying()) {
        if (m_bRewindRunning)
            return;
        nFrom = m_model.Position() - 500;
        m_bResumePlay = true;
    } else {
        m_bResumePlay = false;
    }
    if (GetRecordState() != LSoundRecorder::kStateStopped) {
        nFrom = m_model.Position() - 500;
        m_recorder.Stop();
        m_bResumePlay = true;
    }
    StartScan(false, nFrom);
}

void LTransport::CmFwd()
{
    const StateSync sync(*this);
    int32_t nFrom = m_model.Position();
    if (IsPlaying()) {
        if (m_bFastForwardRunning)
            return;
        nFrom = m_model.Position() + 300;
        m_bResumePlay = true;
    } else {
        m_bResumePlay = false;
    }
    if (GetRecordState() != LSoundRecorder::kStateStopped) {
        nFrom = m_model.Position();
        m_recorder.Stop();
    }
    StartScan(true, nFrom);
}

void LTransport::CmBackFwdStop()
{
    const StateSync sync(*this);
    m_player.Stop();
    if (m_bResumePlay) {
        m_bResumePlay = false;
        CmPlay();
    }
}

void LTransport::StopRecorderForMove()
{
    m_recorder.Stop();
}

void LTransport::CmGoStart()
{
    const StateSync sync(*this);
    if (IsPlaying()) {
        m_player.Seek(0);
        m_model.SetPosition(0);
    } else if (GetRecordState() != LSoundRecorder::kStateStopped) {
        StopRecorderForMove();
        m_model.SetPosition(0);
        CmPlay();
    } else {
        m_model.SetPosition(0);
    }
}

void LTransport::CmEnd()
{
    const StateSync sync(*this);
    if (IsPlaying()) {
        const int32_t nTo = std::max(m_nPlaySourceMs - 1000, 0);
        m_player.Seek(LSoundTime(nTo).ToSamples(m_nPlayRate));
        m_model.SetPosition(nTo);
        return;
    }
    m_recorder.Stop();
    if (m_model.HasCurrent())
        m_model.SetPosition(m_model.CurrentLengthMs());
}

void LTransport::SeekTo(int32_t nMs)
{
    nMs = std::max(nMs, 0);
    if (IsPlaying()) {
        m_player.Seek(LSoundTime(nMs).ToSamples(m_nPlayRate));
        m_model.SetPosition(nMs);
    } else if (GetRecordState() != LSoundRecorder::kStateStopped) {
        StopRecorderForMove();
        m_model.SetPosition(nMs);
        CmPlay();
    } else {
        m_model.SetPosition(nMs);
    }
}

void LTransport::CmStepBack()
{
    const StateSync sync(*this);
    SeekTo(std::max(m_model.Position() - kStepMs, 0));
}

void LTransport::CmStepForward()
{
    const StateSync sync(*this);
    if (IsPlaying()) {
        SeekTo(std::min(m_model.Position() + kStepMs, m_nPlaySourceMs));
        return;
    }
    // A recording stops first, so that the length is the dictation's.
    const bool bRecording = GetRecordState() != LSoundRecorder::kStateStopped;
    m_recorder.Stop();
    const int32_t nLength = m_model.CurrentLengthMs();
    m_model.SetPosition(std::min(m_model.Position() + kStepMs, nLength));
    if (bRecording)
        CmPlay();
}

void LTransport::ScrollSeek(int nCode, int nThumb)
{
    const StateSync sync(*this);
    const int32_t nLength = m_model.Length();
    const int32_t nPosition = m_model.Position();
    using Model = LPlaybackModel;
    switch (nCode) {
    case Model::kLineLeft:
    case Model::kPageLeft:
        SeekTo(nPosition < kScrollStepMs ? 0 : nPosition - kScrollStepMs);
        break;
    case Model::kLineRight:
    case Model::kPageRight:
        SeekTo(nPosition > nLength - kScrollStepMs ? nLength : nPosition + kScrollStepMs);
        break;
    case Model::kThumbPosition:
    case Model::kThumbTrack:
        SeekTo(static_cast<int32_t>(nLength * std::clamp(nThumb, 0, 100) * 0.01));
        break;
    case Model::kTop:
        CmGoStart();
        break;
    case Model::kBottom:
        CmEnd();
        break;
    default:
        break;
    }
}

void LTransport::SetPlaySpeed(int nSpeed)
{
    const StateSync sync(*this);
    nSpeed = std::clamp(nSpeed, 0, 2);
    Keys::kPlaySpeed.Set(nSpeed);
    SetupPlaySpeed();
    CmPlay();
}

void LTransport::SetupPlaySpeed()
{
    m_model.SetSpeed(std::clamp(Keys::kPlaySpeed.Get(), 0, 2));
}

void LTransport::SetDefaultRecordMode(int nMode)
{
    const StateSync sync(*this);
    Keys::kRecordMode.Set(std::clamp(nMode, 0, 2));
    SetupRecordMode();
}

void LTransport::SetupRecordMode()
{
    m_model.SetRecordMode(std::clamp(Keys::kRecordMode.Get(), 0, 2));
}

void LTransport::SyncState()
{
    using State = LPlaybackModel::State;
    const uint8_t uRecord = GetRecordState();
    State state = State::Idle;
    if (uRecord == LSoundRecorder::kStateRecording)
        state = State::Recording;
    else if (uRecord != LSoundRecorder::kStateStopped)
        state = State::Waiting;
    else if (IsPlaying())
        state = IsScanning() ? State::Scanning : State::Playing;
    m_model.SetState(state, m_nRecordingMode);
}

void LTransport::OnPlayerPlaying()
{
    const StateSync sync(*this);
}

void LTransport::OnPlayerTime(int32_t nMs)
{
    if (IsPlaying())
        m_model.SetPosition(nMs);
}

void LTransport::OnPlayerStopped()
{
    const StateSync sync(*this);
    m_model.ClearLevels();
    m_bRewindRunning = m_bFastForwardRunning = false;
    if (Keys::kStoppedToneRepeat.Get())
        m_stoppedToneTimer.start(kStoppedToneRepeatMs);
}

void LTransport::OnRecorderState(bool)
{
    const StateSync sync(*this);
}

void LTransport::OnRecorderTime(int32_t nMs)
{
    if (GetRecordState() != LSoundRecorder::kStateRecording)
        return;
    m_model.SetLength(m_nRecordBaseLength + nMs);
    m_model.SetPosition(m_nRecordStart + nMs);
}

void LTransport::OnRecorderStopped()
{
    const StateSync sync(*this);
    m_model.ClearLevels();
    m_stoppedToneTimer.start(kStoppedToneDelayMs);
    LDictation* pDictation = m_nRecordingId >= 0 ? m_model.Find(m_nRecordingId) : nullptr;
    const bool bDiskFull = m_recordSink && IsDiskFullError(m_recordSink->SystemError());
    m_recordSink.Reset();
    if (pDictation && bDiskFull)
        ShowMessage(QStringLiteral("Tavrine Dictate"),
            QStringLiteral("Recording stopped writing: the disk holding \"%1\" is full. What was recorded before "
                           "is kept.")
                .arg(QString::fromStdString(pDictation->GetFolder())));
    if (pDictation) {
        pDictation->UpdateDuration();
        m_model.Changed(m_nRecordingId);
        if (m_nRecordingId == m_model.CurrentId()) {
            // Trailing quiet cut at stop can make the recording shorter than shown.
            const int32_t nLength = LPlaybackModel::LengthMs(*pDictation);
            m_model.SetLength(nLength);
            m_model.SetPosition(std::min(m_model.Position(), nLength));
        }
    }
    m_nRecordingId = -1;
}

void LTransport::OnStoppedToneTimer()
{
    if (IsPlaying() || GetRecordState() != LSoundRecorder::kStateStopped)
        return;
    if (!Keys::kStoppedTone.Get())
        return;
    LTones::Play(LTones::Tone::Stopped, PlayDevice());
    if (Keys::kStoppedToneRepeat.Get())
        m_stoppedToneTimer.start(kStoppedToneRepeatMs);
}
