// One open sound input stream of interleaved 16-bit samples. Opened by
// LPcmBackend and used by one thread at a time (the recorder's capture thread).
#pragma once

#include <cstdint>

class LPcmCapture {
public:
    // Read results besides a frame count.
    enum : int32_t { kError = -1, kEnd = -2 };

    virtual ~LPcmCapture() = default;

    // Begins capturing: audio from this moment on is kept for Read until the
    // device's buffer overflows.
    virtual bool Start() = 0;

    // Waits up to the time-out for audio, then reads up to maxFrames whole
    // frames. Returns the frames read (0 when none arrived in time), kEnd when
    // the stream can give no more (a file-fed device at its end) or kError.
    // A time-out of 0 reads only what is already there.
    virtual int32_t Read(int16_t* pSamples, uint32_t maxFrames, uint32_t timeoutMs) = 0;

    // Stops capturing and drops whatever was not read.
    virtual void Stop() = 0;

    // A descriptor (the reading thread's stop) that ends Read's wait at once
    // when it becomes readable, so a stop is not held up by the time-out; -1
    // for none. What the device holds is still read.
    void SetWakeFd(int fd) { m_wakeFd = fd; }

protected:
    int m_wakeFd = -1;
};
