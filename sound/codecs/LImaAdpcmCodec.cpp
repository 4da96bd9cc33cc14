#include "sound/codecs/LImaAdpcmCodec.h"

#include "sound/codecs/LCodecUtil.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int kMaxStepIndex = 88;
constexpr int16_t kStep[kMaxStepIndex + 1] = { 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41,
    45, 50, 55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449,
    494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024,
    3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818,
    18500, 20350, 22385, 24623, 27086, 29794, 32767 };
constexpr int kIndexChange[8] = { -1, -1, -1, -1, 2, 4, 6, 8 };

struct ImaState {
    int nPredicted = 0;
    int nIndex = 0;

    int16_t Decode(unsigned n)
    {
        const int step = kStep[nIndex];
        int diff = step >> 3;
        if (n & 4)
            diff += step;
        if (n & 2)
            diff += step >> 1;
        if (n & 1)
            diff += step >> 2;
        nPredicted = std::clamp(n & 8 ? nPredicted - diff : nPredicted + diff, INT16_MIN, INT16_MAX);
        nIndex = std::clamp(nIndex + kIndexChange[n & 7], 0, kMaxStepIndex);
        return static_cast<int16_t>(nPredicted);
    }

    // The usual successive-approximation quantiser; its decision levels sit
    // halfway between the decoder's reconstruction levels.
    unsigned Encode(int sample)
    {
        int diff = sample - nPredicted;
        unsigned n = 0;
        if (diff < 0) {
            n = 8;
            diff = -diff;
        }
        int step = kStep[nIndex];
        if (diff >= step) {
            n |= 4;
            diff -= step;
        }
        step >>= 1;
        if (diff >= step) {
            n |= 2;
            diff -= step;
        }
        step >>= 1;
        if (diff >= step)
            n |= 1;
        Decode(n);
        return n;
    }
};

size_t HeaderBytes(uint16_t nChannels)
{
    return 4 * static_cast<size_t>(nChannels);
}

class LImaDecoder final : public LAudioDecoder {
public:
    LImaDecoder(uint16_t nChannels, size_t nBlockAlign, size_t nFramesPerBlock)
        : m_nChannels(nChannels)
        , m_nBlockAlign(nBlockAlign)
        , m_nFramesPerBlock(nFramesPerBlock)
    {
    }
    size_t BlockBytes() const override { return m_nBlockAlign; }
    size_t FramesPerBlock() const override { return m_nFramesPerBlock; }

    size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) override
    {
        if (pBlock == nullptr || pFrames == nullptr)
            return 0;
        const size_t nFrames
            = std::min(m_nFramesPerBlock, LImaAdpcmCodec::FramesInBlock(std::min(nBytes, m_nBlockAlign), m_nChannels));
        if (nFrames == 0)
            return 0;
        const size_t nCh = m_nChannels;
        for (size_t c = 0; c < nCh; ++c) {
            if (pBlock[4 * c + 2] > kMaxStepIndex)
                return 0; // a step index no encoder writes: not IMA data
        }
        for (size_t c = 0; c < nCh; ++c) {
            const uint8_t* pHeader = pBlock + 4 * c;
            ImaState state { GetLE16s(pHeader), pHeader[2] };
            pFrames[c] = static_cast<int16_t>(state.nPredicted);
            // Each channel's codes come in 4-byte groups of 8 frames, the
            // channels' groups in turn.
            const uint8_t* pGroup = pBlock + HeaderBytes(m_nChannels) + 4 * c;
            for (size_t f = 1; f < nFrames; pGroup += 4 * nCh) {
                for (size_t k = 0; k < 8 && f < nFrames; ++k, ++f) {
                    const uint8_t byte = pGroup[k / 2];
                    pFrames[f * nCh + c] = state.Decode(k & 1 ? byte >> 4 : byte & 15);
                }
            }
        }
        return nFrames;
    }

private:
    uint16_t m_nChannels;
    size_t m_nBlockAlign;
    size_t m_nFramesPerBlock;
};

class LImaEncoder final : public LAudioEncoder {
public:
    LImaEncoder(uint32_t rate, uint16_t channels)
        : m_nIndex(channels, 0)
        , m_samples(0)
        , m_codes(0)
    {
        m_format.wFormatTag = kWaveFormatImaAdpcm;
        m_format.nChannels = channels;
        m_format.nSamplesPerSec = rate;
        m_format.nBlockAlign = AdpcmBlockAlign(rate, channels);
        m_format.wBitsPerSample = 4;
        m_nFramesPerBlock = LImaAdpcmCodec::FramesInBlock(m_format.nBlockAlign, channels);
        m_format.nAvgBytesPerSec
            = BlockAvgBytesPerSec(rate, m_format.nBlockAlign, static_cast<uint32_t>(m_nFramesPerBlock));
        m_format.extra.resize(2);
        PutLE16(m_format.extra.data(), static_cast<uint16_t>(m_nFramesPerBlock));
        m_samples.resize(m_nFramesPerBlock);
        m_codes.resize(m_nFramesPerBlock);
    }
    const LWaveFormat& Format() const override { return m_format; }
    size_t BlockBytes() const override { return m_format.nBlockAlign; }
    size_t FramesPerBlock() const override { return m_nFramesPerBlock; }
    void Reset() override { std::fill(m_nIndex.begin(), m_nIndex.end(), 0); }

