#include "sound/device/LSoundRecorder.h"

#include "platform/LPcmBackend.h"
#include "sound/LSoundTime.h"
#include "sound/codecs/LSampleConvert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

// Read time-out of the capture thread. The stop signal's descriptor wakes a
// read at once, so the time-out only bounds a device that never wakes;
// without that descriptor it is how late the stop may be seen (a device
// wakes the thread only once a period, half a second at low rates).
constexpr uint32_t kReadWaitMs = 250;
constexpr uint32_t kReadSliceMs = 10;

// Peak level of each channel over the frames, in dB where 0 dB is a quarter
// of 16-bit full scale (so full scale reads +12).
void MeasureLevels(const int32_t* pSamples, uint32_t uFrames, uint32_t uChannels, int8_t* pLevels)
{
    for (uint32_t c = 0; c < uChannels; ++c) {
        int32_t nPeak = 0;
        const int32_t* p = pSamples + c;
        for (uint32_t i = 0; i < uFrames; ++i, p += uChannels)
            nPeak = std::max(nPeak, *p < 0 ? -*p : *p);
        if (nPeak == 0) {
            pLevels[c] = LChannelLevels::kSilence;
            continue;
        }
        const long nDb = std::lround(20.0 * std::log10(static_cast<double>(nPeak) / 131072.0));
        pLevels[c] = LChannelLevels::Clamp(static_cast<int>(std::clamp(nDb, -1000L, 1000L)));
    }
}

int8_t BlockLevel(const int8_t* pLevels, uint32_t uChannels)
{
    return *std::max_element(pLevels, pLevels + uChannels);
}

// First-order high-pass with its corner near 7.5 Hz at every rate. The running
// offset is 64-bit (a full-scale offset overflows 32 bits), and the output is
// saturated: a full-scale step overshoots by up to twice full scale.
void RemoveDc(int32_t* pSamples, uint32_t uFrames, uint32_t uChannels, int64_t* pOffsets, int64_t nK)
{
    for (uint32_t c = 0; c < uChannels; ++c) {
        int64_t nOffset = pOffsets[c];
        int32_t* p = pSamples + c;
        for (uint32_t i = 0; i < uFrames; ++i, p += uChannels) {
            const int64_t x = *p - (nOffset >> 12);
            nOffset += x * nK;
            *p = static_cast<int32_t>(std::clamp<int64_t>(x, -kInternalFullScale, kInternalFullScale));
        }
        pOffsets[c] = nOffset;
    }
}

int32_t SinkTimeMs(const LSoundSinkBase& sink, int32_t nRate)
{
    return LSoundTime::FromSamples(sink.GetPosition(), nRate).Ms();
}

} // namespace

LSoundRecorder::LSoundRecorder(LMainLoop& loop)
    : LThreadQueuedNotify(loop)
    , m_notifier(GetNotifier())
{
}

LSoundRecorder::~LSoundRecorder()
{
    // The listener may be gone already: stop without telling it.
    StopRecording(false);
    StopThreadAndWait();
}

void LSoundRecorder::SetListener(LSoundRecorderNotify* pListener, uint32_t uCookie)
{
    m_pListener = pListener ? pListener : &m_defaultListener;
    m_uCookie = uCookie;
}

LChannelLevels LSoundRecorder::GetLevels() const
{
    LChannelLevels levels;
    levels.nCount = m_nLevelCount.load(std::memory_order_acquire);
    for (int i = 0; i < levels.nCount; ++i)
        levels.nLevel[i] = m_levels[i].load(std::memory_order_relaxed);
    return levels;
}

std::string LSoundRecorder::GetLastError() const
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_szError;
}

void LSoundRecorder::SetError(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    m_szError = text;
}

void LSoundRecorder::PublishLevels(const int8_t* pLevels, uint32_t uChannels)
{
    for (uint32_t c = 0; c < uChannels; ++c)
        m_levels[c].store(pLevels[c], std::memory_order_relaxed);
}

