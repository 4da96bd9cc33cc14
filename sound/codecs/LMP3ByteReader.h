// The bytes an MP3 stream is read from, so that the framing stays free of
// file I/O: a file source supplies one over its file, tests and the fuzz
// target one over memory. Used by the thread that owns the stream.
#pragma once

#include <cstddef>
#include <cstdint>

class LMP3ByteReader {
public:
    virtual ~LMP3ByteReader() = default;
    // Reads up to nBytes at the current offset; short only at the end or on an error.
    virtual size_t Read(void* pBuf, size_t nBytes) = 0;
    // Moves to an offset from the start; false when the reader cannot.
    virtual bool Seek(uint64_t nOffset) = 0;
    virtual uint64_t Size() = 0;
};
