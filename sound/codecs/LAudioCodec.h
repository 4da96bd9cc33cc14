// A block codec between 16-bit PCM frames and a WAV format's compressed
// blocks. One object belongs to one thread; it keeps the state that runs
// from block to block (none for most WAV codecs, whose blocks stand alone).
#pragma once

#include "sound/codecs/LWaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class LAudioDecoder {
public:
    virtual ~LAudioDecoder() = default;
    // Bytes of one whole block and the frames it decodes to.
    virtual size_t BlockBytes() const = 0;
    virtual size_t FramesPerBlock() const = 0;
    // Decodes one block of nBytes (at most BlockBytes(); a short last block
    // decodes to the frames it holds) into interleaved 16-bit frames.
    // Returns the frames written; 0 when the block is corrupt or too short.
    virtual size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pFrames) = 0;
    // Forgets state carried between blocks (after a seek).
    virtual void Reset() { }
};

class LAudioEncoder {
public:
    virtual ~LAudioEncoder() = default;
    // The format written into the file's "fmt " chunk.
    virtual const LWaveFormat& Format() const = 0;
    virtual size_t BlockBytes() const = 0;
    virtual size_t FramesPerBlock() const = 0;
    // Encodes nFrames (at most FramesPerBlock(); a short last block is padded
    // with silence) into one block; returns the bytes written (BlockBytes()).
    // PCM and G.711, whose format blocks are single frames, group frames into
    // larger blocks and write only the frames given: use the returned count.
    virtual size_t EncodeBlock(const int16_t* pFrames, size_t nFrames, uint8_t* pBlock) = 0;
    virtual void Reset() { }
};

// Why a codec could not be opened, for the callers' error codes.
enum class LCodecStatus { Ok, UnknownFormat, BadParameters };

struct LCodecEntry {
    uint16_t wFormatTag;
    const char* szName; // shown by the format chooser, e.g. "IMA ADPCM"
    // Decoder for a format read from a file; null with *pStatus set when the
    // format's fields are unusable (channels, block align, extra bytes).
    std::unique_ptr<LAudioDecoder> (*pCreateDecoder)(const LWaveFormat& format, LCodecStatus* pStatus);
    // Encoder from 16-bit PCM at this rate and channel count; null when the
    // codec cannot take them (GSM is mono only, for one).
    std::unique_ptr<LAudioEncoder> (*pCreateEncoder)(uint32_t rate, uint16_t channels, LCodecStatus* pStatus);
};
