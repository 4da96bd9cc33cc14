#include "tests/support/ScriptedPcmBackend.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include <poll.h>

namespace test {

namespace {
bool Readable(int fd)
{
    pollfd pfd { fd, POLLIN, 0 };
    return fd >= 0 && poll(&pfd, 1, 0) > 0;
}
uint32_t FramesOf(const std::vector<int16_t>& block, uint32_t uChannels)
{
    return static_cast<uint32_t>(block.size() / std::max<uint32_t>(1, uChannels));
}
} // namespace

class ScriptedPcmBackend::Capture : public LPcmCapture {
public:
    explicit Capture(ScriptedPcmBackend& owner)
        : m_owner(owner)
    {
    }
    ~Capture() override
    {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_bCaptureOpen = false;
        m_owner.m_cond.notify_all();
    }
    bool Start() override
    {
        m_owner.SleepFor(m_owner.m_uStartDelayMs);
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_captureStart = Clock::now();
        m_owner.m_cond.notify_all();
        return true;
    }
    int32_t Read(int16_t* pSamples, uint32_t maxFrames, uint32_t timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_owner.m_mutex);
        ScriptedPcmBackend& o = m_owner;
        if (!o.m_captureStart || o.m_bCaptureStopped)
            return kError;
        const uint32_t uChannels = o.m_captureParams->uChannels;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        struct Waiting {
            bool& b;
            ~Waiting() { b = false; }
        } waiting { o.m_bCaptureWaiting };
        for (;;) {
            const size_t nBlocks = o.m_script.blocks.size();
            if (o.m_nBlock >= nBlocks) {
                if (o.m_script.bEndAtFinish)
                    return kEnd;
            } else {
                size_t nReady = nBlocks;
                if (o.m_script.uPaceMs) {
                    const auto elapsed
                        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *o.m_captureStart);
                    nReady = std::min<size_t>(nBlocks, static_cast<size_t>(elapsed.count()) / o.m_script.uPaceMs);
                }
                if (o.m_nBlock < nReady)
                    break;
            }
            if (timeoutMs == 0)
                return 0;
            if (Readable(m_wakeFd)) {
                ++o.m_uWokenWaits;
                return 0;
            }
            // Paced blocks and the wake descriptor come without a notify: look again at least every ms.
            auto wake = std::min(deadline, Clock::now() + std::chrono::milliseconds(1));
            if (!o.m_script.uPaceMs && m_wakeFd < 0)
                wake = deadline;
            o.m_bCaptureWaiting = true;
            o.m_cond.wait_until(lock, wake);
            if (Clock::now() >= deadline) {
                if (timeoutMs == 0)
                    return 0;
                timeoutMs = 0; // one last look, then give up
            }
        }
        const std::vector<int16_t>& block = o.m_script.blocks[o.m_nBlock];
        uint32_t uFrames = FramesOf(block, uChannels) - static_cast<uint32_t>(o.m_nBlockOffset / uChannels);
        uFrames = std::min(uFrames, maxFrames);
        std::memcpy(pSamples, block.data() + o.m_nBlockOffset, size_t(uFrames) * uChannels * sizeof(int16_t));
        o.m_nBlockOffset += size_t(uFrames) * uChannels;
        if (o.m_nBlockOffset >= size_t(FramesOf(block, uChannels)) * uChannels) {
            ++o.m_nBlock;
            o.m_nBlockOffset = 0;
        }
        o.m_cond.notify_all();
        return static_cast<int32_t>(uFrames);
    }
    void Stop() override
    {
        m_owner.SleepFor(m_owner.m_uStopDelayMs);
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_bCaptureStopped = true;
        m_owner.m_cond.notify_all();
    }

private:
    ScriptedPcmBackend& m_owner;
};

class ScriptedPcmBackend::Playback : public LPcmPlayback {
public:
    explicit Playback(ScriptedPcmBackend& owner)
        : m_owner(owner)
    {
    }
    ~Playback() override
    {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_bPlaybackOpen = false;
    }
    int32_t WaitWritable(uint32_t timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_owner.m_mutex);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const int32_t nRoom = RoomLocked();
            if (nRoom > 0 || Clock::now() >= deadline)
                return nRoom;
            if (Readable(m_wakeFd)) {
                ++m_owner.m_uWokenWaits;
                return 0;
            }
            m_owner.m_cond.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(1)));
        }
    }
    int32_t Write(const int16_t* pSamples, uint32_t frames) override
    {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        ScriptedPcmBackend& o = m_owner;
        const auto now = Clock::now();
        // A starved stream restarts its clock with this write.
        const uint64_t nHeard = o.HeardLocked(now);
        if (nHeard >= o.m_nQueuedEnd) {
            o.m_nHeardBase = o.m_nQueuedEnd;
            o.m_tHeardBase = now;
        }
        const uint32_t uTaken = std::min<uint32_t>(frames, static_cast<uint32_t>(std::max(0, RoomLocked())));
        const uint32_t uChannels = o.m_playbackParams->uChannels;
        o.m_played.insert(o.m_played.end(), pSamples, pSamples + size_t(uTaken) * uChannels);
        o.m_nQueuedEnd += uTaken;
        return static_cast<int32_t>(uTaken);
    }
    int32_t Delay() override
    {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        return static_cast<int32_t>(m_owner.m_nQueuedEnd - m_owner.HeardLocked(Clock::now()));
    }
    void Drop() override
    {
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        ScriptedPcmBackend& o = m_owner;
        const uint64_t nHeard = o.HeardLocked(Clock::now());
        o.m_nQueuedEnd = nHeard;
        o.m_nHeardBase = nHeard;
        o.m_tHeardBase = Clock::now();
    }
    bool Drain(uint32_t timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_owner.m_mutex);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_owner.HeardLocked(Clock::now()) >= m_owner.m_nQueuedEnd)
                return true;
            if (Clock::now() >= deadline)
                return false;
            m_owner.m_cond.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(1)));
        }
    }
    uint32_t BufferFrames() const override { return m_owner.m_uPlaybackBuffer; }

