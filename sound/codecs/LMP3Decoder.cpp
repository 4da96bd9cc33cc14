#include "sound/codecs/LMP3Decoder.h"

#include "sound/codecs/LMP3Huffman.h"
#include "sound/codecs/LMP3Tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Reads big-endian bit fields. The caller guarantees 4 readable bytes past
// the last byte it lets the reader reach, so Peek never leaves the array.
class BitReader {
public:
    BitReader(const uint8_t* pData, size_t nPos)
        : m_p(pData)
        , m_nPos(nPos)
    {
    }
    uint32_t Peek(unsigned nBits) const
    {
        const uint8_t* p = m_p + (m_nPos >> 3);
        uint32_t v = (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
            | (static_cast<uint32_t>(p[2]) << 8) | p[3];
        v <<= (m_nPos & 7);
        return nBits == 0 ? 0 : v >> (32 - nBits);
    }
    void Skip(unsigned nBits) { m_nPos += nBits; }
    uint32_t Get(unsigned nBits)
    {
        uint32_t v = Peek(nBits);
        m_nPos += nBits;
        return v;
    }
    size_t Pos() const { return m_nPos; }

private:
    const uint8_t* m_p;
    size_t m_nPos;
};

struct Tables {
    float pow43[8207];
    float isRatioL[7];
    float isRatioR[7];
    float lsfIsBase[2];
    float aliasCs[8];
    float aliasCa[8];
    uint16_t reorder[9][2][576]; // [rate][mixed]: source line of each output line

    Tables()
    {
        for (unsigned i = 0; i < 8207; ++i)
            pow43[i] = static_cast<float>(std::pow(static_cast<double>(i), 4.0 / 3.0));
        for (unsigned i = 0; i < 7; ++i) {
            if (i == 6) {
                isRatioL[i] = 1.0f;
                isRatioR[i] = 0.0f;
                continue;
            }
            double t = std::tan(i * kPi / 12.0);
            isRatioL[i] = static_cast<float>(t / (1.0 + t));
            isRatioR[i] = static_cast<float>(1.0 / (1.0 + t));
        }
        lsfIsBase[0] = static_cast<float>(std::pow(2.0, -0.25));
        lsfIsBase[1] = static_cast<float>(std::pow(2.0, -0.5));
        static const double kAliasC[8] = { -0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037 };
        for (unsigned i = 0; i < 8; ++i) {
            double sq = std::sqrt(1.0 + kAliasC[i] * kAliasC[i]);
            aliasCs[i] = static_cast<float>(1.0 / sq);
            aliasCa[i] = static_cast<float>(kAliasC[i] / sq);
        }
        for (unsigned r = 0; r < 9; ++r) {
            for (unsigned m = 0; m < 2; ++m) {
                uint16_t* map = reorder[r][m];
                for (unsigned i = 0; i < 576; ++i)
                    map[i] = static_cast<uint16_t>(i);
                const uint16_t* s = mp3::kShortBandEdges[r];
                for (unsigned sfb = m ? 3 : 0; sfb < 13; ++sfb) {
                    unsigned nWidth = s[sfb + 1] - s[sfb];
                    unsigned nBase = 3u * s[sfb];
                    for (unsigned w = 0; w < 3; ++w)
                        for (unsigned f = 0; f < nWidth; ++f)
                            map[nBase + 3 * f + w] = static_cast<uint16_t>(nBase + w * nWidth + f);
                }
            }
        }
    }
};

const Tables& T()
{
    static const Tables tables;
    return tables;
}

inline float Gain(int nQuarterExponent)
{
    return std::exp2(0.25f * static_cast<float>(nQuarterExponent));
}

} // namespace

LMP3Decoder::LMP3Decoder(const mp3::DspKernels* pDsp)
    : m_pDsp(pDsp ? pDsp : &mp3::ChosenDspKernels())
{
    T();
    Reset();
}

void LMP3Decoder::Reset()
{
    m_nMainFill = 0;
    std::memset(m_mainData, 0, sizeof(m_mainData));
    std::memset(m_overlap, 0, sizeof(m_overlap));
    std::memset(m_history, 0, sizeof(m_history));
}

