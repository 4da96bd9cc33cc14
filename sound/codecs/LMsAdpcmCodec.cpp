#include "sound/codecs/LMsAdpcmCodec.h"

#include "sound/codecs/LCodecUtil.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

constexpr int kAdaptation[16] = { 230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230 };
constexpr int kStandardCoefficientCount = 7;
constexpr int16_t kStandardCoefficients[kStandardCoefficientCount][2]
    = { { 256, 0 }, { 512, -256 }, { 0, 0 }, { 192, 64 }, { 240, 0 }, { 460, -208 }, { 392, -232 } };
constexpr size_t kMaxCoefficients = 256; // a block names its pair in one byte
constexpr int32_t kMinDelta = 16;

size_t HeaderBytes(uint16_t nChannels)
{
    return 7 * static_cast<size_t>(nChannels);
}

// One channel's predictor. 64-bit arithmetic: coefficients and the step come
// from the file, and a hostile step grows by 3x per code.
struct MsState {
    int64_t nCoef1 = 256;
    int64_t nCoef2 = 0;
    int64_t nDelta = kMinDelta;
    int64_t nSample1 = 0;
    int64_t nSample2 = 0;

    int64_t Predict() const { return (nSample1 * nCoef1 + nSample2 * nCoef2) >> 8; }

    int16_t Decode(unsigned n)
    {
        const int64_t nSigned = n & 8 ? static_cast<int64_t>(n) - 16 : n;
        const int64_t nSample = std::clamp<int64_t>(Predict() + nSigned * nDelta, INT16_MIN, INT16_MAX);
        nSample2 = nSample1;
        nSample1 = nSample;
        nDelta = std::clamp<int64_t>((kAdaptation[n & 15] * nDelta) >> 8, kMinDelta, INT32_MAX);
        return static_cast<int16_t>(nSample);
    }

    // Rounds the prediction error to the nearest code: the code's magnitude
    // is how many of the levels (2k + 1) x delta / 2 the error reaches, found
    // by bisection rather than a division.
    unsigned Encode(int sample)
    {
        const int64_t nError = sample - Predict();
        const int64_t a = 2 * (nError < 0 ? -nError : nError);
        const int64_t d = nDelta;
        int64_t k = a >= 7 * d ? 4 : 0;
        if (a >= (2 * k + 3) * d)
            k += 2;
        if (a >= (2 * k + 1) * d)
            k += 1;
        if (nError < 0 && k == 7 && a >= 15 * d)
            k = 8;
        const unsigned n = static_cast<unsigned>(nError < 0 ? -k : k) & 15;
        Decode(n);
        return n;
    }
};

class LMsDecoder final : public LAudioDecoder {
public:
    LMsDecoder(uint16_t nChannels, size_t nBlockAlign, size_t nFramesPerBlock, std::vector<int16_t> coefficients)
        : m_nChannels(nChannels)
        , m_nBlockAlign(nBlockAlign)
        , m_nFramesPerBlock(nFramesPerBlock)
        , m_coefficients(std::move(coefficients))
    {
    }
    size_t BlockBytes() const override { return m_nBlockAlign; }
    size_t FramesPerBlock() const override { return m_nFramesPerBlock; }

    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) override
    {
        if (pBlock == nullptr || pFrames == nullptr)
            return 0;
        const size_t nFrames
            = std::min(m_nFramesPerBlock, LMsAdpcmCodec::FramesInBlock(std::min(nBytes, m_nBlockAlign), m_nChannels));
        if (nFrames == 0)
            return 0;
        const size_t nCh = m_nChannels;
        const size_t nPairs = m_coefficients.size() / 2;
        // Header fields come channel by channel within each field.
        MsState states[kCodecMaxChannels];
        for (size_t c = 0; c < nCh; ++c) {
            const size_t nPredictor = pBlock[c];
            if (nPredictor >= nPairs)
                return 0; // names a pair the format does not hold
            MsState& state = states[c];
            state.nCoef1 = m_coefficients[2 * nPredictor];
            state.nCoef2 = m_coefficients[2 * nPredictor + 1];
            state.nDelta = GetLE16s(pBlock + nCh + 2 * c);
            state.nSample1 = GetLE16s(pBlock + 3 * nCh + 2 * c);
            state.nSample2 = GetLE16s(pBlock + 5 * nCh + 2 * c);
            pFrames[c] = static_cast<int16_t>(state.nSample2);
            pFrames[nCh + c] = static_cast<int16_t>(state.nSample1);
        }
        // Codes run frame by frame, channel by channel, high nibble first.
        const uint8_t* pCodes = pBlock + HeaderBytes(m_nChannels);
        const size_t nCodes = (nFrames - 2) * nCh;
        int16_t* pOut = pFrames + 2 * nCh;
        for (size_t k = 0; k < nCodes; ++k) {
            const uint8_t byte = pCodes[k / 2];
            pOut[k] = states[k % nCh].Decode(k & 1 ? byte & 15 : byte >> 4);
        }
        return nFrames;
    }

