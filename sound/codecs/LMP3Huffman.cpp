#include "sound/codecs/LMP3Huffman.h"

#include "sound/codecs/LMP3Tables.h"

#include <algorithm>
#include <cstring>

namespace mp3 {

namespace {

// Big-endian bit reader over a 64-bit cache: one refill per code word pair
// or quadruple instead of a load per field. Bytes at or past the end read as
// zeros, so it never leaves the array however far a corrupt granule runs;
// the caller checks Pos against the granule's end.
class CachedBitReader {
public:
    CachedBitReader(const uint8_t* pData, size_t nBytes, size_t nPos)
        : m_p(pData)
        , m_nBytes(nBytes)
        , m_nNext(nPos >> 3)
    {
        Refill();
        Skip(static_cast<unsigned>(nPos & 7));
    }
    // Afterwards at least 56 bits are cached: a whole big-values pair
    // (19-bit code word, two 13-bit escapes, two signs) fits.
    void Refill()
    {
        if (m_nNext + 8 <= m_nBytes) {
            uint64_t w;
            std::memcpy(&w, m_p + m_nNext, sizeof(w));
            w = __builtin_bswap64(w);
            // Bits below the whole bytes taken are the same bytes the next
            // refill brings, so or-ing them in early changes nothing.
            m_cache |= w >> m_nBits;
            const unsigned nTaken = (63 - m_nBits) >> 3;
            m_nNext += nTaken;
            m_nBits += nTaken * 8;
            return;
        }
        while (m_nBits <= 56) {
            const uint64_t b = m_nNext < m_nBytes ? m_p[m_nNext] : 0;
            m_cache |= b << (56 - m_nBits);
            ++m_nNext;
            m_nBits += 8;
        }
    }
    // nBits in 1..32, within the bits cached; Skip below 64.
    uint32_t Peek(unsigned nBits) const { return static_cast<uint32_t>(m_cache >> (64 - nBits)); }
    void Skip(unsigned nBits)
    {
        m_cache <<= nBits;
        m_nBits -= nBits;
    }
    // Reads the sign bit that follows a nonzero magnitude, without a branch:
    // signs are coin flips a predictor cannot learn.
    int Signed(int nMagnitude)
    {
        const unsigned bNonZero = nMagnitude != 0;
        const int nMask = -static_cast<int>(static_cast<unsigned>(m_cache >> 63) & bNonZero);
        Skip(bNonZero);
        return (nMagnitude ^ nMask) - nMask;
    }
    uint32_t Get(unsigned nBits)
    {
        uint32_t v = Peek(nBits);
        Skip(nBits);
        return v;
    }
    size_t Pos() const { return m_nNext * 8 - m_nBits; }

private:
    const uint8_t* m_p;
    size_t m_nBytes;
    size_t m_nNext; // next byte to bring in; may pass the end
    uint64_t m_cache = 0;
    unsigned m_nBits = 0;
};

// Two-level look-up of one code book: 8 bits first, then a second table for
// the longer code words sharing a prefix. Leaf: (length << 8) | (x << 4) | y;
// link: 0x80000000 | (bits << 16) | offset.
constexpr unsigned kRootBits = 8;
constexpr uint32_t kLink = 0x80000000u;

struct HuffmanLookup {
    uint32_t table[256 + 4096];
};

void BuildLookup(const HuffmanBook& book, HuffmanLookup* pLookup)
{
    const unsigned nCount = book.nSize * book.nSize;
    uint32_t* t = pLookup->table;
    std::fill_n(t, sizeof(pLookup->table) / sizeof(t[0]), 0u);
    unsigned nSubBits[256] = {};
    for (unsigned i = 0; i < nCount; ++i) {
        unsigned nLen = book.pLengths[i];
        uint32_t nSym = ((i / book.nSize) << 4) | (i % book.nSize);
        if (nLen <= kRootBits) {
            unsigned nFirst = static_cast<unsigned>(book.pCodes[i]) << (kRootBits - nLen);
            for (unsigned j = 0; j < (1u << (kRootBits - nLen)); ++j)
                t[nFirst + j] = (nLen << 8) | nSym;
        } else {
            unsigned nPrefix = book.pCodes[i] >> (nLen - kRootBits);
            nSubBits[nPrefix] = std::max(nSubBits[nPrefix], nLen - kRootBits);
        }
    }
    unsigned nNext = 256;
    for (unsigned nPrefix = 0; nPrefix < 256; ++nPrefix) {
        if (nSubBits[nPrefix] == 0)
            continue;
        t[nPrefix] = kLink | (nSubBits[nPrefix] << 16) | nNext;
        nNext += 1u << nSubBits[nPrefix];
    }
    for (unsigned i = 0; i < nCount; ++i) {
        unsigned nLen = book.pLengths[i];
        if (nLen <= kRootBits)
            continue;
        uint32_t nSym = ((i / book.nSize) << 4) | (i % book.nSize);
        unsigned nPrefix = book.pCodes[i] >> (nLen - kRootBits);
        unsigned nSub = nSubBits[nPrefix];
        unsigned nRest = nLen - kRootBits;
        unsigned nLow = book.pCodes[i] & ((1u << nRest) - 1);
        unsigned nBase = (t[nPrefix] & 0xFFFF) + (nLow << (nSub - nRest));
        for (unsigned j = 0; j < (1u << (nSub - nRest)); ++j)
            t[nBase + j] = (nRest << 8) | nSym;
    }
}

// Count-1 quadruples with their sign bits in one look-up of 10 bits (a code
// word of at most 6 bits and up to 4 signs): (length << 8) and the values
// v, w, x, y as 2-bit two's complement from bit 6 down.
constexpr unsigned kCount1Bits = 10;

struct Lookups {
    HuffmanLookup books[15];
    const uint32_t* byTable[32] = {}; // nullptr for table 0 and the reserved 4 and 14
    uint16_t count1[2][1u << kCount1Bits];