bool LSoundRecorder::Start(
    const LSoundSinkRef& sink, uint32_t uFlags, int32_t nMaxTimeMs, int nStartLevelDb, int32_t nHangTimeMs)
{
    if (GetRecordState() != kStateStopped || m_sink)
        Stop();
    // A thread left from a stop that timed out still uses the fields below.
    if (IsRunning())
        return false;
    if (!sink || !sink->IsUsable())
        return false;

    SetError({});
    m_sink = sink;
    m_nMaxTime = nMaxTimeMs;
    m_nStartLevel = LChannelLevels::Clamp(nStartLevelDb);
    m_nStopLevel = LChannelLevels::Clamp(m_nStartLevel - 4);
    m_nHangTime = nHangTimeMs;
    m_nLastLoudTime.store(SinkTimeMs(*sink, sink->SampleRate()), std::memory_order_release);
    const uint8_t nChannels = std::max<uint8_t>(1, sink->NumChannels());
    for (uint8_t c = 0; c < nChannels; ++c)
        m_levels[c].store(LChannelLevels::kSilence, std::memory_order_relaxed);
    m_nLevelCount.store(nChannels, std::memory_order_release);
    m_bMaxTimeFlag = false;
    m_bLevelsFlag = false;
    m_bStateFlag = false;
    m_bDeviceEndedFlag = false;
    m_nRecordState.store((uFlags & kFlagRecordAtOnce) ? kStateRecording : kStateWaiting, std::memory_order_release);
    m_started.Reset();
    m_threadSink = sink;

    bool bRunning = LThread::Start();
    if (bRunning && !m_started.Wait(kStartTimeoutMs)) {
        SetError("the sound input did not start in time");
        bRunning = false;
    }
    if (!bRunning || GetRecordState() == kStateStopped) {
        if (!StopThreadTimed(m_uStopTimeoutMs))
            std::fprintf(stderr, "LSoundRecorder::Start() capture thread did not end; it keeps its own sink\n");
        m_threadSink.Reset();
        m_sink.Reset();
        m_nRecordState.store(kStateStopped, std::memory_order_release);
        return false;
    }
    if (GetRecordState() == kStateWaiting)
        m_pListener->OnWaiting(m_uCookie);
    else
        m_pListener->OnRecording(m_uCookie);
    m_pListener->OnTime(m_uCookie, GetLastLoudTime());
    return true;
}

void LSoundRecorder::Stop()
{
    StopRecording(true);
}

void LSoundRecorder::StopRecording(bool bNotify)
{
    if (GetRecordState() == kStateStopped && !m_sink)
        return;
    const bool bEnded = StopThreadTimed(m_uStopTimeoutMs);
    if (bEnded && m_sink) {
        const int32_t nRate = m_sink->SampleRate();
        const int32_t nCut = GetLastLoudTime() + 50;
        if (SinkTimeMs(*m_sink, nRate) > nCut)
            m_sink->Seek(LSoundTime(nCut).ToSamples(nRate));
    } else if (!bEnded) {
        // The thread still holds its own reference, so the sink outlives it.
        std::fprintf(stderr, "LSoundRecorder::Stop() capture thread did not end; the recording is not cut back\n");
    }
    m_sink.Reset();
    m_nLastLoudTime.store(0, std::memory_order_release);
    m_nRecordState.store(kStateStopped, std::memory_order_release);
    m_bMaxTimeFlag = false;
    m_bLevelsFlag = false;
    m_bStateFlag = false;
    m_bDeviceEndedFlag = false;
    if (bNotify)
        m_pListener->OnStopped(m_uCookie);
}

void LSoundRecorder::EvNotify()
{
    if (GetRecordState() == kStateStopped)
        return;
    if (m_bLevelsFlag.exchange(false, std::memory_order_acq_rel)) {
        m_pListener->OnTime(m_uCookie, GetLastLoudTime());
        m_pListener->OnLevels(m_uCookie, GetLevels());
    }
    if (m_bStateFlag.exchange(false, std::memory_order_acq_rel)) {
        if (GetRecordState() == kStateWaiting)
            m_pListener->OnWaiting(m_uCookie);
        else
            m_pListener->OnRecording(m_uCookie);
    }
    // The thread has ended by itself; what it reported last (at the maximum
    // time, the time reached) is shown first.
    if (m_bMaxTimeFlag.load(std::memory_order_acquire) || m_bDeviceEndedFlag.load(std::memory_order_acquire))
        Stop();
}

