#include "sound/codecs/LGSMWaveEncoder.h"

#include <algorithm>

std::unique_ptr<LAudioEncoder> LGSMWaveEncoder::Create(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    const bool bUsable = channels == 1 && rate > 0;
    if (pStatus)
        *pStatus = bUsable ? LCodecStatus::Ok : LCodecStatus::BadParameters;
    if (!bUsable)
        return nullptr;
    return std::make_unique<LGSMWaveEncoder>(rate);
}

LGSMWaveEncoder::LGSMWaveEncoder(uint32_t rate)
{
    m_format.wFormatTag = kWaveFormatGSM610;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = rate;
    // 64-bit so that no rate a header can hold overflows.
    m_format.nAvgBytesPerSec
        = static_cast<uint32_t>(uint64_t(rate) * LGSMFrame::kWavBlockBytes / LGSMFrame::kWavBlockSamples);
    m_format.nBlockAlign = LGSMFrame::kWavBlockBytes;
    m_format.wBitsPerSample = 0;
    const auto samplesPerBlock = static_cast<uint16_t>(LGSMFrame::kWavBlockSamples);
    m_format.extra = { static_cast<uint8_t>(samplesPerBlock & 0xFF), static_cast<uint8_t>(samplesPerBlock >> 8) };
}

size_t LGSMWaveEncoder::EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock)
{
    if (nFrames >= LGSMFrame::kWavBlockSamples) {
        m_frame.EncodeWavBlock(pFrames, pBlock);
    } else {
        int16_t padded[LGSMFrame::kWavBlockSamples] = {};
        if (pFrames)
            std::copy(pFrames, pFrames + nFrames, padded);
        m_frame.EncodeWavBlock(padded, pBlock);
    }
    return LGSMFrame::kWavBlockBytes;
}