    size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) override
    {
        if (pFrames == nullptr || pBlock == nullptr)
            return 0;
        nFrames = std::min(nFrames, m_nFramesPerBlock);
        const size_t nCh = m_format.nChannels;
        std::fill(pBlock, pBlock + m_format.nBlockAlign, 0);
        for (size_t c = 0; c < nCh; ++c) {
            for (size_t f = 0; f < m_nFramesPerBlock; ++f)
                m_samples[f] = f < nFrames ? pFrames[f * nCh + c] : 0;
            const int nIndex = BestStartIndex(m_nIndex[c]);
            ImaState state { m_samples[0], nIndex };
            for (size_t f = 1; f < m_nFramesPerBlock; ++f)
                m_codes[f] = static_cast<uint8_t>(state.Encode(m_samples[f]));
            m_nIndex[c] = state.nIndex;

            PutLE16(pBlock + 4 * c, static_cast<uint16_t>(m_samples[0]));
            pBlock[4 * c + 2] = static_cast<uint8_t>(nIndex);
            uint8_t* pGroup = pBlock + HeaderBytes(m_format.nChannels) + 4 * c;
            for (size_t f = 1; f < m_nFramesPerBlock; pGroup += 4 * nCh)
                for (size_t k = 0; k < 8 && f < m_nFramesPerBlock; ++k, ++f)
                    pGroup[k / 2] |= static_cast<uint8_t>(k & 1 ? m_codes[f] << 4 : m_codes[f]);
        }
        return m_format.nBlockAlign;
    }

private:
    // The step index carried from the last block suits a steady signal; at an
    // onset or a pause another start adapts faster. Candidates around the
    // carried index and around the step that matches the block's opening
    // slope are tried over the first frames, where the start matters.
    int BestStartIndex(int nCarried)
    {
        const size_t nTrial = std::min<size_t>(m_nFramesPerBlock, 64);
        int64_t nSlope = 0;
        const size_t nSlopeEnd = std::min<size_t>(nTrial, 9);
        for (size_t f = 1; f < nSlopeEnd; ++f)
            nSlope += std::abs(m_samples[f] - m_samples[f - 1]);
        nSlope /= static_cast<int64_t>(std::max<size_t>(nSlopeEnd - 1, 1));
        int nSlopeIndex = 0;
        while (nSlopeIndex < kMaxStepIndex && kStep[nSlopeIndex] < nSlope)
            ++nSlopeIndex;

        const int candidates[]
            = { nCarried, nCarried - 4, nCarried + 4, nCarried + 8, nSlopeIndex - 4, nSlopeIndex, nSlopeIndex + 4 };
        int nBest = nCarried;
        int64_t nBestError = INT64_MAX;
        for (int nCandidate : candidates) {
            const int nIndex = std::clamp(nCandidate, 0, kMaxStepIndex);
            ImaState state { m_samples[0], nIndex };
            int64_t nError = 0;
            for (size_t f = 1; f < nTrial && nError < nBestError; ++f) {
                state.Encode(m_samples[f]);
                const int64_t d = m_samples[f] - state.nPredicted;
                nError += d * d;
            }
            if (nError < nBestError) {
                nBestError = nError;
                nBest = nIndex;
            }
        }
        return nBest;
    }

    LWaveFormat m_format;
    size_t m_nFramesPerBlock = 0;
    std::vector<int> m_nIndex;
    std::vector<int> m_samples;
    std::vector<uint8_t> m_codes;
};

} // namespace

size_t LImaAdpcmCodec::FramesInBlock(size_t nBlockAlign, uint16_t nChannels)
{
    const size_t nHeader = HeaderBytes(nChannels);
    if (nChannels == 0 || nBlockAlign < nHeader)
        return 0;
    return 1 + (nBlockAlign - nHeader) / nHeader * 8;
}

std::unique_ptr<LAudioDecoder> LImaAdpcmCodec::CreateDecoder(const LWaveFormat& format, LCodecStatus* pStatus)
{
    const size_t nMaxFrames = FramesInBlock(format.nBlockAlign, format.nChannels);
    // Without the extra bytes the block holds as many frames as fit.
    const size_t nFrames = format.extra.size() >= 2 ? GetLE16(format.extra.data()) : nMaxFrames;
    if (format.nChannels == 0 || format.nChannels > kCodecMaxChannels || format.wBitsPerSample != 4 || nMaxFrames == 0
        || nFrames == 0 || nFrames > nMaxFrames) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LImaDecoder>(format.nChannels, format.nBlockAlign, nFrames);
}

std::unique_ptr<LAudioEncoder> LImaAdpcmCodec::CreateEncoder(uint32_t rate, uint16_t channels, LCodecStatus* pStatus)
{
    if (rate == 0 || channels == 0 || channels > 8) {
        SetCodecStatus(pStatus, LCodecStatus::BadParameters);
        return nullptr;
    }
    SetCodecStatus(pStatus, LCodecStatus::Ok);
    return std::make_unique<LImaEncoder>(rate, channels);
}
