#include "sound/convert/LSinkConvertRateBase.h"

#include <algorithm>
#include <cstring>

namespace {

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b) != 0 && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// The filter's overshoot would wrap in a 16-bit file.
constexpr int32_t kFullScale = 0x7FFF0;
constexpr int32_t kOutFrames = 1024;

} // namespace

LSinkConvertRateBase::LSinkConvertRateBase(const LSoundSinkRef& sink, int32_t nInputRate)
    : LSoundSinkBase(nInputRate, sink ? sink->NumChannels() : 1)
    , m_sink(sink)
    , m_filter(nInputRate, sink ? sink->SampleRate() : nInputRate, false, kTaps)
{
    if (!m_sink || !m_sink->IsUsable())
        SetUnusable();
    const size_t nChannels = NumChannels();
    m_nBufferCapacity = kTaps + kBlockFrames;
    // Room for the silence read past the input by the last outputs.
    m_buffer.assign((m_nBufferCapacity + kTaps + m_filter.RowStride()) * nChannels, 0);
    m_out.assign(static_cast<size_t>(kOutFrames) * nChannels, 0);
}

LSinkConvertRateBase::~LSinkConvertRateBase()
{
    // The input's last partial block belongs in the sink too.
    if (m_sink) {
        PadSilence();
        Produce(m_filter.ToOutputFrames(m_nPosition), INT64_MAX);
    }
}

LSoundSinkRef LSinkConvertRateBase::Open(const LSoundSinkRef& sink, int32_t nInputRate)
{
    if (!sink || sink->SampleRate() == nInputRate)
        return sink;
    return LSoundSinkRef(new LSinkConvertRateBase(sink, nInputRate));
}

void LSinkConvertRateBase::PadSilence()
{
    const size_t nChannels = NumChannels();
    const size_t nFrom = static_cast<size_t>(m_nBufferFill) * nChannels;
    const size_t nCount = std::min(m_buffer.size() - nFrom, (kTaps + m_filter.RowStride()) * nChannels);
    std::fill_n(m_buffer.data() + nFrom, nCount, 0);
}

void LSinkConvertRateBase::Produce(int64_t nUpTo, int64_t nAvailable)
{
    const int nChannels = NumChannels();
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    int32_t nPending = 0;
    auto flushOut = [&]() {
        if (nPending > 0)
            m_sink->Write(m_out.data(), nPending);
        nPending = 0;
    };
    while (m_nOutput < nUpTo && m_nCentre - kCentre + kTaps <= nAvailable) {
        const int32_t* pRow = m_filter.Row(static_cast<int>(m_nPhase));
        const int64_t nIndex = m_nCentre - kCentre - m_nBufferStart;
        for (int c = 0; c < nChannels; ++c) {
            const int32_t x = LPolyphaseFilter::Convolve(
                pRow, m_buffer.data() + nIndex * nChannels + c, m_filter.RowStride(), nChannels);
            m_out[static_cast<size_t>(nPending) * nChannels + c] = std::clamp(x, -kFullScale, kFullScale);
        }
        if (++nPending == kOutFrames)
            flushOut();
        ++m_nOutput;
        m_nPhase += S;
        m_nCentre += m_nPhase / P;
        m_nPhase %= P;
    }
    flushOut();
}

void LSinkConvertRateBase::DropBefore(int64_t nFrame)
{
    const int64_t nDrop = std::clamp<int64_t>(nFrame - m_nBufferStart, 0, m_nBufferFill);
    const size_t nChannels = NumChannels();
    std::memmove(m_buffer.data(), m_buffer.data() + nDrop * nChannels,
        static_cast<size_t>(m_nBufferFill - nDrop) * nChannels * sizeof(int32_t));
    m_nBufferStart += nDrop;
    m_nBufferFill -= nDrop;
}

void LSinkConvertRateBase::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    if (!m_sink)
        return;
    const size_t nChannels = NumChannels();
    while (nFrames > 0) {
        const int64_t n = std::min<int64_t>(nFrames, m_nBufferCapacity - m_nBufferFill);
        std::memcpy(m_buffer.data() + static_cast<size_t>(m_nBufferFill) * nChannels, pBuffer,
            static_cast<size_t>(n) * nChannels * sizeof(int32_t));
        m_nBufferFill += n;
        pBuffer += n * nChannels;
        nFrames -= static_cast<int32_t>(n);
        if (m_nBufferFill == m_nBufferCapacity) {
            Produce(INT64_MAX, m_nBufferStart + m_nBufferFill);
            DropBefore(m_nCentre - kCentre);
        }
    }
}

void LSinkConvertRateBase::Seek(int64_t nFrame)
{
    if (nFrame > m_nPosition)
        return;
    nFrame = std::max<int64_t>(nFrame, 0);
    if (!m_sink) {
        m_nPosition = nFrame;
        return;
    }
    const int64_t P = m_filter.Phases();
    const int64_t S = m_filter.Step();
    const int64_t nOutput = m_filter.ToOutputFrames(nFrame);

    // The input ends at nFrame: what is held beyond it is gone, and the
    // outputs before the cut that are still to come hear silence after it.
    m_nBufferFill = std::clamp<int64_t>(nFrame - m_nBufferStart, 0, m_nBufferFill);
    if (m_nOutput < nOutput) {
        PadSilence();
        Produce(nOutput, INT64_MAX);
    }
    if (m_nOutput > nOutput || m_sink->GetPosition() > nOutput)
        m_sink->Seek(nOutput);
    m_nOutput = nOutput;

    // Restart the phase at that output; the frames before the cut that its
    // taps reach are kept where they are still held, silence otherwise.
    const int64_t nWhole = FloorDiv(nOutput, P);
    const int64_t nRest = nOutput - nWhole * P;
    m_nCentre = nWhole * S + (nRest * S) / P;
    m_nPhase = (nRest * S) % P;
    const int64_t nNewStart = m_nCentre - kCentre;
    const size_t nChannels = NumChannels();
    if (m_nBufferFill == 0 || m_nBufferStart - nNewStart > m_nBufferCapacity / 2) {
        m_nBufferStart = nNewStart;
        m_nBufferFill = 0;
    } else if (nNewStart >= m_nBufferStart) {
        DropBefore(nNewStart);
    } else {
        const int64_t nFront = m_nBufferStart - nNewStart;
        const int64_t nKeep = std::min(m_nBufferFill, m_nBufferCapacity - nFront);
        std::memmove(m_buffer.data() + nFront * nChannels, m_buffer.data(),
            static_cast<size_t>(std::max<int64_t>(nKeep, 0)) * nChannels * sizeof(int32_t));
        std::fill_n(m_buffer.data(), nFront * nChannels, 0);
        m_nBufferStart = nNewStart;
        m_nBufferFill = nFront + std::max<int64_t>(nKeep, 0);
    }
    // Whatever the buffer lacks up to the cut is silence.
    const int64_t nNeeded = std::min(nFrame - m_nBufferStart, m_nBufferCapacity);
    if (m_nBufferFill < nNeeded) {
        std::fill(m_buffer.data() + m_nBufferFill * nChannels, m_buffer.data() + nNeeded * nChannels, 0);
        m_nBufferFill = nNeeded;
    }
    m_nPosition = nFrame;
}
