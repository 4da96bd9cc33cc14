// Reader of raw GSM 06.10 files (".gsm"): 33-byte frames of 160 samples at
// 8000 Hz mono, the framing of toast and of sox's gsm type. A frame without
// the GSM signature reads as silence. Used by one thread at a time.
#pragma once

#include "sound/files/LGSMSourceBase.h"

#include <string>

class LGSMFileSource : public LGSMSourceBase {
public:
    static constexpr int32_t kSampleRate = 8000;

    // A file that cannot be opened gives error 4.
    explicit LGSMFileSource(const std::string& path);

protected:
    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pSamples) override;
    // Whole frames only: a cut-off last frame holds nothing usable.
    int64_t SamplesIn(uint64_t nBytes) const override;

private:
    static LFile OpenFile(const std::string& path);
};
