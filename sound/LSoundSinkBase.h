// A sound sink accepts frames of the internal sample form (see
// LSoundSourceBase) and counts them. Used by one thread at a time; held
// through LSoundSinkRef, and a file sink finishes its file when the last
// reference goes.
#pragma once

#include "sound/LSoundRef.h"

#include <cstdint>

// Bit 0 of ErrorFlags: the sink is unusable and discards what it is given.
inline constexpr uint8_t kSinkErrUnusable = 1;

class LSoundSinkBase : public LSoundRefCounted {
public:
    // 0 channels become 1 and set the error bit.
    LSoundSinkBase(int32_t nSampleRate, uint8_t nChannels);

    // Appends nFrames × NumChannels() samples; Position() grows by nFrames
    // even when the sink is in error.
    virtual void Write(const int32_t* pBuffer, int32_t nFrames) = 0;
    // Truncates to nFrame (negative counts as 0); a frame beyond Position()
    // is ignored.
    virtual void Seek(int64_t nFrame);

    int64_t GetPosition() const { return m_nPosition; }
    int32_t SampleRate() const { return m_nSampleRate; }
    uint8_t NumChannels() const { return m_nNumChannels; }
    uint8_t ErrorFlags() const { return m_uErrorFlags; }
    bool IsUsable() const { return (m_uErrorFlags & kSinkErrUnusable) == 0; }
    // The system's error (errno) that made a file sink unusable, 0 when none
    // is known: EEXIST for a name taken, ENOSPC or EDQUOT for a full disk.
    int SystemError() const { return m_nSystemError; }

protected:
    void SetUnusable(int nSystemError = 0)
    {
        m_uErrorFlags |= kSinkErrUnusable;
        if (m_nSystemError == 0)
            m_nSystemError = nSystemError;
    }

    int64_t m_nPosition = 0;
    int32_t m_nSampleRate;
    uint8_t m_nNumChannels;
    uint8_t m_uErrorFlags = 0;
    int m_nSystemError = 0;
};

using LSoundSinkRef = LSoundRef<LSoundSinkBase>;
