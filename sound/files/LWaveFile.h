// Opens RIFF WAVE files as sources and creates them as sinks: PCM through the
// sample readers and writers, every other format through the codec table.
// Stateless factories, any thread; the objects they return belong to one
// thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LWaveFormat.h"

#include <cstdint>
#include <string>

// What the header of a WAV file says, after the acceptance rules.
struct LWaveFileInfo {
    LWaveFormat format; // an extensible format is given by its sub-format's tag
    uint16_t wFileFormatTag = 0; // the tag as stored (0xFFFE for extensible)
    uint64_t nDataStart = 0;
    uint32_t nDataBytes = 0; // as the chunk states
    bool bStreaming = false; // the writer never finished: data runs to the end of the file
    // Only from ParseStreamHeader: the size is 0 or the marker, and the data
    // runs to the end of the stream, which no file size bounds.
    bool bOpenEnded = false;
    uint64_t nFileSize = 0;
};

// Highest rate a WAV file may state.
inline constexpr uint32_t kMaxWaveSampleRate = 196000;

class LWaveFile {
public:
    // Never empty: a file that cannot be opened gives a silent placeholder
    // with error 4, an unacceptable header error 3, a format no codec
    // handles error 5.
    static LSoundSourceRef OpenSource(const std::string& path);
    // Tag 1 goes to OpenSinkPCM, tag 49 to the GSM WAV writer (mono only),
    // every other tag to the codec table's writer.
    static LSoundSinkRef OpenSink(const std::string& path, const LWaveFormat& format);
    // 1 to 8 bits: 8-bit unsigned; 9 to 16: 16-bit; anything else an empty
    // reference. nStartFrames > 0 keeps that much of an existing file's data
    // and continues after it.
    static LSoundSinkRef OpenSinkPCM(
        const std::string& path, int32_t nSampleRate, int64_t nStartFrames, int nBitsPerSample, uint8_t nChannels);

    // Reads and checks the header without building a reader: 0, or the error
    // code OpenSource's placeholder would carry (3 or 4).
    static uint8_t ReadInfo(const std::string& path, LWaveFileInfo* pInfo);
    // The same on an open file; on success the file stands at the data.
    static uint8_t ParseHeader(LFile& file, LWaveFileInfo* pInfo);
    // The header at the start of a stream that cannot go back to fill in
    // its sizes (our own decoder's pipe, never a file): a data size of 0 or
    // 0xFFFFFFFF is taken as open-ended. On success nDataStart is where the
    // data begins in the bytes; an error may only mean more bytes are needed.
    static uint8_t ParseStreamHeader(const uint8_t* pBytes, size_t nBytes, LWaveFileInfo* pInfo);
};
