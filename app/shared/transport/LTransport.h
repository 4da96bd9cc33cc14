// The transport: play, record in the three modes, stop, go to start or end,
// scanning while a button is held, stepping, seeking and the play speeds. It
// owns the program's one player and one recorder and writes what they do into
// the playback model (state, speed, record mode, position, length, levels);
// a device error goes out as a signal. It knows no widget. Built by the
// composition root and used on the GUI thread only.
#pragma once

#include "app/shared/transport/LPlaybackModel.h"
#include "sound/device/LSoundPlayer.h"
#include "sound/device/LSoundRecorder.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <functional>

class LCommandRouter;
class LDictation;
class LMainLoop;

class LTransport : public QObject {
    Q_OBJECT
public:
    static constexpr int32_t kMaxRecordMs = 14400000;
    static constexpr int32_t kHangTimeMs = 4000;
    static constexpr int32_t kStepMs = 5000;
    static constexpr int32_t kScrollStepMs = 2000;
    static constexpr int kStoppedToneRepeatMs = 7000;
    static constexpr int kStoppedToneDelayMs = 50;

    LTransport(LPlaybackModel& model, LMainLoop& loop);
    ~LTransport() override;

    // Registers play, record, stop, the moves, the speeds and the record modes.
    void RegisterCommands(LCommandRouter& router);
    // Makes the dictation that a record command without one records into.
    void SetNewDictation(std::function<LDictation*()> make) { m_newDictation = std::move(make); }

    void CmPlay();
    void CmRecord(int nMode);
    void CmStop();
    void CmBack();
    void CmFwd();
    void CmBackFwdStop();
    void CmGoStart();
    void CmEnd();
    void CmStepBack();
    void CmStepForward();
    void ScrollSeek(int nCode, int nThumb);
    void SetPlaySpeed(int nSpeed);
    void SetDefaultRecordMode(int nMode);
    void SetupPlaySpeed();
    void SetupRecordMode();
    // A typist's playback: each pause of playing (a stop that is not the end
    // of a scan) goes back nMs, so the last words are heard again; 0 is off.
    void SetPauseRewind(int32_t nMs) { m_nPauseRewindMs = std::max(nMs, 0); }
    int32_t PauseRewind() const { return m_nPauseRewindMs; }
    // A finer speed on top of slow, normal and fast, in percent of the chosen
    // speed (pitch kept by the same stage); 100 leaves the three as they are.
    // Takes effect at the next play.
    void SetFineSpeed(int nPercent) { m_nFineSpeed = std::clamp(nPercent, kMinFineSpeed, kMaxFineSpeed); }
    int FineSpeed() const { return m_nFineSpeed; }
    // The speed playback runs at: inner frames per output frame.
    double PlayFactor() const;
    static constexpr int kMinFineSpeed = 50;
    static constexpr int kMaxFineSpeed = 200;

    const LPlaybackModel& Model() const { return m_model; }
    LSoundPlayer& Player() { return m_player; }
    LSoundRecorder& Recorder() { return m_recorder; }

signals:
    // A device that would not start; shown to the user as an error box.
    void Message(const QString& caption, const QString& text);

private:
    class PlayerListener : public LSoundPlayerNotify {
    public:
        explicit PlayerListener(LTransport& t)
            : m_t(t)
        {
        }
        void OnPlaying(uint32_t) override { m_t.OnPlayerPlaying(); }
        void OnStopped(uint32_t) override { m_t.OnPlayerStopped(); }
        void OnTime(uint32_t, int32_t nMs) override { m_t.OnPlayerTime(nMs); }
        void OnLevels(uint32_t, const LChannelLevels& levels) override { m_t.m_model.ReportLevels(levels); }

    private:
        LTransport& m_t;
    };
    class RecorderListener : public LSoundRecorderNotify {
    public:
        explicit RecorderListener(LTransport& t)
            : m_t(t)
        {
        }
        void OnRecording(uint32_t) override { m_t.OnRecorderState(true); }
        void OnWaiting(uint32_t) override { m_t.OnRecorderState(false); }
        void OnStopped(uint32_t) override { m_t.OnRecorderStopped(); }
        void OnTime(uint32_t, int32_t nMs) override { m_t.OnRecorderTime(nMs); }
        void OnLevels(uint32_t, const LChannelLevels& levels) override { m_t.m_model.ReportLevels(levels); }

    private:
        LTransport& m_t;
    };

    // Every entry point holds one: the model learns the player's and the
    // recorder's state once the outermost call is done, not its steps.
    class StateSync {
    public:
        explicit StateSync(LTransport& t)
            : m_t(t)
        {
            ++m_t.m_nSyncDepth;
        }
        ~StateSync()
        {
            if (--m_t.m_nSyncDepth == 0)
                m_t.SyncState();
        }
        StateSync(const StateSync&) = delete;
        StateSync& operator=(const StateSync&) = delete;

    private:
        LTransport& m_t;
    };
    void SyncState();
    bool IsPlaying() const { return m_player.IsPlaying(); }
    uint8_t GetRecordState() const { return m_recorder.GetRecordState(); }
    bool IsScanning() const { return m_bRewindRunning || m_bFastForwardRunning; }

    void OnPlayerPlaying();
    void OnPlayerStopped();
    void OnPlayerTime(int32_t nMs);
    void OnRecorderState(bool bRecording);
    void OnRecorderStopped();
    void OnRecorderTime(int32_t nMs);
    void OnStoppedToneTimer();

    LDictation* Current() const;
    // Plays the current dictation from frame nFrame through the speed stage
    // (none for normal speed); false when it could not start.
    bool StartScan(bool bForward, int32_t nFromMs);
    // Moves to t: seeks the player, or stops recording and plays from t, or
    // only shows it.
    void SeekTo(int32_t nMs);
    void StopRecorderForMove();
    // Stops both devices without the pause's rewind.
    void StopDevices();
    void ShowMessage(const QString& caption, const QString& text) { emit Message(caption, text); }

    LPlaybackModel& m_model;
    PlayerListener m_playerListener { *this };
    RecorderListener m_recorderListener { *this };
    LSoundPlayer m_player;
    LSoundRecorder m_recorder;
    QTimer m_stoppedToneTimer;
    std::function<LDictation*()> m_newDictation;

    int m_nSyncDepth = 0;
    int m_nRecordingMode = 2;
    int32_t m_nRecordStart = 0;
    int32_t m_nRecordBaseLength = 0;
    int32_t m_nPlayRate = 0;
    int32_t m_nPlaySourceMs = 0;
    int m_nRecordingId = -1;
    LSoundSinkRef m_recordSink; // the recording's, until it stops
    bool m_bRewindRunning = false;
    bool m_bFastForwardRunning = false;
    bool m_bResumePlay = false;
    int32_t m_nPauseRewindMs = 0;
    int m_nFineSpeed = 100;
};
