// Decoder of WAV format 49 (GSM 06.10 in 65-byte blocks of two frames, the
// block packing that sox and ffmpeg read and write). Mono only. The GSM
// decoder carries state from block to block; one object per stream and thread.
#pragma once

#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LGSMFrame.h"

class LGSMWaveDecoder : public LAudioDecoder {
public:
    // Null with BadParameters unless the format is one channel in 65-byte
    // blocks; UnknownFormat for another tag.
    static std::unique_ptr<LAudioDecoder> Create(const LWaveFormat& format, LCodecStatus* pStatus);

    size_t BlockBytes() const override { return LGSMFrame::kWavBlockBytes; }
    size_t FramesPerBlock() const override { return LGSMFrame::kWavBlockSamples; }
    // A block cut short after its first frame (33 bytes or more) yields 160
    // frames; shorter than that yields none.
    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) override;
    void Reset() override { m_frame.ResetDecoder(); }

private:
    LGSMFrame m_frame;
};