bool LMP3Decoder::ReadSideInfo(const MP3Header& header, const uint8_t* pData)
{
    uint8_t buf[32 + 4] = {};
    std::memcpy(buf, pData, header.SideInfoBytes());
    BitReader br(buf, 0);
    const unsigned nCh = header.Channels();
    const bool bV1 = header.nVersion == 0;
    m_si.nMainDataBegin = br.Get(bV1 ? 9 : 8);
    br.Skip(bV1 ? (nCh == 1 ? 5 : 3) : (nCh == 1 ? 1 : 2));
    if (bV1)
        for (unsigned ch = 0; ch < nCh; ++ch)
            for (unsigned b = 0; b < 4; ++b)
                m_si.scfsi[ch][b] = static_cast<uint8_t>(br.Get(1));
    for (unsigned gr = 0; gr < header.Granules(); ++gr) {
        for (unsigned ch = 0; ch < nCh; ++ch) {
            GranuleInfo& gi = m_si.gr[gr][ch];
            gi.nPart23 = br.Get(12);
            gi.nBigValues = br.Get(9);
            gi.nGlobalGain = br.Get(8);
            gi.nScalefacCompress = br.Get(bV1 ? 4 : 9);
            gi.bWindowSwitching = br.Get(1) != 0;
            if (gi.bWindowSwitching) {
                gi.nBlockType = br.Get(2);
                gi.bMixed = br.Get(1) != 0;
                gi.nTable[0] = br.Get(5);
                gi.nTable[1] = br.Get(5);
                gi.nTable[2] = 0;
                for (unsigned w = 0; w < 3; ++w)
                    gi.nSubblockGain[w] = br.Get(3);
                // Implicit region counts: region 1 runs to the end.
                gi.nRegion0 = 7;
                gi.nRegion1 = 36;
                // Block type 0 cannot be signalled with window switching; a
                // stream that does is decoded as long blocks. The mixed flag
                // also keeps the two lowest subbands of start and stop blocks
                // on the normal window.
            } else {
                gi.nBlockType = 0;
                gi.bMixed = false;
                for (unsigned r = 0; r < 3; ++r)
                    gi.nTable[r] = br.Get(5);
                gi.nSubblockGain[0] = gi.nSubblockGain[1] = gi.nSubblockGain[2] = 0;
                gi.nRegion0 = br.Get(4);
                gi.nRegion1 = br.Get(3);
            }
            gi.bPreflag = bV1 ? br.Get(1) != 0 : false;
            gi.bScalefacScale = br.Get(1) != 0;
            gi.nCount1Table = br.Get(1);
        }
    }
    return true;
}

LMP3Decoder::Result LMP3Decoder::DecodeFrame(
    const MP3Header& header, const uint8_t* pData, size_t nBytes, int32_t* pOut)
{
    const size_t nSide = header.SideInfoBytes();
    if (nBytes < nSide)
        return Result::TooShort;
    ReadSideInfo(header, pData);
    const unsigned nChannels = header.Channels();

    // Append this frame's main data to the reservoir, keeping what a later
    // frame may refer back to.
    size_t nFrameMain = std::min(nBytes - nSide, kMainDataBytes - kMaxReservoir);
    if (m_nMainFill + nFrameMain > kMainDataBytes) {
        size_t nKeep = std::min(m_nMainFill, kMaxReservoir);
        std::memmove(m_mainData, m_mainData + m_nMainFill - nKeep, nKeep);
        m_nMainFill = nKeep;
    }
    const bool bHaveMain = m_si.nMainDataBegin <= m_nMainFill;
    const size_t nStartByte = bHaveMain ? m_nMainFill - m_si.nMainDataBegin : 0;
    std::memcpy(m_mainData + m_nMainFill, pData + nSide, nFrameMain);
    m_nMainFill += nFrameMain;

    size_t nPos = nStartByte * 8;
    for (unsigned gr = 0; gr < header.Granules(); ++gr) {
        for (unsigned ch = 0; ch < nChannels; ++ch) {
            if (bHaveMain) {
                DecodeSpectrum(header, gr, ch, nPos);
                nPos += m_si.gr[gr][ch].nPart23;
            } else {
                std::memset(m_xr[ch], 0, sizeof(m_xr[ch]));
                m_nNonZero[ch] = 0;
            }
        }
        if (nChannels == 2 && header.nMode == 1 && bHaveMain)
            JointStereo(header, m_si.gr[gr][1]);
        for (unsigned ch = 0; ch < nChannels; ++ch) {
            const GranuleInfo& gi = m_si.gr[gr][ch];
            Reorder(header, gi, ch);
            AliasReduce(gi, ch);
            Imdct(gi, ch);
            Synthesize(ch, nChannels, pOut + static_cast<size_t>(gr) * 576 * nChannels);
        }
    }
    return bHaveMain ? Result::Decoded : Result::NoMainData;
}

