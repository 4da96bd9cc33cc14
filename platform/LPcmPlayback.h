// One open sound output stream of interleaved 16-bit samples. Opened by
// LPcmBackend and used by one thread at a time (the player's thread), except
// where a method says otherwise.
#pragma once

#include <cstdint>

class LPcmPlayback {
public:
    enum : int32_t { kError = -1 };

    virtual ~LPcmPlayback() = default;

    // Frames that can be written now without blocking; when there is no room
    // it first waits up to the time-out for some. kError when the device failed.
    virtual int32_t WaitWritable(uint32_t timeoutMs) = 0;

    // Writes up to frames frames without blocking and returns how many were
    // taken, or kError. Output starts with the first write after opening or Drop.
    virtual int32_t Write(const int16_t* pSamples, uint32_t frames) = 0;

    // Frames written but not yet heard (the device's delay), 0 when idle.
    virtual int32_t Delay() = 0;

    // Discards everything queued and makes the stream ready for new writes.
    virtual void Drop() = 0;

    // Waits until everything written has been heard or the time-out passes;
    // true when it was all heard.
    virtual bool Drain(uint32_t timeoutMs) = 0;

    // The device's whole buffer in frames, as granted when it was opened.
    virtual uint32_t BufferFrames() const = 0;

    // A descriptor (the playing thread's stop) that ends WaitWritable's wait
    // at once when it becomes readable; -1 for none.
    void SetWakeFd(int fd) { m_wakeFd = fd; }

protected:
    int m_wakeFd = -1;
};
