// Sample-rate conversion of a source by a 63-tap polyphase filter. Its rate
// is the nominal target; the phase table may make the real ratio a little
// different (37 frames per 51 for 11025 → 8000). Used by one thread at a time.
#pragma once

#include "sound/LPolyphaseFilter.h"
#include "sound/LSRCFilterBase.h"

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
    void ReadMono(int32_t* pBuffer, int32_t nFrames);
    void ReadStereo(int32_t* pBuffer, int32_t nFrames);
    void ReadAny(int32_t* pBuffer, int32_t nFrames);

    LPolyphaseFilter m_filter;
    // kHistory frames, then kBlockFrames frames read from the inner source,
    // unscaled: a sample is scaled nowhere, so the carried history cannot be
    // scaled twice.
    std::vector<int32_t> m_buffer;
    int64_t m_nIndex; // first frame of the next window in m_buffer
    int64_t m_nPhase = 0;
    int64_t m_nPosition; // output frames
};
