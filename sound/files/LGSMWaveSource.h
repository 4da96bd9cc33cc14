// Reader of the data chunk of a GSM 06.10 WAV file (format tag 49): 65-byte
// blocks of two frames, 320 samples, mono. A last block cut short after its
// first frame (33 bytes or more) still gives that frame's 160 samples. Built
// by LWaveFile; used by one thread at a time.
#pragma once

#include "sound/files/LGSMSourceBase.h"

class LGSMWaveSource : public LGSMSourceBase {
public:
    // The data starts where the file stands and holds nDataBytes
    // (kToEndOfFile: a file whose writer never finished).
    LGSMWaveSource(LFile&& file, uint64_t nDataBytes, int32_t nSampleRate);

protected:
    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pSamples) override;
    int64_t SamplesIn(uint64_t nBytes) const override;
};
