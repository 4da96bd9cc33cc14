// Writer of GSM 06.10 WAV files (format tag 49, 65-byte blocks of 320
// samples, mono) with the 48-byte header; both lengths hold the streaming
// marker until the writer finishes. Built by LWaveFile::OpenSink; used by one
// thread at a time.
#pragma once

#include "sound/codecs/LWaveFormat.h"
#include "sound/files/LGSMSinkBase.h"

class LGSMWaveSink : public LGSMSinkBase {
public:
    // Mono only: another channel count sets the error bit and creates no file.
    LGSMWaveSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels = 1);
    ~LGSMWaveSink() override;

    // The format structure in the file's header.
    static LWaveFormat Format(int32_t nSampleRate);

protected:
    void EncodeBlock(const int16_t* pSamples, uint8_t* pBlock) override { m_gsm.EncodeWavBlock(pSamples, pBlock); }
    bool WriteHeader(LFile& file, uint64_t nDataBytes, bool bFinal) override;
};
