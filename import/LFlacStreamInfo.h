// What a FLAC file says of its audio in its first metadata block, read
// before any decoder runs so that 16-bit samples can be decoded straight
// into a dictation. Checked against the format's own bounds; a file that
// says anything else (or nothing) is left to the decoder's WAV stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LFlacStreamInfo {
    uint32_t uSampleRate = 0;
    uint8_t uChannels = 0;
    uint8_t uBitsPerSample = 0;
    uint64_t nTotalFrames = 0; // never 0 once read: an unknown length is refused

    // Bytes of an ID3v2 tag at the start (which the decoder passes over), 0
    // when there is none; from its first 10 bytes.
    static uint64_t TagBytes(const uint8_t* p, size_t nBytes);
    // From the bytes at the stream's "fLaC": false when they are not a
    // stream information block this program can use.
    static bool Parse(const uint8_t* p, size_t nBytes, LFlacStreamInfo* pInfo);
    // Both, from a file.
    static bool Read(const std::string& path, LFlacStreamInfo* pInfo);
};