void LMP3Decoder::DecodeSpectrum(const MP3Header& header, unsigned nGranule, unsigned nCh, size_t nStart)
{
    const GranuleInfo& gi = m_si.gr[nGranule][nCh];
    const size_t nEnd = nStart + gi.nPart23;
    std::memset(m_xr[nCh], 0, sizeof(m_xr[nCh]));
    m_nNonZero[nCh] = 0;
    // The granule must lie inside the main data assembled for this frame.
    if (nEnd > m_nMainFill * 8) {
        ++m_nCorruptGranules;
        return;
    }
    unsigned nPart2 = ReadScaleFactors(header, nGranule, nCh, nStart, nEnd);
    if (nStart + nPart2 > nEnd) {
        ++m_nCorruptGranules;
        return;
    }
    // On the stack, so that a sanitizer sees any write past the 576 lines.
    int32_t is[576];
    if (!HuffmanDecode(header, gi, nStart + nPart2, nEnd, nCh, is))
        ++m_nCorruptGranules;
    Requantize(header, gi, nCh, is);
}

unsigned LMP3Decoder::ReadScaleFactors(
    const MP3Header& header, unsigned nGranule, unsigned nCh, size_t nPos, size_t nEnd)
{
    const GranuleInfo& gi = m_si.gr[nGranule][nCh];
    BitReader br(m_mainData, nPos);
    uint8_t* sfL = m_scalefacL[nCh];
    uint8_t(*sfS)[3] = m_scalefacS[nCh];
    const bool bShort = gi.bWindowSwitching && gi.nBlockType == 2;
    // Reading stops at the granule's end: the bits beyond belong to another.
    auto get = [&](unsigned nBits) -> uint8_t {
        if (br.Pos() + nBits > nEnd) {
            br.Skip(nBits);
            return 0;
        }
        return static_cast<uint8_t>(br.Get(nBits));
    };

    if (header.nVersion == 0) {
        const unsigned nSlen1 = mp3::kSlen[gi.nScalefacCompress][0];
        const unsigned nSlen2 = mp3::kSlen[gi.nScalefacCompress][1];
        if (bShort) {
            unsigned sfb = 0;
            if (gi.bMixed) {
                for (; sfb < 8; ++sfb)
                    sfL[sfb] = get(nSlen1);
                sfb = 3;
            }
            for (; sfb < 12; ++sfb)
                for (unsigned w = 0; w < 3; ++w)
                    sfS[sfb][w] = get(sfb < 6 ? nSlen1 : nSlen2);
            sfS[12][0] = sfS[12][1] = sfS[12][2] = 0;
        } else {
            static const uint8_t kGroupEdges[5] = { 0, 6, 11, 16, 21 };
            for (unsigned g = 0; g < 4; ++g) {
                // Scale factors shared with the first granule stay as they are.
                if (nGranule == 1 && m_si.scfsi[nCh][g])
                    continue;
                for (unsigned sfb = kGroupEdges[g]; sfb < kGroupEdges[g + 1]; ++sfb)
                    sfL[sfb] = get(g < 2 ? nSlen1 : nSlen2);
            }
            sfL[21] = 0;
        }
        return static_cast<unsigned>(br.Pos() - nPos);
    }

    // MPEG-2: scale-factor lengths by partition from scalefac_compress.
    unsigned nSlen[4] = {};
    unsigned nTable = 0;
    unsigned sfc = gi.nScalefacCompress;
    bool bPreflag = false;
    const bool bIntensityRight = nCh == 1 && header.nMode == 1 && (header.nModeExt & 1);
    if (bIntensityRight) {
        m_lsfIntensityScale = sfc & 1;
        unsigned isc = sfc >> 1;
        if (isc < 180) {
            nSlen[0] = isc / 36;
            nSlen[1] = (isc % 36) / 6;
            nSlen[2] = isc % 6;
            nTable = 3;
        } else if (isc < 244) {
            isc -= 180;
            nSlen[0] = (isc % 64) >> 4;
            nSlen[1] = (isc % 16) >> 2;
            nSlen[2] = isc % 4;
            nTable = 4;
        } else {
            isc -= 244;
            nSlen[0] = isc / 3;
            nSlen[1] = isc % 3;
            nTable = 5;
        }
    } else if (sfc < 400) {
        nSlen[0] = (sfc >> 4) / 5;
        nSlen[1] = (sfc >> 4) % 5;
        nSlen[2] = (sfc & 15) >> 2;
        nSlen[3] = sfc & 3;
        nTable = 0;
    } else if (sfc < 500) {
        sfc -= 400;
        nSlen[0] = (sfc >> 2) / 5;
        nSlen[1] = (sfc >> 2) % 5;
        nSlen[2] = sfc & 3;
        nTable = 1;
    } else {
        sfc -= 500;
        nSlen[0] = sfc / 3;
        nSlen[1] = sfc % 3;
        nTable = 2;
        bPreflag = true;
    }
    m_si.gr[nGranule][nCh].bPreflag = bPreflag;
    const unsigned nKind = bShort ? (gi.bMixed ? 2 : 1) : 0;
    uint8_t values[40] = {};
    uint8_t maxes[40] = {};
    unsigned n = 0;
    for (unsigned p = 0; p < 4; ++p) {
        for (unsigned i = 0; i < mp3::kLsfPartitions[nTable][nKind][p] && n < 40; ++i, ++n) {
            values[n] = get(nSlen[p]);
            maxes[n] = static_cast<uint8_t>((1u << nSlen[p]) - 1);
        }
    }
    // Spread the flat list over the bands: long ones first, then short ones
    // window by window.
    unsigned k = 0;
    if (!bShort) {
        for (unsigned sfb = 0; sfb < 21; ++sfb, ++k) {
            sfL[sfb] = values[k];
            if (bIntensityRight)
                m_isMaxL[sfb] = maxes[k];
        }
        sfL[21] = 0;
        if (bIntensityRight)
            m_isMaxL[21] = m_isMaxL[20];
    } else {
        unsigned sfb = 0;
        if (gi.bMixed) {
            for (; sfb < 6; ++sfb, ++k) {
                sfL[sfb] = values[k];
                if (bIntensityRight)
                    m_isMaxL[sfb] = maxes[k];
            }
            sfb = 3;
        }
        for (; sfb < 12; ++sfb) {
            for (unsigned w = 0; w < 3; ++w, ++k) {
                sfS[sfb][w] = values[k];
                if (bIntensityRight)
                    m_isMaxS[sfb] = maxes[k];
            }
        }
        sfS[12][0] = sfS[12][1] = sfS[12][2] = 0;
        if (bIntensityRight)
            m_isMaxS[12] = m_isMaxS[11];
    }
    return static_cast<unsigned>(br.Pos() - nPos);
}

