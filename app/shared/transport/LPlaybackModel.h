// What a transport works on and where it stands, without any widget: the
// current dictation, position and length, the transport's state, the play
// speed, the default record mode and the levels heard. The transport writes
// it; windows, announcers, media keys and indicators only watch its signals
// (and ask for a move of the position bar here). A program's
// session builds on it and says which dictations exist. GUI thread.
#pragma once

#include "sound/LSoundSourceBase.h"
#include "sound/device/LChannelLevels.h"

#include <QObject>

#include <cstdint>

class LDictation;

class LPlaybackModel : public QObject {
    Q_OBJECT
public:
    // Waiting: the recorder runs but waits for the voice.
    enum class State { Idle, Playing, Scanning, Waiting, Recording };
    // Position-bar scroll codes, as a window reports them.
    enum ScrollCode { kLineLeft, kLineRight, kPageLeft, kPageRight, kThumbPosition, kThumbTrack, kTop, kBottom };

    LPlaybackModel() = default;

    // The dictation with this identifier, if it still exists.
    virtual LDictation* Find(int nId) const;
    LDictation* Current() const { return Find(m_nCurrentId); }
    // What plays: the current dictation's audio, or in a program whose list
    // holds something else (a typist's jobs) that item's audio. Null when
    // nothing is current or its audio cannot be read.
    virtual bool HasCurrent() const { return Current() != nullptr; }
    virtual LSoundSourceRef OpenCurrentAudio() const;
    virtual int32_t CurrentLengthMs() const;
    int CurrentId() const { return m_nCurrentId; }
    int32_t Position() const { return m_nPositionMs; }
    int32_t Length() const { return m_nLengthMs; }

    State GetState() const { return m_state; }
    bool IsPlaying() const { return m_state == State::Playing || m_state == State::Scanning; }
    bool IsScanning() const { return m_state == State::Scanning; }
    bool IsRecorderBusy() const { return m_state == State::Waiting || m_state == State::Recording; }
    // Speeds 0 slow, 1 normal, 2 fast; record modes as LDictation's.
    int Speed() const { return m_nSpeed; }
    int RecordMode() const { return m_nRecordMode; }
    // What the record button shows: the running recording's mode, or while
    // the recorder is stopped the default mode.
    bool RecordInsert() const;
    // The mode of the recording that runs, else the default mode.
    int RecordingMode() const { return IsRecorderBusy() ? m_nRecordingMode : m_nRecordMode; }

    // The length of a dictation in milliseconds (0 without a rate).
    static int32_t LengthMs(const LDictation& dictation);

    void SetPosition(int32_t nMs);
    void SetLength(int32_t nMs);
    // Length and position at the end of the current dictation.
    void MeasureCurrent();
    // nRecordingMode: the mode of the recording that runs (Waiting, Recording).
    void SetState(State state, int nRecordingMode);
    void SetSpeed(int nSpeed);
    void SetRecordMode(int nMode);
    // A dictation's header changed (name, priority, duration, attachments);
    // bResort when its place in a sorted list may have moved.
    void Changed(int nId, bool bResort = false) { emit DictationChanged(nId, bResort); }
    void ReportLevels(const LChannelLevels& levels) { emit LevelsChanged(levels); }
    void ClearLevels() { emit LevelsCleared(); }
    // A move of the position bar (nThumb in percent), carried out by the transport.
    void Scroll(int nCode, int nThumb) { emit ScrollRequested(nCode, nThumb); }

signals:
    void CurrentChanging();
    void CurrentChanged(int nId);
    void DictationChanged(int nId, bool bResort);
    void PositionChanged(int32_t nMs);
    void LengthChanged(int32_t nMs);
    void StateChanged(LPlaybackModel::State state);
    void SpeedChanged(int nSpeed);
    void RecordModeChanged(int nMode);
    void LevelsChanged(const LChannelLevels& levels);
    void LevelsCleared();
    void ScrollRequested(int nCode, int nThumb);

protected:
    // The transport works on the current dictation only: it stops first.
    void SetCurrent(int nId);
    // Nothing current, without a signal: for a list about to be rebuilt,
    // whose rebuild is announced instead.
    void ForgetCurrent() { m_nCurrentId = -1; }

private:
    int m_nCurrentId = -1;
    int32_t m_nPositionMs = 0;
    int32_t m_nLengthMs = 0;
    State m_state = State::Idle;
    int m_nRecordingMode = 2;
    int m_nSpeed = 1;
    int m_nRecordMode = 2;
};
