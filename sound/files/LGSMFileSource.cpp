#include "sound/files/LGSMFileSource.h"

LFile LGSMFileSource::OpenFile(const std::string& path)
{
    LFile file;
    (void)file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting);
    return file;
}

LGSMFileSource::LGSMFileSource(const std::string& path)
    : LGSMSourceBase(OpenFile(path), kSampleRate, kToEndOfFile, LGSMFrame::kFrameBytes, LGSMFrame::kSamples)
{
}

size_t LGSMFileSource::DecodeBlock(const uint8_t* pBlock, size_t nBytes, int16_t* pSamples)
{
    if (nBytes < LGSMFrame::kFrameBytes)
        return 0;
    (void)m_gsm.DecodeFrame(pBlock, pSamples);
    return LGSMFrame::kSamples;
}

int64_t LGSMFileSource::SamplesIn(uint64_t nBytes) const
{
    return static_cast<int64_t>(nBytes / LGSMFrame::kFrameBytes * LGSMFrame::kSamples);
}
