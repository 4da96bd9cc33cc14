// An MP3 byte reader over bytes in memory (not owned; they must outlive the
// reader). For tests and the fuzz target; one thread.
#pragma once

#include "sound/codecs/LMP3ByteReader.h"

#include <algorithm>
#include <cstring>

class LMP3MemoryReader final : public LMP3ByteReader {
public:
    LMP3MemoryReader(const uint8_t* pData, size_t nSize)
        : m_pData(pData)
        , m_nSize(nSize)
    {
    }
    size_t Read(void* pBuf, size_t nBytes) override
    {
        size_t n = m_nOffset < m_nSize ? std::min(nBytes, m_nSize - m_nOffset) : 0;
        if (n)
            std::memcpy(pBuf, m_pData + m_nOffset, n);
        m_nOffset += n;
        return n;
    }
    bool Seek(uint64_t nOffset) override
    {
        m_nOffset = static_cast<size_t>(std::min<uint64_t>(nOffset, m_nSize));
        return nOffset <= m_nSize;
    }
    uint64_t Size() override { return m_nSize; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nOffset = 0;
};
