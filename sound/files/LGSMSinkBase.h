// The common writer of GSM 06.10 data into a file: gathers samples into whole
// frames (raw ".gsm") or blocks (WAV format 49), encodes and appends them. A
// pending partial frame or block is completed with silence when the writer
// finishes. Used by one thread at a time; the file is complete when the last
// reference goes.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSinkBase.h"
#include "sound/codecs/LGSMFrame.h"

#include <string>
#include <vector>

class LGSMSinkBase : public LSoundSinkBase {
public:
    ~LGSMSinkBase() override;

    void Write(const int32_t* pBuffer, int32_t nFrames) override;

protected:
    // Creates the file afresh (mono); a rate below 1 or a file that cannot be
    // created sets the error bit.
    LGSMSinkBase(const std::string& path, int32_t nSampleRate, size_t nBlockBytes, size_t nBlockSamples);

    // Encodes one whole block of samples.
    virtual void EncodeBlock(const int16_t* pSamples, uint8_t* pBlock) = 0;
    // Writes the header at the file's start (the file stands there); bFinal
    // is set for the last call, with the data written. None by default.
    virtual bool WriteHeader(LFile& file, uint64_t nDataBytes, bool bFinal);

    // Called by the derived constructor, once the header can be written.
    void Start();
    // Called by the derived destructor: the last block, then the final header.
    void Finish();

    LGSMFrame m_gsm;

private:
    static constexpr size_t kBlocksPerWrite = 64;

    void Flush();
    void Fail();

    LFile m_file;
    size_t m_nBlockBytes;
    size_t m_nBlockSamples;
    std::vector<int16_t> m_pending;
    size_t m_nPending = 0;
    std::vector<uint8_t> m_output;
    size_t m_nOutputBytes = 0;
    uint64_t m_nDataBytes = 0;
};