void LSoundRecorder::ThreadFunction()
{
    LSoundSinkRef sinkRef = std::move(m_threadSink);
    LSoundSinkBase& sink = *sinkRef;
    const int32_t nRate = sink.SampleRate() > 0 ? sink.SampleRate() : 44100;
    const uint32_t uChannels = std::max<uint32_t>(1, sink.NumChannels());
    const uint32_t uBlock = BlockFrames(nRate);
    const uint32_t uHalf = uBlock / 2;

    auto fail = [this](const std::string& text) {
        SetError(text);
        m_nRecordState.store(kStateStopped, std::memory_order_release);
        m_started.Set();
    };

    LPcmStreamParams params;
    params.uRate = static_cast<uint32_t>(nRate);
    params.uChannels = uChannels;
    params.uPeriodFrames = uBlock;
    params.uPeriods = kBufferBlocks;
    std::string error;
    std::unique_ptr<LPcmCapture> capture = LPcmBackend::Current().OpenCapture(m_device.uDevice, params, &error);
    if (!capture && m_device.uDevice != 0)
        capture = LPcmBackend::Current().OpenCapture(0, params, &error);
    if (!capture)
        return fail(error.empty() ? "the sound input cannot be opened" : error);

    // Everything the block loop needs, allocated before it.
    std::vector<int16_t> raw;
    std::vector<int32_t> block, preroll;
    std::vector<int64_t> offsets;
    try {
        raw.resize(size_t(uBlock) * uChannels);
        block.resize(size_t(uBlock) * uChannels);
        preroll.resize(size_t(uBlock) * uChannels);
        offsets.assign(uChannels, 0);
    } catch (const std::bad_alloc&) {
        return fail("no memory for the capture buffers");
    }
    int8_t levels[LChannelLevels::kMaxChannels];
    bool bHavePreroll = false;
    const int64_t nK = 192000 / nRate + 1;

    capture->SetWakeFd(StopFd());
    const uint32_t uReadMs = StopFd() >= 0 ? kReadWaitMs : kReadSliceMs;
    if (IsStopRequested())
        return fail("the sound input did not start in time");
    if (!capture->Start())
        return fail("the sound input cannot start capturing");
    m_started.Set();

    auto convert = [&](uint32_t uFrames) {
        S16ToInternal(raw.data(), block.data(), size_t(uFrames) * uChannels);
        RemoveDc(block.data(), uFrames, uChannels, offsets.data(), nK);
    };

    // The maximum time is a frame count kept here: the main loop may hear of
    // it seconds later on a loaded machine, and a device that delivers faster
    // than real time would fill those seconds.
    const int64_t nLimit
        = m_nMaxTime > 0 ? LSoundTime(m_nMaxTime).ToSamples(nRate) : std::numeric_limits<int64_t>::max();
    // Writes what fits below the limit; true once the sink has reached it.
    auto write = [&](const int32_t* pFrames, uint32_t uFrames) {
        const int64_t nRoom = nLimit - sink.GetPosition();
        if (nRoom > 0)
            sink.Write(pFrames, static_cast<int32_t>(std::min<int64_t>(nRoom, uFrames)));
        return sink.GetPosition() >= nLimit;
    };

    uint32_t uFilled = 0;
    bool bEnded = false;
    bool bFull = false;
    while (!IsStopRequested()) {
        const int32_t nRead = capture->Read(raw.data() + size_t(uFilled) * uChannels, uBlock - uFilled, uReadMs);
        if (nRead < 0) {
            // A failed device or a file-fed one at its end: the main loop stops us.
            bEnded = true;
            m_bDeviceEndedFlag.store(true, std::memory_order_release);
            m_notifier.Post();
            break;
        }
        uFilled += static_cast<uint32_t>(nRead);
        if (uFilled < uBlock)
            continue;
        uFilled = 0;
        convert(uBlock);
        MeasureLevels(block.data(), uBlock, uChannels, levels);
        const int8_t nLevel = BlockLevel(levels, uChannels);

        if (GetRecordState() == kStateRecording) {
            write(block.data(), uBlock);
            const int32_t nTime = SinkTimeMs(sink, nRate);
            if (nLevel < m_nStopLevel) {
                const int32_t nLastLoud = GetLastLoudTime();
                if (nTime - nLastLoud > m_nHangTime) {
                    sink.Seek(LSoundTime(nLastLoud + 450).ToSamples(nRate));
                    std::copy(block.begin(), block.end(), preroll.begin());
                    bHavePreroll = true;
                    m_nRecordState.store(kStateWaiting, std::memory_order_release);
                    m_bStateFlag.store(true, std::memory_order_release);
                }
            } else {
                m_nLastLoudTime.store(nTime, std::memory_order_release);
            }
            // A pause just cut the sink back below the limit.
            bFull = sink.GetPosition() >= nLimit;
        } else if (nLevel >= m_nStartLevel) {
            MeasureLevels(block.data(), uHalf, uChannels, levels);
            if (BlockLevel(levels, uChannels) >= m_nStartLevel && bHavePreroll)
                write(preroll.data() + size_t(uHalf) * uChannels, uBlock - uHalf);
            bFull = write(block.data(), uBlock);
            // The block that woke the recording is loud: a stop right after
            // it must not cut it away.
            m_nLastLoudTime.store(SinkTimeMs(sink, nRate), std::memory_order_release);
            m_nRecordState.store(kStateRecording, std::memory_order_release);
            m_bStateFlag.store(true, std::memory_order_release);
        } else {
            std::copy(block.begin(), block.end(), preroll.begin());
            bHavePreroll = true;
        }
        PublishLevels(levels, uChannels);
        m_bLevelsFlag.store(true, std::memory_order_release);
        // The thread ends here by itself; the main loop's Stop only reports it.
        if (bFull)
            m_bMaxTimeFlag.store(true, std::memory_order_release);
        m_notifier.Post();
        if (bFull)
            break;
    }

    // What the device already holds was spoken before the stop: keep it. No
    // more than its buffer, so a device that never runs dry cannot hold us.
    if (GetRecordState() == kStateRecording && !bFull) {
        for (uint32_t uBlocks = 0; !bEnded && !bFull && uBlocks < kBufferBlocks;) {
            const int32_t nRead = capture->Read(raw.data() + size_t(uFilled) * uChannels, uBlock - uFilled, 0);
            if (nRead <= 0)
                break;
            uFilled += static_cast<uint32_t>(nRead);
            if (uFilled == uBlock) {
                convert(uBlock);
                bFull = write(block.data(), uBlock);
                uFilled = 0;
                ++uBlocks;
            }
        }
        if (uFilled > 0 && !bFull) {
            convert(uFilled);
            write(block.data(), uFilled);
        }
    }
    capture->Stop();
}
