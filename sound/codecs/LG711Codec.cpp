#include "sound/codecs/LG711Codec.h"

#include "sound/codecs/LCodecUtil.h"
#include "sound/codecs/LG711.h"

#include <algorithm>

namespace {

using DecodeFn = void (*)(const uint8_t*, int16_t*, size_t);
using EncodeFn = void (*)(const int16_t*, uint8_t*, size_t);

class LG711Decoder final : public LAudioDecoder {
public:
    LG711Decoder(uint16_t nChannels, DecodeFn pDecode)
        : m_nChannels(nChannels)
        , m_pDecode(pDecode)
    {
    }
    size_t BlockBytes() const override { return LG711Codec::kFramesPerGroup * m_nChannels; }
    size_t FramesPerBlock() const override { return LG711Codec::kFramesPerGroup; }
    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) override
    {
        if (pBlock == nullptr || pFrames == nullptr)
            return 0;
        const size_t nFrames = std::min(nBytes, BlockBytes()) / m_nChannels;
        m_pDecode(pBlock, pFrames, nFrames * m_nChannels);
        return nFrames;
    }

private:
    uint16_t m_nChannels;
    DecodeFn m_pDecode;
};

class LG711Encoder final : public LAudioEncoder {
public:
    LG711Encoder(uint16_t wTag, uint32_t rate, uint16_t channels, EncodeFn pEncode)
        : m_pEncode(pEncode)
    {
        m_format.wFormatTag = wTag;
        m_format.nChannels = channels;
        m_format.nSamplesPerSec = rate;
        m_format.nBlockAlign = channels;
        m_format.nAvgBytesPerSec = BlockAvgBytesPerSec(rate, channels, 1);
        m_format.wBitsPerSample = 8;
    }
    const LWaveFormat& Format() const override { return m_format; }
    size_t BlockBytes() const override { return LG711Codec::kFramesPerGroup * m_format.nChannels; }
    size_t FramesPerBlock() const override { return LG711Codec::kFramesPerGroup; }
    size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) override
    {
        if (pFrames == nullptr || pBlock == nullptr)
            return 0;
        const size_t nSamples = std::min(nFrames, LG711Codec::kFramesPerGroup) * m_format.nChannels;
        m_pEncode(pFrames, pBlock, nSamples);
        return nSamples;
    }

private:
    LWaveFormat m_format;
    EncodeFn m_pEncode;
};

std::unique_ptr<LAudioDecoder> CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus, DecodeFn pDecode)
{
    // Some writers leave the bit count 0; a block align other than one byte per
    // channel is not G.711 as the WAV format defines it.
    if (format.nChannels == 0 || format.nChannels > kCodecMaxChannels || format.nBlockAlign != format.nChannels
        || (format.wBitsPerSample != 8 && format.wBitsPerSample != 0)) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LG711Decoder>(format.nChannels, pDecode);
}

std::unique_ptr<LAudioEncoder> CreateEncoder(
    uint16_t wTag, uint32_t rate, uint16_t channels, LCodecStatus* pStatus, EncodeFn pEncode)
{
    if (rate == 0 || channels == 0 || channels > kCodecMaxChannels) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LG711Encoder>(wTag, rate, channels, pEncode);
}

} // namespace

std::unique_ptr<LAudioDecoder> LG711Codec::CreateALawDecoder(const LWaveFormat& format, LCodecStatus* pStatus)
{
    return CreateDecoder(format, pStatus, &LG711::ALawToS16);
}

std::unique_ptr<LAudioEncoder> LG711Codec::CreateALawEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    return CreateEncoder(kWaveFormatALaw, rate, channels, pStatus, &LG711::S16ToALaw);
}

std::unique_ptr<LAudioDecoder> LG711Codec::CreateMuLawDecoder(const LWaveFormat& format, LCodecStatus* pStatus)
{
    return CreateDecoder(format, pStatus, &LG711::MuLawToS16);
}

std::unique_ptr<LAudioEncoder> LG711Codec::CreateMuLawEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    return CreateEncoder(kWaveFormatMuLaw, rate, channels, pStatus, &LG711::S16ToMuLaw);
}
