// Plays a source slower or faster without changing its pitch, and scans it
// forwards or backwards at a speed that ramps up: overlap-add of fixed grains
// (about 11 ms) taken from the inner source, each grain fading from the
// stream heard so far into a stream starting at the analysis position.
// Positions and lengths stay in the inner source's time base. Used by one
// thread at a time.
#pragma once

#include "sound/convert/LSRCFilterBase.h"

#include <vector>

class LSRCPlaySpeed : public LSRCFilterBase {
public:
    static constexpr int32_t kUnity = 1 << 24; // weight 1.0 in Q24

    // Speeds are inner frames per output frame (negative: backwards); the
    // first speed ramps to the second over nRampMs (0: no ramp).
    LSRCPlaySpeed(const LSoundSourceRef& inner, double fFirstSpeed, double fSecondSpeed, int32_t nRampMs);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    // The inner frame of the analysis position, moving evenly through a grain.
    int64_t GetPosition() override;
    void Seek(int64_t nFrame) override;

    int32_t GrainSamples() const { return m_nGrain; }

private:
    void StartGrains();
    void NextGrain();
    // Brings inner samples [nLow, nHigh) into the cache; nHigh - nLow must
    // not exceed its size.
    void EnsureSpan(int64_t nLow, int64_t nHigh);
    // Reads nSamples inner samples from sample nFrom on into pOut; samples
    // before frame 0 are silence.
    void ReadInner(int64_t nFrom, int32_t* pOut, int64_t nSamples);
    void CopyGrain(int64_t nFrom, std::vector<int32_t>& grain) const;
    int64_t StepOf(int64_t nHop) const;

    int32_t m_nGrain; // G, samples (channels included)
    std::vector<int32_t> m_window; // Q24 weight of stream a per sample of a grain
    int64_t m_nHop; // H, samples per grain, before rounding to whole frames
    int64_t m_nTargetHop;
    int64_t m_nRamp; // samples of ramp still to go
    int64_t m_nNextStep = 0; // the whole-frame advance the next grain will take

    int64_t m_nStart; // sample where the grains (re)start
    int64_t m_nAnalysis = 0; // P: where stream b starts in the current grain
    int64_t m_nStreamB = 0; // where stream b started in the current grain
    int32_t m_nIndex = 0; // j: samples of the current grain delivered
    bool m_bStarted = false;
    std::vector<int32_t> m_grainA; // fading out
    std::vector<int32_t> m_grainB; // fading in

    // The window of the inner source held in memory.
    std::vector<int32_t> m_cache;
    int64_t m_nCacheStart = 0;
    int64_t m_nCacheFill = 0;
    int64_t m_nInnerAt; // sample at which the inner source stands
};
