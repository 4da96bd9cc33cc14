// The frame decoder on hand-built frames: header arithmetic, the refusal of
// corrupt granules (silence instead of reads or writes out of bounds) and
// intensity stereo.
#include "sound/codecs/LMP3Decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class BitWriter {
public:
    void Put(uint32_t nValue, unsigned nBits)
    {
        for (unsigned i = nBits; i-- > 0;) {
            if (m_nBit % 8 == 0)
                m_bytes.push_back(0);
            if ((nValue >> i) & 1)
                m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_nBit % 8));
            ++m_nBit;
        }
    }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    size_t Bits() const { return m_nBit; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_nBit = 0;
};

struct Granule {
    unsigned nPart23 = 5;
    unsigned nBigValues = 1;
    unsigned nGlobalGain = 150;
    unsigned nTable[3] = { 1, 0, 0 };
    unsigned nRegion0 = 0;
    unsigned nRegion1 = 0;
    unsigned nCount1Table = 0;
};

// A 128 kbit/s 44100 Hz mono MPEG-1 frame (after its header): side
// information for two granules, then for each granule the table-1 code word
// of (1, 1) with two plus signs, which puts +1 on lines 0 and 1.
std::vector<uint8_t> MonoFrame(const Granule& g0, const Granule& g1, unsigned nMainDataBegin = 0)
{
    BitWriter w;
    w.Put(nMainDataBegin, 9);
    w.Put(0, 5); // private bits
    w.Put(0, 4); // scfsi
    for (const Granule* g : { &g0, &g1 }) {
        w.Put(g->nPart23, 12);
        w.Put(g->nBigValues, 9);
        w.Put(g->nGlobalGain, 8);
        w.Put(0, 4); // scalefac_compress: no scale-factor bits
        w.Put(0, 1); // no window switching
        for (unsigned t : g->nTable)
            w.Put(t, 5);
        w.Put(g->nRegion0, 4);
        w.Put(g->nRegion1, 3);
        w.Put(0, 2); // preflag, scalefac_scale
        w.Put(g->nCount1Table, 1);
    }
    for (int i = 0; i < 2; ++i)
        w.Put(0b00000, 5);
    std::vector<uint8_t> frame = w.Bytes();
    frame.resize(417 - 4, 0);
    return frame;
}

MP3Header MonoHeader()
{
    const uint8_t bytes[4] = { 0xFF, 0xFB, 0x90, 0xC0 };
    MP3Header h;
    EXPECT_TRUE(h.Parse(bytes));
    return h;
}

int32_t Peak(const std::vector<int32_t>& v)
{
    int32_t n = 0;
    for (int32_t s : v)
        n = std::max(n, s < 0 ? -s : s);
    return n;
}

// Sizes derived from the tables are judged by mpg123 on every version (LMP3PeerTest).
TEST(MP3Header, RefusesWhatLayerIIIDoesNotHave)
{
    // Reserved version, layer II, free format, bitrate index 15, sampling index 3, sync.
    const uint8_t refused[][4] = { { 0xFF, 0xEB, 0x90, 0x00 }, { 0xFF, 0xFD, 0x90, 0x00 }, { 0xFF, 0xFB, 0x00, 0x00 },
        { 0xFF, 0xFB, 0xF0, 0x00 }, { 0xFF, 0xFB, 0x9C, 0x00 }, { 0xFE, 0xFB, 0x90, 0x00 } };
    for (const auto& c : refused) {
        MP3Header h;
        EXPECT_FALSE(h.Parse(c)) << std::hex << int(c[0]) << int(c[1]) << int(c[2]);
    }
}

TEST(MP3Decoder, CorruptGranulesPlaySilence)
{
    struct Case {
        const char* szWhat;
        Granule g;
    };
    Granule bigValues;
    bigValues.nBigValues = 289; // 578 lines, all in table 0 so that only the count is wrong
    bigValues.nPart23 = 0;
    bigValues.nTable[0] = 0;
    Granule reserved4;
    reserved4.nTable[0] = 4;
    Granule reserved14;
    reserved14.nTable[0] = 14;
    Granule regions;
    regions.nRegion0 = 15;
    regions.nRegion1 = 7; // region 2 would start past band 22
    Granule pastPart23;
    pastPart23.nPart23 = 3; // the code word and its signs need 5 bits
    Granule pastMainData;
    pastMainData.nPart23 = 4000; // more than the frame holds
    const Case cases[] = { { "big values", bigValues }, { "table 4", reserved4 }, { "table 14", reserved14 },
        { "region counts", regions }, { "past part2_3", pastPart23 }, { "past main data", pastMainData } };
    for (const Case& c : cases) {
        LMP3Decoder dec;
        std::vector<int32_t> out(1152, 7);
        std::vector<uint8_t> frame = MonoFrame(c.g, c.g);
        dec.DecodeFrame(MonoHeader(), frame.data(), frame.size(), out.data());
        EXPECT_EQ(dec.CorruptGranules(), 2u) << c.szWhat;
        EXPECT_EQ(Peak(out), 0) << c.szWhat;
    }
}

// Intensity stereo on hand-built joint-stereo frames: the left channel holds
// lines 0 and 1, the right channel only its scale factors, so every band is
// in the intensity region and the right channel's first scale factor is the
// position. Both outputs must be the plain left decode scaled by the
// position's factors (ISO/IEC 11172-3 2.4.3.4.9.3, ISO/IEC 13818-3 2.4.3.2).
struct StereoFrame {
    uint8_t header[4];
    size_t nFrameBytes;
    bool bLsf;
    unsigned nRightSfc; // scalefac_compress of the right channel
    unsigned nRightSfBits; // its scale-factor bits in the main data
    uint32_t nPosition; // the first of them
    unsigned nPositionBits;
};