bool LMP3Decoder::HuffmanDecode(
    const MP3Header& header, const GranuleInfo& gi, size_t nPos, size_t nEnd, unsigned nCh, int32_t* is)
{
    std::fill_n(is, 576, 0);
    m_nNonZero[nCh] = 0;
    const unsigned nRate = header.RateIndex();
    const uint16_t* l = mp3::kLongBandEdges[nRate];
    const uint16_t* s = mp3::kShortBandEdges[nRate];

    const unsigned nBig = gi.nBigValues * 2;
    if (nBig > 576)
        return false;
    unsigned nRegion1, nRegion2;
    if (gi.bWindowSwitching && gi.nBlockType == 2) {
        nRegion1 = gi.bMixed ? l[header.nVersion == 0 ? 8 : 6] : 3u * s[3];
        nRegion2 = 576;
    } else if (gi.bWindowSwitching) {
        nRegion1 = l[8];
        nRegion2 = 576;
    } else {
        if (gi.nRegion0 + gi.nRegion1 + 2 > 22)
            return false;
        nRegion1 = l[gi.nRegion0 + 1];
        nRegion2 = l[gi.nRegion0 + gi.nRegion1 + 2];
    }
    nRegion1 = std::min(nRegion1, nBig);
    nRegion2 = std::min(std::max(nRegion2, nRegion1), nBig);

    const mp3::HuffmanRegions regions
        = { { gi.nTable[0], gi.nTable[1], gi.nTable[2] }, { nRegion1, nRegion2, nBig }, gi.nCount1Table };
    const int nLines = mp3::DecodeHuffman(regions, m_mainData, sizeof(m_mainData), nPos, nEnd, is);
    if (nLines < 0)
        return false;
    m_nNonZero[nCh] = static_cast<unsigned>(nLines);
    return true;
}

