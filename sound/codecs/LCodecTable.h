// The codec table that stands in for the system's compression manager: the
// WAV format tags this program can read and write, over its own codecs.
#pragma once

#include "sound/codecs/LAudioCodec.h"

#include <span>

class LCodecTable {
public:
    // Every codec, in the order the format chooser lists them.
    static std::span<const LCodecEntry> Entries();
    // Null when no codec handles the tag.
    static const LCodecEntry* Find(uint16_t wFormatTag);
};
