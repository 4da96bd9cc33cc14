#include "sound/files/LSNKACMFile.h"

#include "sound/codecs/LCodecTable.h"
#include "sound/codecs/LSampleConvert.h"
#include "sound/files/LWaveHeader.h"

#include <algorithm>

namespace {

constexpr size_t kOutputBlocksFrames = 8192;

} // namespace

LSNKACMFile::LSNKACMFile(const std::string& path, const LWaveFormat& format)
    : LSoundSinkBase(static_cast<int32_t>(format.nSamplesPerSec), static_cast<uint8_t>(format.nChannels))
    , m_format(format)
{
    if (!IsUsable() || format.nChannels > 255) {
        SetUnusable();
        return;
    }
    const LCodecEntry* pEntry = LCodecTable::Find(format.wFormatTag);
    LCodecStatus status = LCodecStatus::UnknownFormat;
    if (pEntry && pEntry->pCreateEncoder)
        m_encoder = pEntry->pCreateEncoder(format.nSamplesPerSec, format.nChannels, &status);
    if (!m_encoder || m_encoder->BlockBytes() == 0 || m_encoder->FramesPerBlock() == 0) {
        m_encoder.reset();
        SetUnusable();
        return;
    }
    m_format = m_encoder->Format();
    m_nBlockBytes = m_encoder->BlockBytes();
    m_nFramesPerBlock = m_encoder->FramesPerBlock();
    m_pending.resize(m_nFramesPerBlock * NumChannels());
    m_output.resize(std::max<size_t>(1, kOutputBlocksFrames / m_nFramesPerBlock) * m_nBlockBytes);
    if (!m_file.Open(path, LFile::kReadWrite, LFile::kShareRead, LFile::kCreateAlways)) {
        Fail();
        return;
    }
    const std::vector<uint8_t> header = MakeWaveHeader(m_format, 0, false);
    if (!m_file.Write(header.data(), header.size())) {
        Fail();
        return;
    }
}

LSNKACMFile::~LSNKACMFile()
{
    if (!m_file.IsOpen())
        return;
    if (m_nPendingFrames > 0) {
        // Block codecs pad the last block with silence; sample codecs write
        // just the frames there are.
        m_nOutputBytes += std::min(m_nBlockBytes,
            m_encoder->EncodeBlock(m_pending.data(), m_nPendingFrames, m_output.data() + m_nOutputBytes));
        m_nPendingFrames = 0;
    }
    Flush();
    if (!m_file.IsOpen())
        return;
    const std::vector<uint8_t> header = MakeWaveHeader(m_format, m_nDataBytes, true);
    if (m_file.Seek(0))
        m_file.Write(header.data(), header.size());
    m_file.Close();
}

void LSNKACMFile::Fail()
{
    SetUnusable(m_file.LastErrno());
    m_file.Close();
}

void LSNKACMFile::Flush()
{
    if (m_nOutputBytes == 0 || !m_file.IsOpen())
        return;
    if (!m_file.Write(m_output.data(), m_nOutputBytes))
        return Fail();
    m_nDataBytes += m_nOutputBytes;
    m_nOutputBytes = 0;
}

void LSNKACMFile::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    if (!m_file.IsOpen())
        return;
    const size_t nChannels = NumChannels();
    size_t nLeft = static_cast<size_t>(nFrames);
    while (nLeft > 0) {
        const size_t nTake = std::min(nLeft, m_nFramesPerBlock - m_nPendingFrames);
        InternalToS16(pBuffer, m_pending.data() + m_nPendingFrames * nChannels, nTake * nChannels);
        pBuffer += nTake * nChannels;
        nLeft -= nTake;
        m_nPendingFrames += nTake;
        if (m_nPendingFrames < m_nFramesPerBlock)
            break;
        const size_t nBytes
            = m_encoder->EncodeBlock(m_pending.data(), m_nPendingFrames, m_output.data() + m_nOutputBytes);
        m_nPendingFrames = 0;
        if (nBytes == 0)
            return Fail();
        m_nOutputBytes += std::min(nBytes, m_nBlockBytes);
        if (m_nOutputBytes + m_nBlockBytes > m_output.size()) {
            Flush();
            if (!m_file.IsOpen())
                return;
        }
    }
}
