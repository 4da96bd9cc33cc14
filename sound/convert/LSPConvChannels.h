// Mono to stereo (each sample twice) and stereo to mono (the left channel
// alone, without mixing). Used by one thread at a time.
#pragma once

#include "sound/convert/LSRCFilterBase.h"

#include <vector>

class LSPConvChannels : public LSRCFilterBase {
public:
    static constexpr int32_t kBlockFrames = 8192;

    // Only 1 → 2 and 2 → 1; the factory never builds other pairs.
    LSPConvChannels(const LSoundSourceRef& inner, uint8_t nChannels);

    void Read(int32_t* pBuffer, int32_t nFrames) override;

private:
    std::vector<int32_t> m_work;
};
