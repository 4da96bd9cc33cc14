// Reader of a compressed WAV data chunk (any format of the codec table, and
// PCM wider than 16 bits) through the table's block decoder, into 16-bit
// PCM and on into the internal form. Used by one thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LWaveFormat.h"

#include <memory>
#include <vector>

class LSRCACMWave : public LSoundSourceBase {
public:
    // The data starts where the file stands and holds nDataBytes (bounded by
    // the file here). No codec for the format, or one that cannot size its
    // blocks, sets error 5.
    LSRCACMWave(LFile&& file, const LWaveFormat& format, uint64_t nDataBytes);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override { return m_nLength; }
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

private:
    // Decodes the run of blocks that holds nFrame into the buffer; false
    // when nothing could be decoded there (the end is then known).
    bool Fill(int64_t nFrame);
    // Decodes block nBlock into pOut; its frame count, 0 on failure.
    size_t DecodeBlockAt(uint64_t nBlock, int16_t* pOut);

    LFile m_file;
    std::unique_ptr<LAudioDecoder> m_decoder;
    uint64_t m_nDataStart = 0;
    uint64_t m_nDataBytes = 0;
    size_t m_nBlockBytes = 0;
    size_t m_nFramesPerBlock = 0;
    uint64_t m_nBlocks = 0;
    size_t m_nBlocksPerFill = 1;
    uint64_t m_nNextBlock = UINT64_MAX; // the block the decoder's state leads to
    int64_t m_nPosition = 0;
    int64_t m_nLength = 0;

    std::vector<uint8_t> m_input;
    std::vector<int16_t> m_decoded;
    int64_t m_nDecodedStart = 0; // frame of m_decoded[0]
    size_t m_nDecodedFrames = 0;
};