private:
    int32_t RoomLocked() const
    {
        const uint64_t nQueued = m_owner.m_nQueuedEnd - m_owner.HeardLocked(Clock::now());
        return static_cast<int32_t>(m_owner.m_uPlaybackBuffer) - static_cast<int32_t>(nQueued);
    }
    ScriptedPcmBackend& m_owner;
};

ScriptedPcmBackend::ScriptedPcmBackend() = default;

ScriptedPcmBackend::~ScriptedPcmBackend()
{
    Uninstall();
}

void ScriptedPcmBackend::Install()
{
    LPcmBackend::SetCurrent(this);
    m_bInstalled = true;
}

void ScriptedPcmBackend::Uninstall()
{
    if (m_bInstalled)
        LPcmBackend::SetCurrent(nullptr);
    m_bInstalled = false;
}

void ScriptedPcmBackend::SleepFor(const uint32_t& uMs) const
{
    if (uint32_t u = Locked([&] { return uMs; }))
        std::this_thread::sleep_for(std::chrono::milliseconds(u));
}

std::vector<LPcmDeviceInfo> ScriptedPcmBackend::ListDevices(Direction direction)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return direction == Direction::Capture ? m_captureDevices : m_playbackDevices;
}

namespace {

// A mixer that lists its inputs and takes every setting.
class ListingMixer : public LMixerDevice {
public:
    explicit ListingMixer(std::vector<std::string> sources)
        : m_sources(std::move(sources))
    {
    }
    std::vector<std::string> ListCaptureSources() override { return m_sources; }
    Result SelectCaptureSource(size_t index) override
    {
        return index < m_sources.size() ? Result::Ok : Result::NoControl;
    }
    std::string CaptureVolumeName() override { return "Capture"; }
    Result SetCaptureVolume(double) override { return Result::Ok; }
    Result GetCaptureVolume(double* p) override { return *p = 1.0, Result::Ok; }
    Result SetPlaybackVolume(double) override { return Result::Ok; }
    Result GetPlaybackVolume(double* p) override { return *p = 1.0, Result::Ok; }
    Result SetCaptureVolumeDb(double) override { return Result::Ok; }
    Result GetCaptureVolumeDb(double* p) override { return *p = 0.0, Result::Ok; }
    Result SetPlaybackVolumeDb(double) override { return Result::Ok; }
    Result GetPlaybackVolumeDb(double* p) override { return *p = 0.0, Result::Ok; }

private:
    std::vector<std::string> m_sources;
};

} // namespace

std::unique_ptr<LMixerDevice> ScriptedPcmBackend::OpenMixer(Direction direction, uint32_t device, std::string* pError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_captureSources.find(device);
    if (direction != Direction::Capture || it == m_captureSources.end())
        return LPcmBackend::OpenMixer(direction, device, pError);
    return std::make_unique<ListingMixer>(it->second);
}

bool ScriptedPcmBackend::RefusesLocked(const LPcmStreamParams& params, std::string* pError) const
{
    const char* szWhy = nullptr;
    if (m_bOpenFails)
        szWhy = "scripted device fails to open";
    else if (params.uChannels == 0 || params.uRate == 0)
        szWhy = "scripted device: empty format";
    if (szWhy && pError)
        *pError = szWhy;
    return szWhy != nullptr;
}

uint64_t ScriptedPcmBackend::HeardLocked(Clock::time_point now) const
{
    if (m_bPlaybackManual || !m_playbackParams)
        return m_nHeardBase;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_tHeardBase).count();
    const uint64_t nFrames = static_cast<uint64_t>(elapsed) * m_playbackParams->uRate / 1000000;
    return std::min(m_nQueuedEnd, m_nHeardBase + nFrames);
}

std::unique_ptr<LPcmCapture> ScriptedPcmBackend::OpenCapture(
    uint32_t, const LPcmStreamParams& params, std::string* pError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bCaptureOpen) {
        if (pError)
            *pError = "scripted device is busy";
        return nullptr;
    }
    if (RefusesLocked(params, pError))
        return nullptr;
    m_captureParams = params;
    m_bCaptureOpen = true;
    m_bCaptureStopped = false;
    m_captureStart.reset();
    m_nBlock = 0;
    m_nBlockOffset = 0;
    return std::make_unique<Capture>(*this);
}

std::unique_ptr<LPcmPlayback> ScriptedPcmBackend::OpenPlayback(
    uint32_t, const LPcmStreamParams& params, std::string* pError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (RefusesLocked(params, pError))
        return nullptr;
    if (m_bPlaybackOpen) {
        if (pError)
            *pError = "scripted device is busy";
        return nullptr;
    }
    m_bPlaybackOpen = true;
    m_playbackParams = params;
    m_played.clear();
    m_nQueuedEnd = 0;
    m_nHeardBase = 0;
    m_tHeardBase = Clock::now();
    m_uPlaybackBuffer = params.uPeriodFrames * params.uPeriods;
    return std::make_unique<Playback>(*this);
}

} // namespace test
