#include "sound/files/LGSMSinkBase.h"

#include "sound/codecs/LSampleConvert.h"

#include <algorithm>

LGSMSinkBase::LGSMSinkBase(const std::string& path, int32_t nSampleRate, size_t nBlockBytes, size_t nBlockSamples)
    : LSoundSinkBase(nSampleRate, 1)
    , m_nBlockBytes(nBlockBytes)
    , m_nBlockSamples(nBlockSamples)
{
    if (nSampleRate < 1 || !m_file.Open(path, LFile::kReadWrite, LFile::kShareRead, LFile::kCreateAlways)) {
        SetUnusable(m_file.LastErrno());
        return;
    }
    m_pending.resize(m_nBlockSamples);
    m_output.resize(kBlocksPerWrite * m_nBlockBytes);
}

LGSMSinkBase::~LGSMSinkBase()
{
    m_file.Close();
}

bool LGSMSinkBase::WriteHeader(LFile&, uint64_t, bool)
{
    return true;
}

void LGSMSinkBase::Start()
{
    if (m_file.IsOpen() && !WriteHeader(m_file, 0, false))
        Fail();
}

void LGSMSinkBase::Finish()
{
    if (!m_file.IsOpen())
        return;
    if (m_nPending > 0) {
        std::fill(m_pending.begin() + static_cast<ptrdiff_t>(m_nPending), m_pending.end(), 0);
        EncodeBlock(m_pending.data(), m_output.data() + m_nOutputBytes);
        m_nOutputBytes += m_nBlockBytes;
        m_nPending = 0;
    }
    Flush();
    if (m_file.IsOpen() && m_file.Seek(0))
        (void)WriteHeader(m_file, m_nDataBytes, true);
    m_file.Close();
}

void LGSMSinkBase::Fail()
{
    SetUnusable(m_file.LastErrno());
    m_file.Close();
}

void LGSMSinkBase::Flush()
{
    if (m_nOutputBytes == 0 || !m_file.IsOpen())
        return;
    if (!m_file.Write(m_output.data(), m_nOutputBytes))
        return Fail(); // a full disk: keep counting, stop touching the file
    m_nDataBytes += m_nOutputBytes;
    m_nOutputBytes = 0;
}

void LGSMSinkBase::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    if (!m_file.IsOpen())
        return;
    size_t nLeft = static_cast<size_t>(nFrames);
    while (nLeft > 0) {
        if (m_nPending == 0 && nLeft >= m_nBlockSamples) {
            // Whole blocks straight from the caller's buffer.
            InternalToS16(pBuffer, m_pending.data(), m_nBlockSamples);
            pBuffer += m_nBlockSamples;
            nLeft -= m_nBlockSamples;
        } else {
            const size_t nTake = std::min(nLeft, m_nBlockSamples - m_nPending);
            InternalToS16(pBuffer, m_pending.data() + m_nPending, nTake);
            pBuffer += nTake;
            nLeft -= nTake;
            m_nPending += nTake;
            if (m_nPending < m_nBlockSamples)
                break;
            m_nPending = 0;
        }
        EncodeBlock(m_pending.data(), m_output.data() + m_nOutputBytes);
        m_nOutputBytes += m_nBlockBytes;
        if (m_nOutputBytes == m_output.size()) {
            Flush();
            if (!m_file.IsOpen())
                return;
        }
    }
}