std::vector<int32_t> DecodeStereo(const StereoFrame& f, uint8_t nModeByte)
{
    MP3Header h;
    uint8_t bytes[4] = { f.header[0], f.header[1], f.header[2], nModeByte };
    EXPECT_TRUE(h.Parse(bytes));
    BitWriter w;
    w.Put(0, f.bLsf ? 8 : 9);
    w.Put(0, f.bLsf ? 2 : 3);
    if (!f.bLsf)
        w.Put(0, 8); // scfsi
    const unsigned nGranules = f.bLsf ? 1 : 2;
    for (unsigned gr = 0; gr < nGranules; ++gr) {
        for (unsigned ch = 0; ch < 2; ++ch) {
            w.Put(ch == 0 ? 5 : f.nRightSfBits, 12);
            w.Put(ch == 0 ? 1 : 0, 9);
            w.Put(210, 8);
            w.Put(ch == 0 ? 0 : f.nRightSfc, f.bLsf ? 9 : 4);
            w.Put(0, 1);
            w.Put(ch == 0 ? 1 : 0, 5);
            w.Put(0, 10);
            w.Put(0, 7); // region counts
            w.Put(0, f.bLsf ? 2 : 3);
        }
    }
    for (unsigned gr = 0; gr < nGranules; ++gr) {
        w.Put(0, 5); // left: (1, 1), both positive
        w.Put(f.nPosition, f.nPositionBits);
        w.Put(0, f.nRightSfBits - f.nPositionBits);
    }
    std::vector<uint8_t> frame = w.Bytes();
    frame.resize(f.nFrameBytes - 4, 0);
    LMP3Decoder dec;
    std::vector<int32_t> out(h.SamplesPerFrame() * 2 * 2);
    for (int i = 0; i < 2; ++i) // the second frame carries the first one's overlap
        EXPECT_NE(dec.DecodeFrame(h, frame.data(), frame.size(), out.data() + i * h.SamplesPerFrame() * 2),
            LMP3Decoder::Result::TooShort);
    return out;
}

void ExpectScaled(const std::vector<int32_t>& is, const std::vector<int32_t>& plain, double kl, double kr)
{
    int32_t nPeak = 0;
    for (size_t i = 0; i < plain.size(); i += 2) {
        nPeak = std::max(nPeak, std::abs(plain[i]));
        ASSERT_NEAR(is[i], kl * plain[i], 2.0) << "left, sample " << i / 2;
        ASSERT_NEAR(is[i + 1], kr * plain[i], 2.0) << "right, sample " << i / 2;
    }
    EXPECT_GT(nPeak, 10000);
}

TEST(MP3Decoder, IntensityStereoScalesTheLeftDecodeByThePosition)
{
    const StereoFrame frames[] = {
        // MPEG-1 128 kbit/s 44100 Hz; scalefac_compress 4: 3-bit positions in bands 0..10.
        { { 0xFF, 0xFB, 0x90, 0 }, 417, false, 4, 33, 0, 3 },
        // MPEG-2 64 kbit/s 22050 Hz; scalefac_compress 144 or 145: 2-bit positions in the first
        // 7 bands, the lowest bit picking the step 2^-1/4 or 2^-1/2.
        { { 0xFF, 0xF3, 0x80, 0 }, 208, true, 144, 14, 0, 2 },
        { { 0xFF, 0xF3, 0x80, 0 }, 208, true, 145, 14, 0, 2 },
    };
    const auto tanLeft = [](uint32_t nPos) {
        const double t = std::tan(nPos * 3.14159265358979323846 / 12);
        return t / (1 + t);
    };
    const double fStep = std::pow(2.0, -0.25);
    const struct {
        size_t nFrame;
        uint8_t nModeByte; // 0x50 intensity, 0x70 intensity and middle/side
        uint32_t nPosition;
        double kl, kr;
    } cases[] = {
        { 0, 0x50, 0, 0.0, 1.0 },
        { 0, 0x50, 2, tanLeft(2), 1 - tanLeft(2) },
        { 0, 0x50, 5, tanLeft(5), 1 - tanLeft(5) },
        { 0, 0x50, 6, 1.0, 0.0 },
        { 0, 0x70, 3, 0.5, 0.5 }, // a legal position takes its lines out of middle/side
        { 0, 0x50, 7, 1.0, 0.0 }, // an illegal one leaves left and right as coded,
        { 0, 0x70, 7, std::sqrt(0.5), std::sqrt(0.5) }, // or through middle/side when that is on
        { 1, 0x50, 0, 1.0, 1.0 },
        { 1, 0x50, 1, fStep, 1.0 },
        { 1, 0x50, 2, 1.0, fStep },
        { 1, 0x50, 3, 1.0, 0.0 }, // the largest 2-bit value is illegal
        { 2, 0x50, 1, std::sqrt(0.5), 1.0 },
    };
    std::vector<std::vector<int32_t>> plain;
    for (const StereoFrame& f : frames)
        plain.push_back(DecodeStereo(f, 0x00));
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
            << "frame " << c.nFrame << ", mode " << int(c.nModeByte) << ", position " << c.nPosition);
        StereoFrame f = frames[c.nFrame];
        f.nPosition = c.nPosition;
        ExpectScaled(DecodeStereo(f, c.nModeByte), plain[c.nFrame], c.kl, c.kr);
    }
}

} // namespace
