// The stored formats built byte by byte, independently of their writers: a
// .ddf header with its notes, attachments and cut records, and the records of
// a status file. Tests compare what the writers give against these.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstring>
#include <string>
#include <vector>

namespace test {

inline void PutU32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A .ddf file field by field: version 1, magic 0x0FF04020, 11025 Hz mono,
// no recipient (0xFF), priority 50; everything else zero until set.
class DdfBuilder {
public:
    DdfBuilder()
        : m_bytes(222, 0)
    {
        Put32(0, 1).Put32(218, 0x0FF04020).Put32(194, 11025).Put8(188, 0xFF).Put8(189, 50).Put8(190, 1);
    }
    // A header alone, as the dictation list finds one.
    DdfBuilder(uint32_t uFileNumber, const std::string& name, uint32_t uStatusTime = 0)
        : DdfBuilder()
    {
        Put32(8, uFileNumber).Text(24, name).Put32(120, uStatusTime);
    }
    DdfBuilder& Put32(size_t offset, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
        return *this;
    }
    DdfBuilder& Put8(size_t offset, uint8_t v)
    {
        m_bytes[offset] = v;
        return *this;
    }
    DdfBuilder& Text(size_t offset, const std::string& text)
    {
        std::memcpy(&m_bytes[offset], text.data(), text.size());
        return *this;
    }
    DdfBuilder& Append(const std::string& bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    DdfBuilder& Cut(uint16_t number, uint32_t start, uint32_t end)
    {
        m_bytes.push_back(static_cast<uint8_t>(number));
        m_bytes.push_back(static_cast<uint8_t>(number >> 8));
        PutU32(m_bytes, start);
        PutU32(m_bytes, end);
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::string Write(const TempDir& dir, const std::string& name) const
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, m_bytes));
        return path;
    }

private:
    std::vector<uint8_t> m_bytes;
};

inline std::vector<uint8_t> DdfBytes(uint32_t uFileNumber, const std::string& name = "d", uint32_t uStatusTime = 0)
{
    return DdfBuilder(uFileNumber, name, uStatusTime).Bytes();
}

// One status-file record: the file number, 16 bytes of text, and in version 1 a time.
inline void StatusRecord(
    std::vector<uint8_t>& b, uint32_t uVersion, uint32_t n, const std::string& text, uint32_t t = 0)
{
    PutU32(b, n);
    std::string field = text;
    field.resize(16, '\0');
    b.insert(b.end(), field.begin(), field.end());
    if (uVersion == 1)
        PutU32(b, t);
}

} // namespace test
