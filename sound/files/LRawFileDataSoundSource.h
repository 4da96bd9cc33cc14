// Reader of headerless sample data in a file: raw files, cut files and the
// data chunk of PCM WAV files. Used by one thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LRawCoding.h"

#include <vector>

class LRawFileDataSoundSourceBase : public LSoundSourceBase {
public:
    // The length follows the file's size (a file still being written).
    static constexpr int64_t kLengthUnspecified = -1;

    // The data starts where the file stands now; a stated length is capped at
    // the frames the file holds. An unopened file sets error 4.
    LRawFileDataSoundSourceBase(LFile&& file, int32_t nSampleRate, uint8_t nChannels, int32_t nMaxAmplitude,
        uint32_t nBytesPerSample, int64_t nLengthFrames);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    int64_t GetLength() override;
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

protected:
    virtual void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples) = 0;

private:
    static constexpr size_t kBufferFrames = 8192;

    LFile m_file;
    uint64_t m_nDataStart = 0;
    uint32_t m_nFrameBytes;
    int64_t m_nPosition = 0;
    int64_t m_nLength;
    std::vector<uint8_t> m_buffer;
};

template <class Coding> class LRawFileDataSoundSource final : public LRawFileDataSoundSourceBase {
public:
    LRawFileDataSoundSource(LFile&& file, int32_t nSampleRate, uint8_t nChannels,
        int64_t nLengthFrames = kLengthUnspecified, int32_t nMaxAmplitude = kMaxAmplitudePCM)
        : LRawFileDataSoundSourceBase(
            std::move(file), nSampleRate, nChannels, nMaxAmplitude, Coding::kBytes, nLengthFrames)
    {
    }

protected:
    void Decode(const uint8_t* pIn, int32_t* pOut, size_t nSamples) override { Coding::Decode(pIn, pOut, nSamples); }
};
