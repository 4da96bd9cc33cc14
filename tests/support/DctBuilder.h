// A DCT transfer file built byte by byte, apart from the program's writer
// and reader, so neither is the only statement of the layout.
#pragma once

#include "send/LBlowFish.h"
#include "tests/support/Records.h"

#include <string>
#include <vector>

namespace test {

struct DctBuilder {
    std::vector<uint8_t> b;
    std::string key;
    void U8(uint8_t v) { b.push_back(v); }
    void U32(uint32_t v) { PutU32(b, v); }
    void Str(const std::string& s) { U8(static_cast<uint8_t>(s.size())), b.insert(b.end(), s.begin(), s.end()); }
    // As stored: plain, or zero-padded to whole blocks and encrypted.
    void Piece(const std::string& data)
    {
        std::vector<uint8_t> piece(data.begin(), data.end());
        LBlowFish bf;
        bf.SetKey(key);
        piece.resize(key.empty() ? piece.size() : (piece.size() + 7) / 8 * 8, 0);
        bf.Encrypt(piece.data(), piece.size());
        b.insert(b.end(), piece.begin(), piece.end());
    }
    // The file length mended into the header.
    std::vector<uint8_t> Done()
    {
        for (int i = 0; i < 4; ++i)
            b[2 + i] = static_cast<uint8_t>(b.size() >> (8 * i));
        return b;
    }
    // Unencrypted, version 0, from user 3: a notice (flag 1) is its header
    // alone; anything else holds the name "Letter", empty sender details,
    // priority 50, the notes and the WAV bytes.
    static std::vector<uint8_t> Plain(
        uint32_t uFlags, uint32_t uNumber, const std::string& notes = {}, const std::vector<uint8_t>& wav = {})
    {
        DctBuilder d { { 0, 0, 0, 0, 0, 0 }, {} };
        d.U32(uFlags), d.U32(3), d.U32(uNumber);
        if (!(uFlags & 1)) {
            d.U32(0), d.Str("Letter"), d.b.resize(d.b.size() + 10), d.U8(50); // ten empty strings
            d.U32(static_cast<uint32_t>(notes.size())), d.Piece(notes), d.b.insert(d.b.end(), wav.begin(), wav.end());
        }
        return d.Done();
    }
};

} // namespace test
