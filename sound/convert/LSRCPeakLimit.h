// Look-ahead peak limiter: keeps a source within a limit by a gain per block
// that starts falling a block before a loud block arrives and recovers
// gradually afterwards. Placed after any stage whose samples may exceed full
// scale. Used by one thread at a time.
#pragma once

#include "sound/convert/LSRCFilterBase.h"

#include <vector>

class LSRCPeakLimit : public LSRCFilterBase {
public:
    static constexpr int32_t kUnity = 1 << 24; // gain 1.0 in Q24

    LSRCPeakLimit(const LSoundSourceRef& inner, int32_t nLimit);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override;
    void Seek(int64_t nFrame) override;

    int32_t BlockFrames() const { return m_nBlock; }

private:
    // Current, next and the one after, each m_nBlock frames.
    static constexpr int kBlocks = 3;

    int32_t GainOf(const int32_t* pBlock) const;
    void Restart();
    void NextBlock();
    // The running gain's course through the current block.
    void PlanBlock();

    int32_t m_nLimit;
    int32_t m_nBlock;
    std::vector<int32_t> m_blocks;
    int m_nCurrent = 0; // which of the three buffers is the current block
    int32_t m_gains[4] = {}; // previous, current, next, one after
    int64_t m_nGain = kUnity; // running gain, Q24
    int64_t m_nSlope = 0; // per frame
    int32_t m_nUsed = 0; // frames of the current block already delivered
    bool m_bStarted = false;
};