void LMP3Decoder::Requantize(const MP3Header& header, const GranuleInfo& gi, unsigned nCh, const int32_t* is)
{
    const unsigned nLimit = m_nNonZero[nCh];
    if (nLimit == 0)
        return;
    const Tables& t = T();
    const unsigned nRate = header.RateIndex();
    const uint16_t* l = mp3::kLongBandEdges[nRate];
    const uint16_t* s = mp3::kShortBandEdges[nRate];
    const int nGlobal = static_cast<int>(gi.nGlobalGain) - 210;
    const int nShift = gi.bScalefacScale ? 4 : 2; // quarter steps per scale-factor step
    float* xr = m_xr[nCh];
    auto band = [&](unsigned nFrom, unsigned nTo, float fGain) {
        nTo = std::min(nTo, nLimit);
        // Without branches (pow43[0] is 0): the sign moves over as a bit.
        for (unsigned i = nFrom; i < nTo; ++i) {
            const int v = is[i];
            const uint32_t nSign = static_cast<uint32_t>(v) & 0x80000000u;
            const float f = t.pow43[static_cast<unsigned>(v < 0 ? -v : v)] * fGain;
            uint32_t nBits;
            std::memcpy(&nBits, &f, sizeof(nBits));
            nBits |= nSign;
            std::memcpy(&xr[i], &nBits, sizeof(nBits));
        }
    };

    const bool bShort = gi.bWindowSwitching && gi.nBlockType == 2;
    unsigned nShortFrom = 0;
    if (!bShort || gi.bMixed) {
        const unsigned nLongBands = bShort ? (header.nVersion == 0 ? 8 : 6) : 22;
        for (unsigned sfb = 0; sfb < nLongBands && l[sfb] < nLimit; ++sfb) {
            int nSf = m_scalefacL[nCh][sfb] + (gi.bPreflag ? mp3::kPretab[sfb] : 0);
            band(l[sfb], l[sfb + 1], Gain(nGlobal - nShift * nSf));
        }
        if (!bShort)
            return;
        nShortFrom = 3;
    }
    for (unsigned sfb = nShortFrom; sfb < 13 && 3u * s[sfb] < nLimit; ++sfb) {
        const unsigned nWidth = s[sfb + 1] - s[sfb];
        for (unsigned w = 0; w < 3; ++w) {
            unsigned nFrom = 3u * s[sfb] + w * nWidth;
            int nQ = nGlobal - 8 * static_cast<int>(gi.nSubblockGain[w]) - nShift * m_scalefacS[nCh][sfb][w];
            band(nFrom, nFrom + nWidth, Gain(nQ));
        }
    }
}

