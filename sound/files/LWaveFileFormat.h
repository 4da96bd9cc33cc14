// The compressed formats a WAV transfer file can be written in: what the
// format chooser offers and the test a chosen format must pass. Stateless,
// any thread.
#pragma once

#include "sound/codecs/LWaveFormat.h"

#include <cstdint>
#include <vector>

class LWaveFileFormat {
public:
    // True when 16-bit PCM of the format's channels and rate can be written
    // in the format: PCM of 1 to 16 bits, or a codec of the table that takes
    // that rate and channel count.
    static bool TestSupportedRecord(const LWaveFormat& format);
    // Each codec of the table (PCM as 8 and 16 bits) at each of the usual WAV
    // rates it takes, with this channel count, in the table's order; each
    // record is the complete structure the writer puts in the file.
    static std::vector<LWaveFormat> RecordableFormats(uint16_t nChannels);
};
