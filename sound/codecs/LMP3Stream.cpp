#include "sound/codecs/LMP3Stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr size_t kBufferBytes = 64 * 1024;
// Tags of a possible ID3v1 block at the end, left out of the length estimate.
constexpr uint64_t kTagBytes = 128;

// ID3v2: "ID3", version, revision, flags, a 28-bit syncsafe size of what
// follows the 10-byte header, and 10 more bytes when the footer flag is set.
constexpr size_t kId3HeaderBytes = 10;
constexpr uint8_t kId3FooterFlag = 0x10;
// Consecutive leading tags skipped (some taggers prepend a second one).
constexpr int kMaxId3Tags = 4;

uint32_t GetBE32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

} // namespace

LMP3Stream::LMP3Stream(LMP3ByteReader* pReader, const mp3::DspKernels* pDsp)
    : m_pReader(pReader)
    , m_pDecoder(std::make_unique<LMP3Decoder>(pDsp))
    , m_pcm(static_cast<size_t>(LMP3Decoder::kMaxFrameSamples) * 2, 0)
{
}

const uint8_t* LMP3Stream::Window(uint64_t nOffset, size_t nBytes)
{
    if (nOffset >= m_nBufferStart && nOffset + nBytes <= m_nBufferStart + m_nBufferLength)
        return m_buffer.data() + (nOffset - m_nBufferStart);
    if (nOffset >= m_nSize || nBytes > m_nSize - nOffset)
        return nullptr;
    m_nBufferStart = nOffset;
    m_nBufferLength = 0;
    if (!m_pReader->Seek(nOffset)) {
        m_bReadError = true;
        return nullptr;
    }
    size_t nWant = static_cast<size_t>(std::min<uint64_t>(kBufferBytes, m_nSize - nOffset));
    m_nBufferLength = m_pReader->Read(m_buffer.data(), nWant);
    if (m_nBufferLength < nWant)
        m_bReadError = true;
    return nBytes <= m_nBufferLength ? m_buffer.data() : nullptr;
}

bool LMP3Stream::FindHeader(uint64_t nFrom, uint64_t nLimit, MP3Header* pHeader, uint64_t* pAt)
{
    for (uint64_t nPos = nFrom; nPos < nLimit; ++nPos) {
        const uint8_t* p = Window(nPos, MP3Header::kBytes);
        if (!p)
            return false;
        if (p[0] == 0xFF && pHeader->Parse(p)) {
            *pAt = nPos;
            return true;
        }
    }
    return false;
}

uint64_t LMP3Stream::SkipId3v2Tags()
{
    uint64_t nPos = 0;
    for (int i = 0; i < kMaxId3Tags; ++i) {
        const uint8_t* p = Window(nPos, kId3HeaderBytes);
        if (!p || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF)
            break;
        if ((p[6] | p[7] | p[8] | p[9]) & 0x80)
            break; // not syncsafe: not a tag
        uint64_t nTag = kId3HeaderBytes + ((uint64_t { p[6] } << 21) | (uint64_t { p[7] } << 14) | (p[8] << 7) | p[9]);
        if (p[5] & kId3FooterFlag)
            nTag += kId3HeaderBytes;
        if (nTag > m_nSize - nPos)
            break; // a size beyond the end is not trusted
        nPos += nTag;
    }
    return nPos;
}

bool LMP3Stream::FindFirstHeader()
{
    // A tag (often with a picture larger than the header search) is skipped
    // by its size; when no header follows it, the plain search from the start
    // is the fallback, so a wrong size costs nothing.
    const uint64_t nAfterTags = SkipId3v2Tags();
    if (nAfterTags > 0 && FindFirstHeaderFrom(nAfterTags))
        return true;
    return FindFirstHeaderFrom(0);
}

bool LMP3Stream::FindFirstHeaderFrom(uint64_t nFrom)
{
    // A lone sync pattern in leading data (a tag, a picture) is not taken as
    // the stream's format: the header at the end of its frame must agree, or
    // the data must end there.
    const uint64_t nLimit = nFrom + kMaxHeaderSearch + 1;
    uint64_t nPos = nFrom;
    MP3Header h;
    uint64_t nAt = 0;
    while (FindHeader(nPos, nLimit, &h, &nAt)) {
        const uint8_t* pNext = Window(nAt + h.FrameBytes(), MP3Header::kBytes);
        MP3Header next;
        if (!pNext || (next.Parse(pNext) && next.Matches(h))) {
            m_first = h;
            m_nFirstAt = nAt;
            return true;
        }
        nPos = nAt + 1;
    }
    return false;
}

