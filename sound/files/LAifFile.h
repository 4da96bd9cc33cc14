// Opens AIFF files (".aif", ".aiff") as sources and writes 16-bit AIFF files:
// a big-endian "FORM"/"AIFF" container with a "COMM" chunk (channels, frames,
// bits, an 80-bit extended rate) and an "SSND" chunk of samples. Stateless
// factories, any thread; the objects belong to one thread at a time.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"

#include <cstdint>
#include <string>

class LAifFile {
public:
    static constexpr uint32_t kHeaderBytes = 54; // of the files written here

    // Never empty: a file that cannot be opened gives a placeholder with
    // error 4; no "FORM"/"AIFF", no "COMM" or "SSND", channels outside
    // 1..255, no bits, or a rate that is not 1..196000 error 3; more than 16
    // bits error 5. 1 to 8 bits read as signed 8-bit, 9 to 16 as 16-bit.
    static LSoundSourceRef OpenSource(const std::string& path);
    // 16-bit big-endian samples after the 54-byte header; the header carries
    // the streaming marker in its "SSND" size until the writer finishes.
    static LSoundSinkRef OpenSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels);

    // The 80-bit extended form of a whole rate (at least 1), and back: 0 when
    // the bytes hold no rate a sound file can have.
    static void EncodeRate(uint32_t nRate, uint8_t* pTen);
    static uint32_t DecodeRate(const uint8_t* pTen);
};