void LMP3Decoder::JointStereo(const MP3Header& header, const GranuleInfo& gi)
{
    const bool bMs = (header.nModeExt & 2) != 0;
    const bool bIs = (header.nModeExt & 1) != 0;
    float* L = m_xr[0];
    float* R = m_xr[1];
    const unsigned nLimit = std::max(m_nNonZero[0], m_nNonZero[1]);
    bool bIntensity[576];
    if (bIs)
        std::fill_n(bIntensity, 576, false);

    if (bIs) {
        const Tables& t = T();
        const bool bV1 = header.nVersion == 0;
        const unsigned nRate = header.RateIndex();
        const uint16_t* l = mp3::kLongBandEdges[nRate];
        const uint16_t* s = mp3::kShortBandEdges[nRate];
        const float fBase = t.lsfIsBase[m_lsfIntensityScale & 1];
        // Applies one band's intensity position when it is legal.
        auto apply = [&](unsigned nFrom, unsigned nTo, unsigned nPos, unsigned nIllegal) {
            if (nPos == nIllegal || (bV1 && nPos > 6))
                return;
            float kl, kr;
            if (bV1) {
                kl = t.isRatioL[nPos];
                kr = t.isRatioR[nPos];
            } else if (nPos == 0) {
                kl = kr = 1.0f;
            } else if (nPos & 1) {
                kl = std::pow(fBase, static_cast<float>((nPos + 1) / 2));
                kr = 1.0f;
            } else {
                kl = 1.0f;
                kr = std::pow(fBase, static_cast<float>(nPos / 2));
            }
            nTo = std::min(nTo, 576u);
            for (unsigned i = nFrom; i < nTo; ++i) {
                bIntensity[i] = true;
                R[i] = L[i] * kr;
                L[i] *= kl;
            }
        };
        auto lastNonZero = [&](unsigned nFrom, unsigned nTo) -> bool {
            for (unsigned i = nFrom; i < nTo; ++i)
                if (R[i] != 0.0f)
                    return true;
            return false;
        };
        const bool bShort = gi.bWindowSwitching && gi.nBlockType == 2;
        const uint8_t* sfL = m_scalefacL[1];
        auto illegalL = [&](unsigned sfb) -> unsigned { return bV1 ? 7u : m_isMaxL[sfb]; };
        auto illegalS = [&](unsigned sfb) -> unsigned { return bV1 ? 7u : m_isMaxS[sfb]; };
        if (!bShort) {
            // Intensity starts above the highest band where the right channel has energy.
            unsigned nFirst = 0;
            for (unsigned sfb = 22; sfb-- > 0;) {
                if (lastNonZero(l[sfb], l[sfb + 1])) {
                    nFirst = sfb + 1;
                    break;
                }
            }
            for (unsigned sfb = nFirst; sfb < 22; ++sfb) {
                unsigned nSrc = std::min(sfb, 20u);
                apply(l[sfb], l[sfb + 1], sfL[nSrc], illegalL(nSrc));
            }
        } else {
            const unsigned nShortFrom = gi.bMixed ? 3 : 0;
            bool bShortEmpty = true;
            for (unsigned w = 0; w < 3; ++w) {
                unsigned nFirst = nShortFrom;
                for (unsigned sfb = 13; sfb-- > nShortFrom;) {
                    unsigned nWidth = s[sfb + 1] - s[sfb];
                    unsigned nFrom = 3u * s[sfb] + w * nWidth;
                    if (lastNonZero(nFrom, nFrom + nWidth)) {
                        nFirst = sfb + 1;
                        bShortEmpty = false;
                        break;
                    }
                }
                for (unsigned sfb = nFirst; sfb < 13; ++sfb) {
                    unsigned nWidth = s[sfb + 1] - s[sfb];
                    unsigned nFrom = 3u * s[sfb] + w * nWidth;
                    unsigned nSrc = std::min(sfb, 11u);
                    apply(nFrom, nFrom + nWidth, m_scalefacS[1][nSrc][w], illegalS(nSrc));
                }
            }
            if (gi.bMixed && bShortEmpty) {
                const unsigned nLongBands = bV1 ? 8 : 6;
                unsigned nFirst = 0;
                for (unsigned sfb = nLongBands; sfb-- > 0;) {
                    if (lastNonZero(l[sfb], l[sfb + 1])) {
                        nFirst = sfb + 1;
                        break;
                    }
                }
                for (unsigned sfb = nFirst; sfb < nLongBands; ++sfb)
                    apply(l[sfb], l[sfb + 1], sfL[sfb], illegalL(sfb));
            }
        }
    }

    if (bMs) {
        const float kInvSqrt2 = 0.70710678118654752f;
        for (unsigned i = 0; i < nLimit; ++i) {
            if (bIs && bIntensity[i])
                continue;
            float m = L[i], d = R[i];
            L[i] = (m + d) * kInvSqrt2;
            R[i] = (m - d) * kInvSqrt2;
        }
    }
    // Intensity stereo can give the right channel energy up to the left's end.
    unsigned nAll = nLimit;
    if (bIs)
        for (unsigned i = 576; i-- > nAll;)
            if (L[i] != 0.0f || R[i] != 0.0f) {
                nAll = i + 1;
                break;
            }
    m_nNonZero[0] = m_nNonZero[1] = nAll;
}