bool LMP3Stream::NextFrame(uint64_t nFrom, MP3Header* pHeader, uint64_t* pAt)
{
    uint64_t nPos = nFrom;
    for (unsigned nForeign = 0;;) {
        uint64_t nAt = 0;
        if (!FindHeader(nPos, nPos + kMaxHeaderSearch + 1, pHeader, &nAt))
            return false;
        if (pHeader->Matches(m_first)) {
            if (pHeader->FrameBytes() > m_nSize - nAt)
                return false; // the last frame is cut off
            *pAt = nAt;
            return true;
        }
        if (++nForeign > kMaxForeignHeaders)
            return false;
        // The foreign frame is skipped whole: a sync pattern inside its data
        // must not pass for a frame of this stream.
        nPos = nAt + pHeader->FrameBytes();
    }
}

void LMP3Stream::ReadVbrFrame()
{
    m_nAudioStart = m_nFirstAt;
    const size_t nSide = m_first.SideInfoBytes();
    const size_t nFrameBytes = m_first.FrameBytes();
    const uint8_t* p = Window(m_nFirstAt, nFrameBytes);
    if (!p)
        return;
    // The tag follows the side information; with a CRC, encoders also put it
    // where it would stand without the CRC (the side information then overlaps it).
    const uint8_t* pTag = nullptr;
    for (size_t nCrc : { m_first.CrcBytes(), size_t { 0 } }) {
        const size_t nTagAt = MP3Header::kBytes + nCrc + nSide;
        const uint8_t* pSide = p + MP3Header::kBytes + m_first.CrcBytes();
        if (nTagAt + 24 > nFrameBytes || pSide > p + nTagAt)
            continue;
        if (std::all_of(pSide, p + nTagAt, [](uint8_t b) { return b == 0; })) {
            pTag = p + nTagAt;
            break;
        }
    }
    if (!pTag)
        return;
    uint32_t nFrames = 0;
    if (std::memcmp(pTag, "Xing", 4) == 0 || std::memcmp(pTag, "Info", 4) == 0) {
        // Without the frame-count flag the frame is an ordinary one.
        if ((GetBE32(pTag + 4) & 1) == 0)
            return;
        nFrames = GetBE32(pTag + 8);
    } else if (std::memcmp(pTag, "VBRI", 4) == 0) {
        // Version, delay, quality and byte count come before the frame count.
        nFrames = GetBE32(pTag + 4 + 10);
    } else {
        return;
    }
    // A count of 0 gives no length (and would divide by zero): no VBR header then.
    if (nFrames == 0)
        return;
    m_nVbrFrames = nFrames;
    m_nAudioStart = m_nFirstAt + nFrameBytes;
}

void LMP3Stream::Scan()
{
    // Headers only: each frame's offset, so that the length is exact and a
    // seek lands on the frame it asks for.
    m_offsets.clear();
    m_bReadError = false;
    uint64_t nPos = m_nAudioStart;
    MP3Header h;
    uint64_t nAt = 0;
    while (NextFrame(nPos, &h, &nAt)) {
        try {
            m_offsets.push_back(nAt);
        } catch (const std::bad_alloc&) {
            m_offsets.clear();
            m_offsets.shrink_to_fit();
            return;
        }
        nPos = nAt + h.FrameBytes();
    }
    m_bIndexed = !m_bReadError;
    if (!m_bIndexed) {
        m_offsets.clear();
        m_offsets.shrink_to_fit();
    }
}

void LMP3Stream::Estimate()
{
    const uint64_t nDataSize = m_nSize > kTagBytes ? m_nSize - kTagBytes : 0;
    const int64_t nSpf = SamplesPerFrame();
    if (m_nVbrFrames) {
        m_fAverageFrameBytes = static_cast<double>(nDataSize) / m_nVbrFrames;
        m_nLength = static_cast<int64_t>(m_nVbrFrames) * nSpf;
        return;
    }
    // The average bitrate of the first 8 frames.
    int64_t nSum = 0;
    unsigned nCount = 0;
    uint64_t nPos = m_nAudioStart;
    MP3Header h;
    uint64_t nAt = 0;
    while (nCount < 8 && NextFrame(nPos, &h, &nAt)) {
        nSum += h.nBitrate;
        ++nCount;
        nPos = nAt + h.FrameBytes();
    }
    if (nCount == 0) {
        nSum = m_first.nBitrate;
        nCount = 1;
    }
    double fBitrate = static_cast<double>(nSum) / nCount;
    m_fAverageFrameBytes = (m_first.nVersion == 0 ? 144.0 : 72.0) * fBitrate / SampleRate();
    if (m_bIndexed) {
        m_nLength = static_cast<int64_t>(m_offsets.size()) * nSpf;
        return;
    }
    m_nLength = static_cast<int64_t>(std::trunc(static_cast<double>(nDataSize) / m_fAverageFrameBytes + 0.9)) * nSpf;
}