private:
    uint16_t m_nChannels;
    size_t m_nBlockAlign;
    size_t m_nFramesPerBlock;
    std::vector<int16_t> m_coefficients; // pairs
};

class LMsEncoder final : public LAudioEncoder {
public:
    LMsEncoder(uint32_t rate, uint16_t channels)
    {
        m_format.wFormatTag = kWaveFormatMsAdpcm;
        m_format.nChannels = channels;
        m_format.nSamplesPerSec = rate;
        m_format.nBlockAlign = AdpcmBlockAlign(rate, channels);
        m_format.wBitsPerSample = 4;
        m_nFramesPerBlock = LMsAdpcmCodec::FramesInBlock(m_format.nBlockAlign, channels);
        m_format.nAvgBytesPerSec
            = BlockAvgBytesPerSec(rate, m_format.nBlockAlign, static_cast<uint32_t>(m_nFramesPerBlock));
        m_format.extra.resize(4 + 4 * kStandardCoefficientCount);
        uint8_t* p = m_format.extra.data();
        PutLE16(p, static_cast<uint16_t>(m_nFramesPerBlock));
        PutLE16(p + 2, kStandardCoefficientCount);
        for (int i = 0; i < kStandardCoefficientCount; ++i) {
            PutLE16(p + 4 + 4 * i, static_cast<uint16_t>(kStandardCoefficients[i][0]));
            PutLE16(p + 6 + 4 * i, static_cast<uint16_t>(kStandardCoefficients[i][1]));
        }
        m_samples.resize(m_nFramesPerBlock);
        m_codes.resize(m_nCodesPerChannel());
        m_bestCodes.resize(m_nCodesPerChannel());
        m_allCodes.resize(m_nCodesPerChannel() * channels);
    }
    const LWaveFormat& Format() const override { return m_format; }
    size_t BlockBytes() const override { return m_format.nBlockAlign; }
    size_t FramesPerBlock() const override { return m_nFramesPerBlock; }

    size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) override
    {
        if (pFrames == nullptr || pBlock == nullptr)
            return 0;
        nFrames = std::min(nFrames, m_nFramesPerBlock);
        const size_t nCh = m_format.nChannels;
        const size_t nCodes = m_nCodesPerChannel();
        std::fill(pBlock, pBlock + m_format.nBlockAlign, 0);
        for (size_t c = 0; c < nCh; ++c) {
            for (size_t f = 0; f < m_nFramesPerBlock; ++f)
                m_samples[f] = f < nFrames ? pFrames[f * nCh + c] : 0;
            // Each pair from its estimated step, then the best pair from a
            // half and a double step.
            int nBestPredictor = 0;
            int32_t nBestDelta = kMinDelta;
            int64_t nBestError = INT64_MAX;
            auto consider = [&](int p, int32_t nDelta) {
                nDelta = std::clamp<int32_t>(nDelta, kMinDelta, INT16_MAX);
                const int64_t nError = Trial(p, nDelta, nBestError);
                if (nError < nBestError) {
                    nBestError = nError;
                    nBestPredictor = p;
                    nBestDelta = nDelta;
                    m_bestCodes.swap(m_codes);
                }
            };
            for (int p = 0; p < kStandardCoefficientCount; ++p)
                consider(p, InitialDelta(p));
            const int32_t nFound = nBestDelta;
            consider(nBestPredictor, nFound / 2);
            consider(nBestPredictor, nFound * 2);
            pBlock[c] = static_cast<uint8_t>(nBestPredictor);
            PutLE16(pBlock + nCh + 2 * c, static_cast<uint16_t>(nBestDelta));
            PutLE16(pBlock + 3 * nCh + 2 * c, static_cast<uint16_t>(m_samples[1]));
            PutLE16(pBlock + 5 * nCh + 2 * c, static_cast<uint16_t>(m_samples[0]));
            for (size_t k = 0; k < nCodes; ++k)
                m_allCodes[k * nCh + c] = m_bestCodes[k];
        }
        uint8_t* pCodes = pBlock + HeaderBytes(m_format.nChannels);
        for (size_t k = 0; k < nCodes * nCh; ++k)
            pCodes[k / 2] |= static_cast<uint8_t>(k & 1 ? m_allCodes[k] : m_allCodes[k] << 4);
        return m_format.nBlockAlign;
    }

