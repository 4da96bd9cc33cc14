// Feeds arbitrary bytes to the GSM 06.10 codec three ways: as 33-byte frames,
// as WAV format 49 blocks through the block decoder (the last one short), and
// as 16-bit samples to the encoder, whose frames must decode again. Decoded
// samples always keep the codec's 13-bit form (low three bits clear).
#include "sound/codecs/LGSMFrame.h"
#include "sound/codecs/LGSMWaveDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void CheckSamples(const int16_t* pSamples, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (pSamples[i] & 7)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    int16_t samples[LGSMFrame::kWavBlockSamples];

    LGSMFrame frames;
    for (size_t p = 0; p + LGSMFrame::kFrameBytes <= nSize; p += LGSMFrame::kFrameBytes) {
        const bool bSigned = (pData[p] >> 4) == 0xD;
        if (frames.DecodeFrame(pData + p, samples) != bSigned)
            std::abort();
        CheckSamples(samples, LGSMFrame::kSamples);
    }

    LWaveFormat format;
    format.wFormatTag = kWaveFormatGSM610;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.nBlockAlign = LGSMFrame::kWavBlockBytes;
    format.wBitsPerSample = 0;
    auto decoder = LGSMWaveDecoder::Create(format, nullptr);
    if (!decoder)
        std::abort();
    for (size_t p = 0; p < nSize; p += LGSMFrame::kWavBlockBytes) {
        const size_t nBytes = nSize - p < LGSMFrame::kWavBlockBytes ? nSize - p : LGSMFrame::kWavBlockBytes;
        const size_t nFrames = decoder->DecodeBlock(pData + p, nBytes, samples);
        if (nFrames > LGSMFrame::kWavBlockSamples)
            std::abort();
        CheckSamples(samples, nFrames);
    }

    LGSMFrame codec;
    for (size_t p = 0; p + 2 * LGSMFrame::kSamples <= nSize; p += 2 * LGSMFrame::kSamples) {
        int16_t pcm[LGSMFrame::kSamples];
        std::memcpy(pcm, pData + p, sizeof pcm);
        uint8_t frame[LGSMFrame::kFrameBytes];
        codec.EncodeFrame(pcm, frame);
        LGSMFrame::Parameters params;
        if (!LGSMFrame::UnpackFrame(frame, &params))
            std::abort();
        codec.DecodeNormal(params, samples);
        CheckSamples(samples, LGSMFrame::kSamples);
    }
    return 0;
}
