#include "sound/convert/LRecordSpeed.h"

#include "sound/convert/LSinkConvertRateBase.h"

#include <algorithm>

LRecordSpeed::LRecordSpeed(int32_t nCaptureRate, const LSoundSinkRef& target, uint8_t nChannels)
    : LSoundSinkBase(nCaptureRate, nChannels)
    , m_target(target)
{
    if (!m_target || !m_target->IsUsable())
        SetUnusable();
}

LSoundSinkRef LRecordSpeed::OpenSink(int nPercent, const LSoundSinkRef& sink)
{
    if (!sink || nPercent == 100 || nPercent <= 0)
        return sink;
    const int32_t nCaptureRate = sink->SampleRate() < 11026 ? 22050 : 44100;
    const int64_t nContentRate = std::max<int64_t>(static_cast<int64_t>(nCaptureRate) * 100 / nPercent, 1);
    const LSoundSinkRef target
        = LSinkConvertRateBase::Open(sink, static_cast<int32_t>(std::min<int64_t>(nContentRate, INT32_MAX)));
    return LSoundSinkRef(new LRecordSpeed(nCaptureRate, target, sink->NumChannels()));
}

void LRecordSpeed::Write(const int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    m_nPosition += nFrames;
    m_target->Write(pBuffer, nFrames);
}

void LRecordSpeed::Seek(int64_t nFrame)
{
    if (nFrame > m_nPosition)
        return;
    nFrame = std::max<int64_t>(nFrame, 0);
    m_target->Seek(nFrame);
    m_nPosition = nFrame;
}
