#include "sound/files/LMP3Source.h"

LMP3Source::LMP3Source(const std::string& path)
    : LSoundSourceBase(44100, 2, LMP3Decoder::kMaxAmplitude)
    , m_reader(&m_file)
    , m_stream(&m_reader)
{
    if (!m_file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting)) {
        SetError(kSoundErrOpen);
        return;
    }
    if (!m_stream.Open()) {
        SetError(kSoundErrFormat);
        return;
    }
    // The format is settled here, before any consumer sees the source.
    m_nNumChannels = static_cast<uint8_t>(m_stream.Channels());
    m_nSampleRate = m_stream.SampleRate();
    if (m_nSampleRate < 1) {
        m_nSampleRate = 44100;
        SetError(kSoundErrFormat);
    }
}

LSoundSourceRef LMP3Source::Create(const std::string& path)
{
    return LSoundSourceRef(new LMP3Source(path));
}

void LMP3Source::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames > 0)
        m_stream.Read(pBuffer, nFrames);
}
