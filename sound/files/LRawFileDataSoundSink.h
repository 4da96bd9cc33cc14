// Writer of sample data into a file, with an optional header in front: raw
// files and cut files (no header) and PCM WAV files. The header is written
// at creation and again, final, at destruction, so the file is complete when
// the last reference goes. Used by one thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSinkBase.h"
#include "sound/files/LRawCoding.h"

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

class LRawFileDataSoundSinkBase : public LSoundSinkBase {
public:
    // Writes the header at the file's start (the file stands at offset 0) and
    // returns its size, 0 when it could not be written. nDataBytes is the
    // data written so far; bFinal is set for the last call.
    using HeaderWriter = std::function<uint32_t(LFile& file, uint64_t nDataBytes, bool bFinal)>;

    // nStartFrames -1: the file is created afresh; kNewFileOnly: created only
    // when the name is free (never through a link), readable by the owner
    // alone. Otherwise an existing file is kept up to that many frames of
    // data (bounded by its size) and writing continues after them.
    static constexpr int64_t kNewFileOnly = -2;
    LRawFileDataSoundSinkBase(const std::string& path, int32_t nSampleRate, uint8_t nChannels, uint32_t nBytesPerSample,
        HeaderWriter headerWriter = {}, int64_t nStartFrames = -1);
    ~LRawFileDataSoundSinkBase() override;

    void Write(const int32_t* pBuffer, int32_t nFrames) override;
    void Seek(int64_t nFrame) override;
    bool WritePcm16Bytes(const uint8_t* p, size_t nBytes) override;
    int64_t MovePcm16FromPipe(int nPipeFd, size_t nMaxBytes) override;
    int64_t AppendPcm16With(const std::function<void(int nFd)>& writer) override;

protected:
    virtual void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples) = 0;

private:
    static constexpr size_t kBufferFrames = 8192;

    void CountBytes(size_t nBytes);
    void DropUnfinishedFrame();
    bool Failed();

    LFile m_file;
    uint32_t m_nFrameBytes;
    HeaderWriter m_headerWriter;
    uint32_t m_nHeaderBytes = 0;
    std::vector<uint8_t> m_buffer;
    uint32_t m_nUnfinishedBytes = 0; // of a frame not whole yet, after Position()
};

template <class Coding> class LRawFileDataSoundSink final : public LRawFileDataSoundSinkBase {
public:
    LRawFileDataSoundSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels,
        HeaderWriter headerWriter = {}, int64_t nStartFrames = -1)
        : LRawFileDataSoundSinkBase(path, nSampleRate, nChannels, Coding::kBytes, std::move(headerWriter), nStartFrames)
    {
    }
    ~LRawFileDataSoundSink() override = default;
    bool TakesPcm16Bytes() const override { return std::is_same_v<Coding, LCodingPCM16LE> && IsUsable(); }

protected:
    void Encode(const int32_t* pIn, uint8_t* pOut, size_t nSamples) override { Coding::Encode(pIn, pOut, nSamples); }
};
