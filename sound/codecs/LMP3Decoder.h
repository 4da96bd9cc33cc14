// Layer III decoding of one frame at a time (ISO/IEC 11172-3, 13818-3 and
// MPEG-2.5) into the engine's internal sample form. It owns the state that
// runs from frame to frame: bit reservoir, IMDCT overlap and synthesis
// history. Fixed-size state, no allocation after construction; one thread.
#pragma once

#include "sound/codecs/LMP3Dsp.h"
#include "sound/codecs/MP3Header.h"

#include <cstddef>
#include <cstdint>

class LMP3Decoder {
public:
    static constexpr unsigned kMaxFrameSamples = 1152;
    // Output magnitudes are clipped here (4 × the 16-bit full scale of 0x7FFF0).
    static constexpr int32_t kMaxAmplitude = 0x200000;

    enum class Result {
        Decoded,
        // The bit reservoir lacks the bytes this frame refers back to (after a
        // seek or a lost frame): the frame plays as silence, its bytes are kept.
        NoMainData,
        // The bytes cannot even hold the side information: nothing was written.
        TooShort,
    };

    // With pDsp's kernels, or by default mp3::ChosenDspKernels().
    explicit LMP3Decoder(const mp3::DspKernels* pDsp = nullptr);
    LMP3Decoder(const LMP3Decoder&) = delete;
    LMP3Decoder& operator=(const LMP3Decoder&) = delete;

    // Forgets the reservoir, the overlap and the synthesis history (after a seek).
    void Reset();

    // Decodes one frame. pData holds what follows the header and its CRC: the
    // side information and this frame's main data. On Decoded and NoMainData,
    // header.SamplesPerFrame() × header.Channels() samples are written to pOut,
    // interleaved, in the internal scale (16-bit × 16) clipped to ±kMaxAmplitude.
    Result DecodeFrame(const MP3Header& header, const uint8_t* pData, size_t nBytes, int32_t* pOut);

    // Granules refused since construction: a big-values count beyond 576,
    // a reserved code book, region counts past the band table, scale factors
    // or Huffman data running past their part2_3 length or past the main data.
    uint64_t CorruptGranules() const { return m_nCorruptGranules; }

    struct GranuleInfo {
        unsigned nPart23;
        unsigned nBigValues;
        unsigned nGlobalGain;
        unsigned nScalefacCompress;
        bool bWindowSwitching;
        unsigned nBlockType;
        bool bMixed;
        unsigned nTable[3];
        unsigned nSubblockGain[3];
        unsigned nRegion0;
        unsigned nRegion1;
        bool bPreflag;
        bool bScalefacScale;
        unsigned nCount1Table;
    };

private:
    struct SideInfo {
        unsigned nMainDataBegin;
        uint8_t scfsi[2][4];
        GranuleInfo gr[2][2];
    };

    bool ReadSideInfo(const MP3Header& header, const uint8_t* pData);
    // Reads scale factors from m_mainData at bit nPos; returns the bits used.
    unsigned ReadScaleFactors(const MP3Header& header, unsigned nGranule, unsigned nCh, size_t nPos, size_t nEnd);
    // Huffman and requantisation of one channel of one granule into m_xr[nCh].
    void DecodeSpectrum(const MP3Header& header, unsigned nGranule, unsigned nCh, size_t nStart);
    bool HuffmanDecode(
        const MP3Header& header, const GranuleInfo& gi, size_t nPos, size_t nEnd, unsigned nCh, int32_t* is);
    void Requantize(const MP3Header& header, const GranuleInfo& gi, unsigned nCh, const int32_t* is);
    void JointStereo(const MP3Header& header, const GranuleInfo& gi);
    void Reorder(const MP3Header& header, const GranuleInfo& gi, unsigned nCh);
    void AliasReduce(const GranuleInfo& gi, unsigned nCh);
    void Imdct(const GranuleInfo& gi, unsigned nCh);
    void Synthesize(unsigned nCh, unsigned nChannels, int32_t* pOut);

    SideInfo m_si {};

    // Main data of this and earlier frames, contiguous. The slack after the
    // end takes the look-ahead of a code word read just past a granule's end
    // (found corrupt right after), so reads never leave the array.
    static constexpr size_t kMainDataBytes = 4096;
    static constexpr size_t kMaxReservoir = 511;
    uint8_t m_mainData[kMainDataBytes + 32] {};
    size_t m_nMainFill = 0;

    // Per granule and channel.
    float m_xr[2][576] {};
    unsigned m_nNonZero[2] {}; // lines beyond this are zero
    uint8_t m_scalefacL[2][22] {};
    uint8_t m_scalefacS[2][13][3] {};
    // Largest scale factor each band of the right channel can carry: an
    // intensity position equal to it is illegal (MPEG-2 intensity stereo).
    uint8_t m_isMaxL[22] {};
    uint8_t m_isMaxS[13] {};
    uint8_t m_lsfIntensityScale = 0;

    // Per channel, frame to frame.
    float m_overlap[2][32][18] {};
    float m_sample[2][32][mp3::kSlotStride] {}; // IMDCT output by subband and time slot
    float m_history[2][32][mp3::kHistoryStride] {}; // synthesis DCT outputs by slot

    const mp3::DspKernels* m_pDsp; // chosen once, at construction

    uint64_t m_nCorruptGranules = 0;
};
