// Huffman decoding of one granule's quantised lines (big-value pairs in
// three regions, then count-1 quadruples) through look-up tables built once
// from the standard's code books. Pure function, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

struct HuffmanRegions {
    unsigned nTable[3]; // big-value table of each region, 0..31
    unsigned nEnd[3]; // line at which each region ends, ascending; nEnd[2] = big_values × 2 <= 576
    unsigned nCount1Table; // 0 = table A, 1 = table B
};

// Decodes the bits [nPos, nEnd) of pData into is[0..575]. Returns the lines
// holding values (the rest are zero), or -1 when the data is corrupt (a
// reserved table, or code words running past nEnd), with every line zero.
// Bytes at pData + nBytes and beyond are never read (they count as zeros).
int DecodeHuffman(
    const HuffmanRegions& regions, const uint8_t* pData, size_t nBytes, size_t nPos, size_t nEnd, int32_t* is);

} // namespace mp3
