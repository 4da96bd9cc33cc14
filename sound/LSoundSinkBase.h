// A sound sink accepts frames of the internal sample form (see
// LSoundSourceBase) and counts them. Used by one thread at a time; held
// through LSoundSinkRef, and a file sink finishes its file when the last
// reference goes.
#pragma once

#include "sound/LSoundRef.h"

#include <cstdint>
#include <functional>

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

    // A copy that needs no conversion (16-bit little-endian PCM of the sink's
    // own rate and channels, as a decoder's pipe carries it) goes straight
    // into a sink that says so, skipping two conversions and, from a pipe,
    // this process's memory. The bytes need not end on a frame: Position()
    // counts whole frames, and an unfinished one is dropped when anything
    // else is done to the sink.
    virtual bool TakesPcm16Bytes() const { return false; }
    // Appends the bytes; false when the sink failed (it is then unusable).
    virtual bool WritePcm16Bytes(const uint8_t*, size_t) { return false; }
    // Moves up to nMaxBytes from a pipe, waiting for its first byte: the
    // count, 0 at the pipe's end, -1 when the sink failed.
    virtual int64_t MovePcm16FromPipe(int, size_t) { return -1; }
    // Lets a writer (a decoder's process) append bytes through the file's
    // descriptor, standing where the next byte goes: what the file gained,
    // -1 when the sink takes no such bytes.
    virtual int64_t AppendPcm16With(const std::function<void(int nFd)>&) { return -1; }

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
