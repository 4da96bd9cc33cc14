#include "sound/files/LGSMWaveSource.h"

LGSMWaveSource::LGSMWaveSource(LFile&& file, uint64_t nDataBytes, int32_t nSampleRate)
    : LGSMSourceBase(std::move(file), nSampleRate, nDataBytes, LGSMFrame::kWavBlockBytes, LGSMFrame::kWavBlockSamples)
{
}

size_t LGSMWaveSource::DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pSamples)
{
    if (nBytes >= LGSMFrame::kWavBlockBytes) {
        m_gsm.DecodeWavBlock(pBlock, pSamples);
        return LGSMFrame::kWavBlockSamples;
    }
    if (nBytes < LGSMFrame::kFrameBytes)
        return 0;
    LGSMFrame::Parameters first;
    LGSMFrame::UnpackWavFirst(pBlock, &first);
    m_gsm.DecodeNormal(first, pSamples);
    return LGSMFrame::kSamples;
}

int64_t LGSMWaveSource::SamplesIn(uint64_t nBytes) const
{
    const uint64_t nWhole = nBytes / LGSMFrame::kWavBlockBytes * LGSMFrame::kWavBlockSamples;
    const bool bHalf = nBytes % LGSMFrame::kWavBlockBytes >= LGSMFrame::kFrameBytes;
    return static_cast<int64_t>(nWhole + (bHalf ? LGSMFrame::kSamples : 0));
}
