// The fixed tables of MPEG audio Layer III (ISO/IEC 11172-3 Annex B, ISO/IEC
// 13818-3 and the MPEG-2.5 extension), typed in from the standards. Constant
// data and pure lookups, any thread.
#pragma once

#include <cstdint>

namespace mp3 {

// One Huffman code book as the standard lists it: for x, y in 0..nSize-1 the
// code word of (x, y) is pCodes[x * nSize + y] in pLengths[x * nSize + y] bits.
struct HuffmanBook {
    uint8_t nSize; // 0 for table 0 (no code words) and for the unused tables 4 and 14
    uint8_t nLinBits;
    const uint16_t* pCodes;
    const uint8_t* pLengths;
};

// Big-value tables 0..31 (tables 16..23 and 24..31 share code words).
const HuffmanBook& BigValueBook(unsigned nTable);
// Count-1 table A (variable length) for values 0..15 = v w x y.
extern const uint16_t kCount1ACodes[16];
extern const uint8_t kCount1ALengths[16];

// Scale-factor band edges by rate index: 0..2 MPEG-1 44100, 48000, 32000;
// 3..5 MPEG-2 22050, 24000, 16000; 6..8 MPEG-2.5 11025, 12000, 8000.
extern const uint16_t kLongBandEdges[9][23];
extern const uint16_t kShortBandEdges[9][14];

// Pre-emphasis added to long-block scale factors when preflag is set.
extern const uint8_t kPretab[22];
// MPEG-1 scalefac_compress to (slen1, slen2).
extern const uint8_t kSlen[16][2];
// MPEG-2 scale-factor partitions: [table][block kind: long, short, mixed][partition].
extern const uint8_t kLsfPartitions[6][3][4];

// The synthesis window D[0..256]; the rest follows from its symmetry.
extern const double kSynthesisWindowHalf[257];

} // namespace mp3
