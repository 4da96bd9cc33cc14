// Encoder of WAV format 49 (GSM 06.10, two frames per 65-byte block, 320
// samples per block). Mono only; the rate is recorded as given, since the
// codec itself does not depend on it. One object per stream and thread.
#pragma once

#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LGSMFrame.h"

class LGSMWaveEncoder : public LAudioEncoder {
public:
    // Null with BadParameters for more than one channel or a rate of 0.
    static std::unique_ptr<LAudioEncoder> Create(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);

    explicit LGSMWaveEncoder(uint32_t rate);

    const LWaveFormat& Format() const override { return m_format; }
    size_t BlockBytes() const override { return LGSMFrame::kWavBlockBytes; }
    size_t FramesPerBlock() const override { return LGSMFrame::kWavBlockSamples; }
    size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) override;
    void Reset() override { m_frame.ResetEncoder(); }

private:
    LWaveFormat m_format;
    LGSMFrame m_frame;
};