void LMP3Decoder::Reorder(const MP3Header& header, const GranuleInfo& gi, unsigned nCh)
{
    if (!(gi.bWindowSwitching && gi.nBlockType == 2) || m_nNonZero[nCh] == 0)
        return;
    const unsigned nRate = header.RateIndex();
    const uint16_t* map = T().reorder[nRate][gi.bMixed ? 1 : 0];
    const uint16_t* s = mp3::kShortBandEdges[nRate];
    // Reordering moves lines only within a band: the end of the band that
    // holds the last nonzero line bounds the result.
    unsigned nLimit = 576;
    for (unsigned sfb = 0; sfb < 14; ++sfb) {
        if (3u * s[sfb] >= m_nNonZero[nCh]) {
            nLimit = 3u * s[sfb];
            break;
        }
    }
    float tmp[576];
    float* xr = m_xr[nCh];
    std::memcpy(tmp, xr, sizeof(float) * nLimit);
    for (unsigned i = 0; i < nLimit; ++i)
        xr[i] = tmp[map[i]];
    m_nNonZero[nCh] = nLimit;
}

void LMP3Decoder::AliasReduce(const GranuleInfo& gi, unsigned nCh)
{
    const bool bShort = gi.bWindowSwitching && gi.nBlockType == 2;
    if (bShort && !gi.bMixed)
        return;
    const Tables& t = T();
    float* xr = m_xr[nCh];
    unsigned nSubbands = (m_nNonZero[nCh] + 17) / 18;
    unsigned nBounds = bShort ? 1 : std::min(nSubbands, 31u);
    for (unsigned sb = 1; sb <= nBounds; ++sb) {
        float* pLow = xr + 18 * sb - 1;
        float* pHigh = xr + 18 * sb;
        // The eight butterflies side by side (the compiler vectorises the
        // middle loop; the lower lines run backwards, so they go through a copy).
        float bu[8], bd[8], nu[8], nd[8];
        for (unsigned i = 0; i < 8; ++i) {
            bu[i] = pLow[-static_cast<int>(i)];
            bd[i] = pHigh[i];
        }
        for (unsigned i = 0; i < 8; ++i) {
            nu[i] = bu[i] * t.aliasCs[i] - bd[i] * t.aliasCa[i];
            nd[i] = bd[i] * t.aliasCs[i] + bu[i] * t.aliasCa[i];
        }
        for (unsigned i = 0; i < 8; ++i) {
            pLow[-static_cast<int>(i)] = nu[i];
            pHigh[i] = nd[i];
        }
    }
    if (!bShort)
        m_nNonZero[nCh] = std::min(576u, 18 * std::min(nSubbands + 1, 32u));
}

void LMP3Decoder::Imdct(const GranuleInfo& gi, unsigned nCh)
{
    const unsigned nSubbands = std::min(32u, (m_nNonZero[nCh] + 17) / 18);
    const unsigned nBlockType = gi.bWindowSwitching ? gi.nBlockType : 0;
    m_pDsp->imdct(m_xr[nCh], nSubbands, nBlockType, gi.bMixed, m_overlap[nCh], m_sample[nCh]);
}

void LMP3Decoder::Synthesize(unsigned nCh, unsigned nChannels, int32_t* pOut)
{
    m_pDsp->synthesize(m_sample[nCh], m_history[nCh], kMaxAmplitude, nChannels, pOut + nCh);
}
