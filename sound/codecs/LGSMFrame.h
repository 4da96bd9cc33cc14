// GSM 06.10 full-rate (RPE-LTP) speech codec for one channel: the encoder and
// decoder state that runs from frame to frame, the bit-exact fixed-point
// algorithm, and the two byte framings (the 33-byte frame of raw .gsm files
// and the 65-byte two-frame block of WAV format 49). One object per stream,
// used by one thread at a time; no allocation after construction.
#pragma once

#include <cstddef>
#include <cstdint>

class LGSMFrame {
public:
    static constexpr size_t kSamples = 160; // per frame, 20 ms at 8000 Hz
    static constexpr size_t kFrameBytes = 33; // 4-bit signature + 260 bits
    static constexpr size_t kWavBlockBytes = 65; // two 260-bit frames
    static constexpr size_t kWavBlockSamples = 2 * kSamples;

    // The 76 coded parameters of one frame, as transmitted (LARc already
    // offset to be non-negative). Fields hold at most their bit widths:
    // LARc 6,6,5,5,4,4,3,3; Nc 7, bc 2, Mc 2, xmaxc 6, xMc 3.
    struct Parameters {
        int16_t LARc[8];
        int16_t Nc[4];
        int16_t bc[4];
        int16_t Mc[4];
        int16_t xmaxc[4];
        int16_t xMc[4][13];
    };

    LGSMFrame() { Reset(); }

    // Back to the initial state of the standard (all history zero); the
    // encoder and decoder are independent, and both start over.
    void Reset();
    void ResetEncoder();
    void ResetDecoder();

    // 160 16-bit samples (13 significant bits are used) to parameters.
    void EncodeNormal(const int16_t* pSamples, Parameters* pOut);
    // Parameters to 160 samples. Values wider than their fields are masked,
    // so any input decodes to samples within range.
    void DecodeNormal(const Parameters& params, int16_t* pSamples);

    // Standard framing: one frame per 33 bytes, most significant bit first.
    void EncodeFrame(const int16_t* pSamples, uint8_t* pFrame);
    // False (and 160 zeros, state untouched) when the signature nibble is not 0xD.
    bool DecodeFrame(const uint8_t* pFrame, int16_t* pSamples);

    // WAV framing: two frames per 65 bytes, least significant bit first.
    void EncodeWavBlock(const int16_t* pSamples, uint8_t* pBlock);
    void DecodeWavBlock(const uint8_t* pBlock, int16_t* pSamples);

    static void PackFrame(const Parameters& params, uint8_t* pFrame);
    static bool UnpackFrame(const uint8_t* pFrame, Parameters* pOut);
    static void PackWavBlock(const Parameters& first, const Parameters& second, uint8_t* pBlock);
    static void UnpackWavBlock(const uint8_t* pBlock, Parameters* pFirst, Parameters* pSecond);
    // The first frame of a WAV block lies wholly in its first 33 bytes, so a
    // truncated block still yields it.
    static void UnpackWavFirst(const uint8_t* pBlock, Parameters* pFirst);

private:
    // Encoder: offset compensation and pre-emphasis memories, the previous
    // frame's decoded LARs, the analysis lattice and the past reconstructed
    // short-term residual dp[-120..-1].
    int16_t m_z1;
    int32_t m_Lz2;
    int16_t m_mp;
    int16_t m_encLARpp[8];
    int16_t m_u[8];
    int16_t m_dp[120];

    // Decoder: the last valid lag, the past reconstructed residual
    // drp[-120..-1], the previous LARs, the synthesis lattice and de-emphasis.
    int16_t m_nrp;
    int16_t m_drp[120];
    int16_t m_decLARpp[8];
    int16_t m_v[9];
    int16_t m_msr;
};
