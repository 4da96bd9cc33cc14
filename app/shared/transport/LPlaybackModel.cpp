#include "app/shared/transport/LPlaybackModel.h"

#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "sound/LSoundTime.h"

#include <algorithm>
#include <limits>

LDictation* LPlaybackModel::Find(int) const
{
    return nullptr;
}

LSoundSourceRef LPlaybackModel::OpenCurrentAudio() const
{
    const LDictation* pCurrent = Current();
    return pCurrent ? LSoundSourceRef(LDictationAudioSource::Make(*pCurrent)) : LSoundSourceRef();
}

int32_t LPlaybackModel::CurrentLengthMs() const
{
    const LDictation* pCurrent = Current();
    return pCurrent ? LengthMs(*pCurrent) : 0;
}

bool LPlaybackModel::RecordInsert() const
{
    return (IsRecorderBusy() ? m_nRecordingMode : m_nRecordMode) == kRecordInsert;
}

int32_t LPlaybackModel::LengthMs(const LDictation& dictation)
{
    const uint32_t uRate = dictation.Header().uSampleRate;
    if (uRate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    const uint64_t uSamples = std::min<uint64_t>(dictation.GetTotalSamples(), std::numeric_limits<int64_t>::max());
    return std::max(LSoundTime::FromSamples(static_cast<int64_t>(uSamples), static_cast<int32_t>(uRate)).Ms(), 0);
}

void LPlaybackModel::SetPosition(int32_t nMs)
{
    m_nPositionMs = std::max(nMs, 0);
    emit PositionChanged(m_nPositionMs);
}

void LPlaybackModel::SetLength(int32_t nMs)
{
    m_nLengthMs = std::max(nMs, 0);
    emit LengthChanged(m_nLengthMs);
}

void LPlaybackModel::MeasureCurrent()
{
    SetLength(CurrentLengthMs());
    SetPosition(m_nLengthMs);
}

void LPlaybackModel::SetState(State state, int nRecordingMode)
{
    const bool bInsertWas = RecordInsert();
    if (state == State::Waiting || state == State::Recording)
        m_nRecordingMode = nRecordingMode;
    if (state == m_state && RecordInsert() == bInsertWas)
        return;
    m_state = state;
    emit StateChanged(m_state);
}

void LPlaybackModel::SetSpeed(int nSpeed)
{
    if (nSpeed == m_nSpeed)
        return;
    m_nSpeed = nSpeed;
    emit SpeedChanged(m_nSpeed);
}

void LPlaybackModel::SetRecordMode(int nMode)
{
    if (nMode == m_nRecordMode)
        return;
    m_nRecordMode = nMode;
    emit RecordModeChanged(m_nRecordMode);
}

void LPlaybackModel::SetCurrent(int nId)
{
    if (nId != m_nCurrentId)
        emit CurrentChanging();
    m_nCurrentId = nId;
    emit CurrentChanged(m_nCurrentId);
}
