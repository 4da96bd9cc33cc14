// Microsoft ADPCM in WAV files (format tag 2) for the codec table: blocks with
// a predictor, step and two samples per channel, then 4-bit codes, channels
// alternating. The objects it makes belong to one thread each.
#pragma once

#include "sound/codecs/LAudioCodec.h"

class LMsAdpcmCodec {
public:
    // Frames one block of nBlockAlign bytes holds (0 when it cannot hold the headers).
    static size_t FramesInBlock(size_t nBlockAlign, uint16_t nChannels);

    // The decoder predicts with the coefficient pairs stored in the format.
    static std::unique_ptr<LAudioDecoder> CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus);
    // The encoder writes the seven standard pairs and picks one per block and channel.
    static std::unique_ptr<LAudioEncoder> CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
};
