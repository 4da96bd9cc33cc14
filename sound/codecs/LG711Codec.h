// G.711 A-law (WAV format tag 6) and mu-law (7) for the codec table, one byte
// per sample. The objects it makes belong to one thread each.
#pragma once

#include "sound/codecs/LAudioCodec.h"

class LG711Codec {
public:
    // Frames grouped into one block, as for PCM.
    static constexpr size_t kFramesPerGroup = 1024;

    static std::unique_ptr<LAudioDecoder> CreateALawDecoder(const LWaveFormat& format, LCodecStatus* pStatus);
    static std::unique_ptr<LAudioEncoder> CreateALawEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
    static std::unique_ptr<LAudioDecoder> CreateMuLawDecoder(const LWaveFormat& format, LCodecStatus* pStatus);
    static std::unique_ptr<LAudioEncoder> CreateMuLawEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
};
