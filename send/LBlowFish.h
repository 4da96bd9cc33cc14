// The Blowfish cipher of DCT transfer files: the published algorithm with its
// initial tables from the digits of pi, in electronic-codebook mode, each
// 8-byte block read as two little-endian words (left half first), as the
// typist's player expects. One object per file being written or read; any
// thread, not shared.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

class LBlowFish {
public:
    // Sets the key from every byte of the text, cycled into the P-array; an
    // empty text leaves the cipher without a key.
    void SetKey(std::string_view key);
    bool HasKey() const { return m_bKeyed; }

    // In place; nBytes must be a multiple of 8 (a trailing partial block is
    // left as it is). Nothing happens without a key.
    void Encrypt(uint8_t* pData, size_t nBytes) const;
    void Decrypt(uint8_t* pData, size_t nBytes) const;

    // One block as two 32-bit halves.
    void EncryptBlock(uint32_t* pLeft, uint32_t* pRight) const;
    void DecryptBlock(uint32_t* pLeft, uint32_t* pRight) const;

    // The key check byte of an encrypted DCT file: the key's bytes summed modulo 256.
    static uint8_t KeyCheck(std::string_view key);

private:
    uint32_t F(uint32_t x) const
    {
        return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) + m_s[3][x & 0xFF];
    }

    std::array<uint32_t, 18> m_p {};
    std::array<std::array<uint32_t, 256>, 4> m_s {};
    bool m_bKeyed = false;
};
