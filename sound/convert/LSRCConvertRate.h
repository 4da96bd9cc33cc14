// Sample-rate conversion of a source by a 63-tap polyphase filter. Its rate
// is the nominal target; the phase table may make the real ratio a little
// different (37 frames per 51 for 11025 → 8000). Used by one thread at a time.
#pragma once

#include "sound/convert/LPolyphaseFilter.h"
#include "sound/convert/LSRCFilterBase.h"

#include <vector>

class LSRCConvertRate : public LSRCFilterBase {
public:
    static constexpr int kTaps = 63;
    static constexpr int32_t kBlockFrames = 8192;

    // A target below 1 becomes 44100 and sets error 3. bPreStage marks the
    // first of two down-sampling stages.
    LSRCConvertRate(const LSoundSourceRef& inner, int32_t nTargetRate, bool bPreStage);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override;
    void Seek(int64_t nFrame) override;

    const LPolyphaseFilter& Filter() const { return m_filter; }

private:
    static constexpr int kHistory = kTaps; // frames carried in front of each block
    static constexpr int kCentre = kTaps / 2;

    void Refill();

    LPolyphaseFilter m_filter;
    // Each row's Q16 taps split as hi × 256 + lo, both 16-bit, so that a dot
    // product with 16-bit samples runs as pairs of 16-bit multiply-adds and
    // stays exact.
    std::vector<int16_t> m_tapsHigh;
    std::vector<int16_t> m_tapsLow;
    // kHistory frames, then kBlockFrames frames read from the inner source,
    // as read (interleaved). The history carried to the next block is taken
    // from here, never from the scaled copy, so no sample is scaled twice.
    std::vector<int32_t> m_raw;
    // The same frames scaled once per block to 16 bits (by m_nShift), one
    // plane per channel.
    std::vector<int16_t> m_scaled;
    size_t m_nPlane; // samples per plane
    int m_nShift = 0;
    int64_t m_nIndex; // first frame of the next window
    int64_t m_nPhase = 0;
    int64_t m_nPosition; // output frames
};
