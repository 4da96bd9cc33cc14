// A sound device for tests: capture streams hand out chosen blocks at a
// chosen pace, playback streams keep what is
// written and let it be "heard" at the stream's rate or when the test says.
// Configured by the test thread, called by recorder and player threads; every
// member takes the backend's lock.
#pragma once

#include "platform/LPcmBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace test {

class ScriptedPcmBackend : public LPcmBackend {
public:
    using Clock = std::chrono::steady_clock;
    // What the capture streams deliver. Block i (interleaved samples, any
    // length in whole frames) becomes readable uPaceMs × (i + 1) after Start,
    // all at once when uPaceMs is 0. After the last block Read returns kEnd when bEndAtFinish,
    // otherwise it waits out its time-outs and returns 0 as a silent device.
    struct CaptureScript {
        std::vector<std::vector<int16_t>> blocks;
        uint32_t uPaceMs = 0;
        bool bEndAtFinish = false;
    };
    ScriptedPcmBackend();
    ~ScriptedPcmBackend() override;
    // Installs this backend as LPcmBackend::Current until Uninstall or destruction.
    void Install();
    void Uninstall();
    // Set-up, before the stream is opened.
    void SetCaptureScript(CaptureScript script) { Set(&ScriptedPcmBackend::m_script, std::move(script)); }
    void SetDevices(Direction direction, std::vector<LPcmDeviceInfo> devices)
    {
        Locked([&] { (direction == Direction::Capture ? m_captureDevices : m_playbackDevices) = std::move(devices); });
    }
    // The capture inputs the mixer of capture device n lists (devices
    // without any set have no mixer); volumes and choices are accepted.
    void SetCaptureSources(uint32_t device, std::vector<std::string> sources)
    {
        Locked([&] { m_captureSources[device] = std::move(sources); });
    }
    void SetOpenFails(bool bFails) { Set(&ScriptedPcmBackend::m_bOpenFails, bFails); }
    // The capture's Start / Stop block this long, ignoring any stop (a device slow to start or let go).
    void SetStartDelayMs(uint32_t uMs) { Set(&ScriptedPcmBackend::m_uStartDelayMs, uMs); }
    void SetStopDelayMs(uint32_t uMs) { Set(&ScriptedPcmBackend::m_uStopDelayMs, uMs); }

    // Playback. Real time (the default): written frames are heard at the
    // stream's rate from the first write, pausing when nothing is queued.
    // Manual: they are heard only through AdvancePlayback.
    void SetPlaybackManual(bool bManual) { Set(&ScriptedPcmBackend::m_bPlaybackManual, bManual); }
    void AdvancePlayback(uint32_t uFrames)
    {
        Locked([&] { m_nHeardBase = std::min(m_nQueuedEnd, m_nHeardBase + uFrames); });
    }
    // Everything written (interleaved), dropped frames included.
    std::vector<int16_t> PlaybackSamples() const { return Get(&ScriptedPcmBackend::m_played); }
    uint64_t PlaybackHeardFrames() const
    {
        return Locked([&] { return HeardLocked(Clock::now()); });
    }
    bool PlaybackIsOpen() const { return Get(&ScriptedPcmBackend::m_bPlaybackOpen); }
    // Waits (a capture's Read, a playback's WaitWritable) that the stream's
    // wake descriptor ended before their time-out.
    uint32_t WokenWaits() const { return Get(&ScriptedPcmBackend::m_uWokenWaits); }
    // A capture's Read is waiting for audio.
    bool CaptureIsWaiting() const { return Get(&ScriptedPcmBackend::m_bCaptureWaiting); }

    std::vector<LPcmDeviceInfo> ListDevices(Direction direction) override;
    std::unique_ptr<LPcmCapture> OpenCapture(
        uint32_t device, const LPcmStreamParams& params, std::string* pError) override;
    std::unique_ptr<LPcmPlayback> OpenPlayback(
        uint32_t device, const LPcmStreamParams& params, std::string* pError) override;
    std::unique_ptr<LMixerDevice> OpenMixer(Direction direction, uint32_t device, std::string* pError) override;

private:
    class Capture;
    class Playback;
    friend class Capture;
    friend class Playback;
    // Runs f under the lock and wakes every waiter, since f may have changed what they wait for.
    template <typename F> std::invoke_result_t<F> Locked(F f) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        struct Notify {
            std::condition_variable& c;
            ~Notify() { c.notify_all(); }
        } notify { m_cond };
        return f();
    }
    template <typename T> T Get(T ScriptedPcmBackend::*p) const
    {
        return Locked([&] { return this->*p; });
    }
    template <typename T, typename V> void Set(T ScriptedPcmBackend::*p, V v)
    {
        Locked([&] { this->*p = std::move(v); });
    }
    void SleepFor(const uint32_t& uMs) const;
    bool RefusesLocked(const LPcmStreamParams& params, std::string* pError) const;
    uint64_t HeardLocked(Clock::time_point now) const;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    bool m_bInstalled = false;
    std::vector<LPcmDeviceInfo> m_captureDevices, m_playbackDevices;
    std::map<uint32_t, std::vector<std::string>> m_captureSources;
    bool m_bOpenFails = false;
    uint32_t m_uStartDelayMs = 0, m_uStopDelayMs = 0;
    uint32_t m_uWokenWaits = 0;
    bool m_bCaptureWaiting = false;
    // Capture state (one stream at a time).
    CaptureScript m_script;
    bool m_bCaptureOpen = false, m_bCaptureStopped = false;
    std::optional<LPcmStreamParams> m_captureParams;
    std::optional<Clock::time_point> m_captureStart;
    size_t m_nBlock = 0; // next block to read from
    size_t m_nBlockOffset = 0; // samples of it already read
    // Playback state.
    bool m_bPlaybackManual = false;
    bool m_bPlaybackOpen = false;
    std::optional<LPcmStreamParams> m_playbackParams;
    std::vector<int16_t> m_played;
    uint64_t m_nQueuedEnd = 0; // frame count written since open, minus dropped
    uint64_t m_nHeardBase = 0; // heard count at m_tHeardBase (real time)
    Clock::time_point m_tHeardBase;
    uint32_t m_uPlaybackBuffer = 0;
};

} // namespace test
