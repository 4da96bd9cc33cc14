// Feeds an MP3 stream from an open file. Owned by the MP3 source and used
// by whichever thread holds that source.
#pragma once

#include "foundation/LFile.h"
#include "sound/codecs/LMP3ByteReader.h"

class LMP3FileReader final : public LMP3ByteReader {
public:
    explicit LMP3FileReader(LFile* pFile)
        : m_pFile(pFile)
    {
    }
    size_t Read(void* pBuf, size_t nBytes) override { return m_pFile->IsOpen() ? m_pFile->Read(pBuf, nBytes) : 0; }
    bool Seek(uint64_t nOffset) override { return m_pFile->IsOpen() && m_pFile->Seek(nOffset); }
    uint64_t Size() override { return m_pFile->IsOpen() ? m_pFile->GetFileSizeBytes() : 0; }

private:
    LFile* m_pFile;
};