private:
    size_t m_nCodesPerChannel() const { return m_nFramesPerBlock - 2; }

    // A step near a quarter of the typical prediction error over the first
    // codes lets them use the middle of the code range.
    int32_t InitialDelta(int nPredictor) const
    {
        const int64_t c1 = kStandardCoefficients[nPredictor][0];
        const int64_t c2 = kStandardCoefficients[nPredictor][1];
        const size_t nEnd = std::min<size_t>(m_nFramesPerBlock, 2 + 8);
        int64_t nSum = 0;
        for (size_t f = 2; f < nEnd; ++f) {
            const int64_t e = m_samples[f] - ((m_samples[f - 1] * c1 + m_samples[f - 2] * c2) >> 8);
            nSum += e < 0 ? -e : e;
        }
        const int64_t nCount = static_cast<int64_t>(nEnd) - 2;
        return static_cast<int32_t>(std::min<int64_t>(nCount > 0 ? nSum / (4 * nCount) : 0, INT16_MAX));
    }

    // Encodes the channel into m_codes; returns the squared error, stopping
    // early once it passes nLimit.
    int64_t Trial(int nPredictor, int32_t nDelta, int64_t nLimit)
    {
        MsState state;
        state.nCoef1 = kStandardCoefficients[nPredictor][0];
        state.nCoef2 = kStandardCoefficients[nPredictor][1];
        state.nDelta = nDelta;
        state.nSample2 = m_samples[0];
        state.nSample1 = m_samples[1];
        int64_t nError = 0;
        for (size_t f = 2; f < m_nFramesPerBlock; ++f) {
            m_codes[f - 2] = static_cast<uint8_t>(state.Encode(m_samples[f]));
            const int64_t d = m_samples[f] - state.nSample1;
            nError += d * d;
            if (nError >= nLimit)
                return nError;
        }
        return nError;
    }

    LWaveFormat m_format;
    size_t m_nFramesPerBlock = 0;
    std::vector<int> m_samples;
    std::vector<uint8_t> m_codes;
    std::vector<uint8_t> m_bestCodes;
    std::vector<uint8_t> m_allCodes;
};

} // namespace

size_t LMsAdpcmCodec::FramesInBlock(size_t nBlockAlign, uint16_t nChannels)
{
    const size_t nHeader = HeaderBytes(nChannels);
    if (nChannels == 0 || nBlockAlign < nHeader)
        return 0;
    return 2 + (nBlockAlign - nHeader) * 2 / nChannels;
}

std::unique_ptr<LAudioDecoder> LMsAdpcmCodec::CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus)
{
    auto refuse = [pStatus]() -> std::unique_ptr<LAudioDecoder> {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    };
    if (format.nChannels == 0 || format.nChannels > kCodecMaxChannels || format.wBitsPerSample != 4
        || format.extra.size() < 4)
        return refuse();
    const uint8_t* pExtra = format.extra.data();
    const size_t nFrames = GetLE16(pExtra);
    const size_t nPairs = GetLE16(pExtra + 2);
    const size_t nMaxFrames = FramesInBlock(format.nBlockAlign, format.nChannels);
    if (nMaxFrames == 0 || nFrames < 2 || nFrames > nMaxFrames || nPairs == 0 || nPairs > kMaxCoefficients
        || format.extra.size() < 4 + 4 * nPairs)
        return refuse();
    std::vector<int16_t> coefficients(2 * nPairs);
    for (size_t i = 0; i < 2 * nPairs; ++i)
        coefficients[i] = GetLE16s(pExtra + 4 + 2 * i);
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LMsDecoder>(format.nChannels, format.nBlockAlign, nFrames, std::move(coefficients));
}

std::unique_ptr<LAudioEncoder> LMsAdpcmCodec::CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    if (rate == 0 || channels == 0 || channels > 8) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LMsEncoder>(rate, channels);
}
