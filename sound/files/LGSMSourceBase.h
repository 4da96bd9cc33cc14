// The common reader of GSM 06.10 data in a file: decodes runs of frames (raw
// ".gsm") or blocks (WAV format 49) into a buffer and serves Read from it.
// The decoder carries state from frame to frame while reading goes on; a Seek
// starts it afresh at the frame or block that holds the target, so reading
// after a seek does not depend on what was read before. Used by one thread at
// a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LGSMFrame.h"

#include <vector>

class LGSMSourceBase : public LSoundSourceBase {
public:
    // The GSM decoder's output, as both GSM readers report it.
    static constexpr int32_t kMaxAmplitude = 0xFFFE0;
    static constexpr uint64_t kToEndOfFile = UINT64_MAX;

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override;
    void Seek(int64_t nFrame) override;

protected:
    // The data starts where the file stands and holds nDataBytes (bounded by
    // the file; kToEndOfFile follows the file as it grows). An unopened file
    // sets error 4.
    LGSMSourceBase(LFile&& file, int32_t nSampleRate, uint64_t nDataBytes, size_t nBlockBytes, size_t nBlockSamples);

    // Decodes one block of nBytes (a whole block, or the short last one) into
    // pSamples; the samples it yields.
    virtual size_t DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pSamples) = 0;
    // Samples in nBytes of data, a short last block included.
    virtual int64_t SamplesIn(uint64_t nBytes) const = 0;

    LGSMFrame m_gsm;

private:
    static constexpr size_t kBlocksPerFill = 64;

    uint64_t DataBytes() const;
    // Decodes the run of blocks from the one holding nSample; false when none.
    bool Fill(int64_t nSample);

    LFile m_file;
    uint64_t m_nDataStart = 0;
    uint64_t m_nDataBytes;
    size_t m_nBlockBytes;
    size_t m_nBlockSamples;
    uint64_t m_nNextBlock = 0; // the block the decoder's state leads to
    int64_t m_nPosition = 0;
    std::vector<uint8_t> m_input;
    std::vector<int16_t> m_decoded;
    int64_t m_nDecodedStart = 0; // sample of m_decoded[0]
    size_t m_nDecodedSamples = 0;
};
