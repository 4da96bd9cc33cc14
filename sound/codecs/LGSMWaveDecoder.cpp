#include "sound/codecs/LGSMWaveDecoder.h"

std::unique_ptr<LAudioDecoder> LGSMWaveDecoder::Create(const LWaveFormat& format, LCodecStatus* pStatus)
{
    LCodecStatus status = LCodecStatus::Ok;
    if (format.wFormatTag != kWaveFormatGSM610)
        status = LCodecStatus::UnknownFormat;
    else if (format.nChannels != 1 || format.nBlockAlign != LGSMFrame::kWavBlockBytes)
        status = LCodecStatus::BadParameters;
    if (pStatus)
        *pStatus = status;
    if (status != LCodecStatus::Ok)
        return nullptr;
    return std::make_unique<LGSMWaveDecoder>();
}

size_t LGSMWaveDecoder::DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames)
{
    if (nBytes >= LGSMFrame::kWavBlockBytes) {
        m_frame.DecodeWavBlock(pBlock, pFrames);
        return LGSMFrame::kWavBlockSamples;
    }
    if (nBytes >= LGSMFrame::kFrameBytes) {
        LGSMFrame::Parameters first;
        LGSMFrame::UnpackWavFirst(pBlock, &first);
        m_frame.DecodeNormal(first, pFrames);
        return LGSMFrame::kSamples;
    }
    return 0;
}
