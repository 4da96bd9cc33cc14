// A sound source that decodes an MPEG audio Layer III file (MPEG-1, MPEG-2,
// MPEG-2.5), so that MP3 files can be imported as dictations. Its samples may
// exceed 16-bit full scale (MaxAmplitude 0x200000), so players limit it. Used
// by one thread at a time.
#pragma once

#include "foundation/LFile.h"
#include "sound/LSoundSourceBase.h"
#include "sound/codecs/LMP3Stream.h"
#include "sound/files/LMP3FileReader.h"

#include <string>

class LMP3Source final : public LSoundSourceBase {
public:
    // Opens the file and reads its first header. ErrorCode 4 when the file
    // cannot be opened, 3 when no acceptable header is found; either way the
    // source reads as silence of length 0.
    explicit LMP3Source(const std::string& path);
    static LSoundSourceRef Create(const std::string& path);

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_stream.GetPosition(); }
    int64_t GetLength() override { return m_stream.GetLength(); }
    void Seek(int64_t nFrame) override { m_stream.Seek(nFrame); }

    const LMP3Stream& Stream() const { return m_stream; }

private:
    LFile m_file;
    LMP3FileReader m_reader;
    LMP3Stream m_stream;
};
