// Writer of raw GSM 06.10 files (".gsm"): 33-byte frames of 160 samples at
// 8000 Hz mono, as toast writes them. Used by one thread at a time.
#pragma once

#include "sound/files/LGSMSinkBase.h"

class LGSMFileSink : public LGSMSinkBase {
public:
    static constexpr int32_t kSampleRate = 8000;

    explicit LGSMFileSink(const std::string& path);
    ~LGSMFileSink() override;

protected:
    void EncodeBlock(const int16_t* pSamples, uint8_t* pBlock) override { m_gsm.EncodeFrame(pSamples, pBlock); }
};