    Lookups()
    {
        unsigned nBuilt = 0;
        for (unsigned n = 0; n < 32; ++n) {
            const HuffmanBook& book = BigValueBook(n);
            if (book.nSize == 0)
                continue;
            // Tables 17..23 and 25..31 share the code words of 16 and 24.
            if ((n > 16 && n < 24) || n > 24) {
                byTable[n] = byTable[n < 24 ? 16 : 24];
                continue;
            }
            BuildLookup(book, &books[nBuilt]);
            byTable[n] = books[nBuilt++].table;
        }
        for (unsigned nTable = 0; nTable < 2; ++nTable) {
            for (unsigned p = 0; p < (1u << kCount1Bits); ++p) {
                unsigned nLen = 4, v = 15 - (p >> (kCount1Bits - 4)); // table B: inverted 4 bits
                if (nTable == 0) {
                    const unsigned nTop = p >> (kCount1Bits - 6);
                    for (v = 0; v < 16; ++v) {
                        nLen = kCount1ALengths[v];
                        if ((nTop >> (6 - nLen)) == kCount1ACodes[v])
                            break;
                    }
                }
                unsigned e = 0;
                for (unsigned k = 0; k < 4; ++k) {
                    e <<= 2;
                    if ((v >> (3 - k)) & 1) {
                        const bool bMinus = (p >> (kCount1Bits - 1 - nLen)) & 1;
                        e |= bMinus ? 3u : 1u;
                        ++nLen;
                    }
                }
                count1[nTable][p] = static_cast<uint16_t>((nLen << 8) | e);
            }
        }
    }
};

const Lookups& L()
{
    static const Lookups lookups;
    return lookups;
}

inline int32_t TwoBits(unsigned e)
{
    return static_cast<int32_t>((e & 3u) << 30) >> 30;
}

} // namespace

int DecodeHuffman(
    const HuffmanRegions& regions, const uint8_t* pData, size_t nBytes, size_t nPos, size_t nEnd, int32_t* is)
{
    std::fill_n(is, 576, 0);
    const Lookups& lookups = L();
    CachedBitReader br(pData, nBytes, nPos);
    unsigned i = 0;
    for (unsigned r = 0; r < 3; ++r) {
        const unsigned nTableNo = regions.nTable[r] & 31;
        const unsigned nStop = std::min(regions.nEnd[r], 576u);
        if (i >= nStop)
            continue;
        if (nTableNo == 0) {
            i = nStop; // all zero, no bits
            continue;
        }
        const uint32_t* lut = lookups.byTable[nTableNo];
        if (lut == nullptr) {
            std::fill_n(is, i, 0);
            return -1; // the reserved tables 4 and 14
        }
        const unsigned nLin = BigValueBook(nTableNo).nLinBits;
        // Whole regions without a position test per pair: a corrupt granule
        // reads zeros past the end and is found out after the region.
        for (; i < nStop; i += 2) {
            br.Refill();
            uint32_t e = lut[br.Peek(kRootBits)];
            if (e & kLink) {
                br.Skip(kRootBits);
                e = lut[(e & 0xFFFF) + br.Peek((e >> 16) & 0x1F)];
            }
            br.Skip((e >> 8) & 0x1F);
            int x = static_cast<int>((e >> 4) & 15);
            int y = static_cast<int>(e & 15);
            if (x == 15 && nLin)
                x += static_cast<int>(br.Get(nLin));
            x = br.Signed(x);
            if (y == 15 && nLin)
                y += static_cast<int>(br.Get(nLin));
            y = br.Signed(y);
            is[i] = x;
            is[i + 1] = y;
        }
        if (br.Pos() > nEnd) {
            std::fill_n(is, i, 0); // the granule stays silent
            return -1;
        }
    }
    // Count-1 region: quadruples until the part2_3 bits are used up. A last
    // quadruple that runs past the end is an encoder's overshoot, dropped.
    const uint16_t* c1 = lookups.count1[regions.nCount1Table & 1];
    ptrdiff_t nLeft = static_cast<ptrdiff_t>(nEnd) - static_cast<ptrdiff_t>(br.Pos());
    while (i + 4 <= 576 && nLeft > 0) {
        br.Refill();
        const unsigned e = c1[br.Peek(kCount1Bits)];
        const unsigned nLen = e >> 8;
        br.Skip(nLen);
        nLeft -= nLen;
        if (nLeft < 0)
            break;
        is[i] = TwoBits(e >> 6);
        is[i + 1] = TwoBits(e >> 4);
        is[i + 2] = TwoBits(e >> 2);
        is[i + 3] = TwoBits(e);
        i += 4;
    }
    return static_cast<int>(i);
}

} // namespace mp3