bool LMP3Stream::Open()
{
    m_bOpen = false;
    m_nLength = 0;
    m_nPosition = 0;
    m_nSize = m_pReader->Size();
    try {
        m_buffer.assign(kBufferBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_nBufferStart = 0;
    m_nBufferLength = 0;
    if (!FindFirstHeader())
        return false;
    ReadVbrFrame();
    Scan();
    Estimate();
    m_bOpen = true;
    m_bEnded = false;
    m_pDecoder->Reset();
    m_nNextFrame = 0;
    m_nNextPos = m_nAudioStart;
    m_nPcmFrame = -1;
    return true;
}

bool LMP3Stream::DecodeNext()
{
    MP3Header h;
    uint64_t nAt = 0;
    if (m_bIndexed) {
        if (m_nNextFrame < 0 || static_cast<uint64_t>(m_nNextFrame) >= m_offsets.size())
            return false;
        nAt = m_offsets[static_cast<size_t>(m_nNextFrame)];
        const uint8_t* p = Window(nAt, MP3Header::kBytes);
        if (!p || !h.Parse(p))
            return false;
    } else if (!NextFrame(m_nNextPos, &h, &nAt)) {
        return false;
    }
    const size_t nFrameBytes = h.FrameBytes();
    const uint8_t* pFrame = Window(nAt, nFrameBytes);
    if (!pFrame)
        return false;
    const size_t nSkip = MP3Header::kBytes + h.CrcBytes();
    if (m_pDecoder->DecodeFrame(h, pFrame + nSkip, nFrameBytes - nSkip, m_pcm.data()) == LMP3Decoder::Result::TooShort)
        return false;
    m_nPcmFrame = m_nNextFrame++;
    m_nNextPos = nAt + nFrameBytes;
    return true;
}

bool LMP3Stream::Reposition(int64_t nFrame)
{
    m_pDecoder->Reset();
    m_nPcmFrame = -1;
    const int64_t nStart = std::max<int64_t>(nFrame - kSeekRefillFrames, 0);
    m_nNextFrame = nStart;
    if (!m_bIndexed) {
        // Without an index the frame is found by the average frame size.
        m_nNextPos = m_nAudioStart
            + (nStart > 0 ? static_cast<uint64_t>(std::llround(static_cast<double>(nStart) * m_fAverageFrameBytes))
                          : 0);
    }
    for (int64_t i = nStart; i <= nFrame; ++i)
        if (!DecodeNext())
            return false;
    return true;
}

void LMP3Stream::Seek(int64_t nFrame)
{
    m_nPosition = nFrame;
    if (!m_bOpen)
        return;
    m_bEnded = false;
    const int64_t nTarget = std::clamp<int64_t>(nFrame, 0, m_nLength);
    const int64_t nSpf = SamplesPerFrame();
    if (nTarget >= m_nLength) {
        m_nPcmFrame = -1;
        return;
    }
    if (!Reposition(nTarget / nSpf)) {
        m_bEnded = true;
        m_nLength = std::min(m_nLength, nTarget);
    }
}

void LMP3Stream::Read(int32_t* pBuffer, int64_t nFrames)
{
    if (nFrames <= 0)
        return;
    const size_t nCh = Channels();
    const int64_t nSpf = SamplesPerFrame();
    int32_t* pOut = pBuffer;
    int64_t nLeft = nFrames;
    while (nLeft > 0) {
        int64_t nPos = m_nPosition;
        int64_t nRun;
        if (nPos < 0) {
            nRun = std::min(nLeft, -nPos);
            std::fill_n(pOut, static_cast<size_t>(nRun) * nCh, 0);
        } else if (!m_bOpen || m_bEnded || nPos >= m_nLength) {
            nRun = nLeft;
            std::fill_n(pOut, static_cast<size_t>(nRun) * nCh, 0);
        } else {
            const int64_t nFrame = nPos / nSpf;
            bool bOk = true;
            if (m_nPcmFrame != nFrame)
                bOk = (m_nPcmFrame >= 0 && m_nNextFrame == nFrame) ? DecodeNext() : Reposition(nFrame);
            if (!bOk) {
                // "DecodeFrame failed so end": the length becomes what was read.
                m_bEnded = true;
                m_nLength = std::min(m_nLength, nPos);
                continue;
            }
            const int64_t nOffset = nPos - nFrame * nSpf;
            nRun = std::min({ nLeft, nSpf - nOffset, m_nLength - nPos });
            std::memcpy(pOut, m_pcm.data() + static_cast<size_t>(nOffset) * nCh,
                static_cast<size_t>(nRun) * nCh * sizeof(int32_t));
        }
        pOut += static_cast<size_t>(nRun) * nCh;
        m_nPosition += nRun;
        nLeft -= nRun;
    }
}
