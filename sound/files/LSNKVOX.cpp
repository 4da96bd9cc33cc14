#include "sound/files/LSNKVOX.h"

LSNKVOX::LSNKVOX(const std::string& path, int32_t nSampleRate)
    : LSoundSinkBase(nSampleRate, 1)
{
    if (nSampleRate < 1 || !m_file.Open(path, LFile::kReadWrite, LFile::kShareRead, LFile::kCreateAlways)) {
        SetUnusable(m_file.LastErrno());
        return;
    }
    m_output.resize(kBufferBytes);
}

LSNKVOX::~LSNKVOX()
{
    if (!m_file.IsOpen())
        return;
    if (m_bHalf) {
        m_output[m_nOutputBytes++] |= m_adpcm.EncodeSample(0);
        m_bHalf = false;
    }
    Flush();
    m_file.Close();
}

void LSNKVOX::Flush()
{
    if (m_nOutputBytes > 0 && m_file.IsOpen() && !m_file.Write(m_output.data(), m_nOutputBytes)) {
        // A full disk: keep counting, stop touching the file.
        SetUnusable(m_file.LastErrno());
        m_file.Close();
    }
    m_nOutputBytes = 0;
}

void LSNKVOX::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    if (!m_file.IsOpen())
        return;
    for (int32_t n = 0; n < nFrames; ++n) {
        const uint8_t uNibble = m_adpcm.EncodeSample(pBuffer[n]);
        if (!m_bHalf) {
            m_output[m_nOutputBytes] = static_cast<uint8_t>(uNibble << 4);
            m_bHalf = true;
            continue;
        }
        m_output[m_nOutputBytes++] |= uNibble;
        m_bHalf = false;
        if (m_nOutputBytes == m_output.size()) {
            Flush();
            if (!m_file.IsOpen())
                return;
        }
    }
}
