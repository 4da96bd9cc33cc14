// A sound source delivers frames of the engine's internal sample form on
// request: interleaved signed 32-bit values holding 16-bit PCM × 16 (full
// scale ±0x7FFF0). Used by one thread at a time; held through LSoundSourceRef.
#pragma once

#include "sound/LSoundError.h"
#include "sound/LSoundRef.h"

#include <cstdint>

// Full-scale magnitudes of the internal form.
inline constexpr int32_t kMaxAmplitudePCM = 0x7FFF0;
inline constexpr int32_t kMaxAmplitudeG711 = 0x7E000;
inline constexpr int32_t kMaxAmplitudeNull = 0x200000;

class LSoundSourceBase : public LSoundRefCounted {
public:
    // A rate below 1 becomes 44100 and 0 channels become 1; either sets error 3.
    LSoundSourceBase(int32_t nSampleRate, uint8_t nChannels, int32_t nMaxAmplitude);

    // Fills nFrames × NumChannels() samples and advances the position by
    // nFrames; frames before 0 or at or beyond GetLength() are zeros.
    virtual void Read(int32_t* pBuffer, int32_t nFrames) = 0;
    virtual int64_t GetPosition() = 0;
    virtual int64_t GetLength() = 0;
    // File sources keep a negative or too large frame as their position.
    virtual void Seek(int64_t nFrame);

    // Fixed for the source's life: consumers read them once.
    int32_t SampleRate() const { return m_nSampleRate; }
    uint8_t NumChannels() const { return m_nNumChannels; }
    int32_t MaxAmplitude() const { return m_nMaxAmplitude; }
    uint8_t ErrorCode() const { return m_uErrorCode; }
    bool IsUsable() const { return m_uErrorCode == kSoundOk; }

protected:
    void SetError(uint8_t uCode) { m_uErrorCode = uCode; }

    int32_t m_nSampleRate;
    int32_t m_nMaxAmplitude;
    uint8_t m_nNumChannels;
    uint8_t m_uErrorCode = kSoundOk;
};

using LSoundSourceRef = LSoundRef<LSoundSourceBase>;
