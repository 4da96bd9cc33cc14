#include "sound/codecs/LPcmCodec.h"

#include "sound/codecs/LCodecUtil.h"

#include <algorithm>

namespace {

int16_t RoundToS16(int64_t value, int shift)
{
    const int64_t v = (value + (int64_t { 1 } << (shift - 1))) >> shift;
    return static_cast<int16_t>(v > INT16_MAX ? INT16_MAX : v);
}

class LPcmDecoder final : public LAudioDecoder {
public:
    LPcmDecoder(uint16_t nChannels, unsigned nBytesPerSample)
        : m_nChannels(nChannels)
        , m_nBytesPerSample(nBytesPerSample)
    {
    }
    size_t BlockBytes() const override { return LPcmCodec::kFramesPerGroup * m_nChannels * m_nBytesPerSample; }
    size_t FramesPerBlock() const override { return LPcmCodec::kFramesPerGroup; }

    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) override
    {
        if (pBlock == nullptr || pFrames == nullptr)
            return 0;
        const size_t nFrameBytes = static_cast<size_t>(m_nChannels) * m_nBytesPerSample;
        const size_t nFrames = std::min(nBytes, BlockBytes()) / nFrameBytes;
        const size_t nSamples = nFrames * m_nChannels;
        const uint8_t* p = pBlock;
        switch (m_nBytesPerSample) {
        case 1:
            for (size_t i = 0; i < nSamples; ++i)
                pFrames[i] = static_cast<int16_t>((p[i] - 128) * 256);
            break;
        case 2:
            for (size_t i = 0; i < nSamples; ++i, p += 2)
                pFrames[i] = GetLE16s(p);
            break;
        case 3:
            for (size_t i = 0; i < nSamples; ++i, p += 3) {
                const int32_t v = static_cast<int32_t>(GetLE32Bytes3(p));
                pFrames[i] = RoundToS16(v, 8);
            }
            break;
        default:
            for (size_t i = 0; i < nSamples; ++i, p += 4)
                pFrames[i] = RoundToS16(static_cast<int32_t>(GetLE32(p)), 16);
            break;
        }
        return nFrames;
    }

private:
    // Sign-extends a 24-bit little-endian sample.
    static int32_t GetLE32Bytes3(const uint8_t* p)
    {
        const uint32_t u
            = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
        return static_cast<int32_t>(u << 8) >> 8;
    }

    uint16_t m_nChannels;
    unsigned m_nBytesPerSample;
};

class LPcmEncoder final : public LAudioEncoder {
public:
    LPcmEncoder(uint32_t rate, uint16_t channels)
    {
        m_format.wFormatTag = kWaveFormatPCM;
        m_format.nChannels = channels;
        m_format.nSamplesPerSec = rate;
        m_format.nBlockAlign = static_cast<uint16_t>(2 * channels);
        m_format.nAvgBytesPerSec = BlockAvgBytesPerSec(rate, m_format.nBlockAlign, 1);
        m_format.wBitsPerSample = 16;
    }
    const LWaveFormat& Format() const override { return m_format; }
    size_t BlockBytes() const override { return LPcmCodec::kFramesPerGroup * m_format.nBlockAlign; }
    size_t FramesPerBlock() const override { return LPcmCodec::kFramesPerGroup; }

    size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) override
    {
        if (pFrames == nullptr || pBlock == nullptr)
            return 0;
        nFrames = std::min(nFrames, LPcmCodec::kFramesPerGroup);
        const size_t nSamples = nFrames * m_format.nChannels;
        for (size_t i = 0; i < nSamples; ++i)
            PutLE16(pBlock + 2 * i, static_cast<uint16_t>(pFrames[i]));
        return nSamples * 2;
    }

private:
    LWaveFormat m_format;
};

} // namespace

std::unique_ptr<LAudioDecoder> LPcmCodec::CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus)
{
    const unsigned nBits = format.wBitsPerSample;
    const unsigned nBytesPerSample = (nBits + 7) / 8;
    if (format.nChannels == 0 || format.nChannels > kCodecMaxChannels || nBits == 0 || nBits > 32
        || format.nBlockAlign != format.nChannels * nBytesPerSample) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LPcmDecoder>(format.nChannels, nBytesPerSample);
}

std::unique_ptr<LAudioEncoder> LPcmCodec::CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    if (rate == 0 || channels == 0 || channels > kCodecMaxChannels) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LPcmEncoder>(rate, channels);
}
