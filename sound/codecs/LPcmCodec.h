// Integer PCM (WAV format tag 1) for the codec table: decodes 8-bit unsigned
// and 16, 24 and 32-bit signed samples to 16 bits, encodes 16-bit. The objects
// it makes belong to one thread each.
#pragma once

#include "sound/codecs/LAudioCodec.h"

class LPcmCodec {
public:
    // Frames grouped into one block: a PCM block is a single frame, far too
    // small to pay a call per block.
    static constexpr size_t kFramesPerGroup = 1024;

    // 24 and 32-bit samples are rounded to 16 bits (saturating at the top).
    static std::unique_ptr<LAudioDecoder> CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus);
    static std::unique_ptr<LAudioEncoder> CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
};
