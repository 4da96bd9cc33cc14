// IMA (DVI) ADPCM in WAV files (format tag 0x11) for the codec table: blocks
// of a 4-byte header per channel, then 4-byte groups of eight 4-bit codes per
// channel in turn. The objects it makes belong to one thread each.
#pragma once

#include "sound/codecs/LAudioCodec.h"

class LImaAdpcmCodec {
public:
    // Frames one block of nBlockAlign bytes holds (0 when it cannot hold the headers).
    static size_t FramesInBlock(size_t nBlockAlign, uint16_t nChannels);

    static std::unique_ptr<LAudioDecoder> CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus);
    static std::unique_ptr<LAudioEncoder> CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
};
