// Captures a sound input into a sink on a thread of its own: removes DC
// offset, measures levels for the meter, starts and pauses by voice level with
// a pre-roll, and stops after a maximum time. Start, Stop and the listener's
// calls belong to the main-loop thread; between them the capture thread owns
// the device and the sink.
#pragma once

#include "foundation/LSignalObject.h"
#include "foundation/LThread.h"
#include "foundation/LThreadQueuedNotify.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundTime.h"
#include "sound/device/LChannelLevels.h"
#include "sound/device/LSoundRecordDevice.h"
#include "sound/device/LSoundRecorderNotify.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class LMainLoop;

class LSoundRecorder : public LThread, public LThreadQueuedNotify {
public:
    enum : uint8_t { kStateStopped = 0, kStateWaiting = 1, kStateRecording = 2 };
    // Start flag: record at once instead of waiting for the voice.
    static constexpr uint32_t kFlagRecordAtOnce = 2;
    static constexpr uint32_t kStartTimeoutMs = 1500;
    static constexpr uint32_t kStopTimeoutMs = 5000;
    // The device buffer holds this many blocks: seconds of slack for a busy machine.
    static constexpr uint32_t kBufferBlocks = 30;

    explicit LSoundRecorder(LMainLoop& loop);
    ~LSoundRecorder() override;

    // Before Start. The listener must outlive the recording; null restores
    // the do-nothing listener.
    void SetListener(LSoundRecorderNotify* pListener, uint32_t uCookie);
    void SetRecordDevice(const LSoundRecordDevice& device) { m_device = device; }
    const LSoundRecordDevice& GetRecordDevice() const { return m_device; }

    // Captures into the sink; true once the device is capturing. False for an
    // empty or unusable sink, a device that cannot be opened for the sink's
    // rate and channel count, or a capture thread that does not report within
    // kStartTimeoutMs; the sink is then released and the listener hears nothing.
    // A max time of 0 or less has no limit; otherwise the sink takes frames up
    // to exactly that sink time and the capture thread ends there, whenever
    // the main loop gets round to the Stop that tells the listener. Levels
    // are dB (-127..127).
    bool Start(const LSoundSinkRef& sink, uint32_t uFlags, int32_t nMaxTimeMs, int nStartLevelDb, int32_t nHangTimeMs);

    // Ends capture (the device's last audio is still written), cuts the
    // trailing quiet back to 50 ms after the last loud block, releases the
    // sink and calls OnStopped. Nothing when stopped.
    void Stop();

    uint8_t GetRecordState() const { return m_nRecordState.load(std::memory_order_acquire); }
    int32_t GetLastLoudTime() const { return m_nLastLoudTime.load(std::memory_order_acquire); }
    LChannelLevels GetLevels() const;
    // Why the last Start failed, as the device said; empty when it did not.
    std::string GetLastError() const;

    // The block the thread works in (see LSoundTime::BlockFrames).
    static uint32_t BlockFrames(int32_t nRate) { return LSoundTime::BlockFrames(nRate); }

    // How long Stop waits for the thread; tests shorten it.
    void SetStopTimeoutMs(uint32_t uMs) { m_uStopTimeoutMs = uMs; }

protected:
    void ThreadFunction() override;
    void EvNotify() override;

private:
    void StopRecording(bool bNotify);
    void SetError(const std::string& text);
    void PublishLevels(const int8_t* pLevels, uint32_t uChannels);

    LNotifier m_notifier;
    LSoundRecorderNotify m_defaultListener;
    LSoundRecorderNotify* m_pListener = &m_defaultListener;
    uint32_t m_uCookie = 0;
    LSoundRecordDevice m_device;
    uint32_t m_uStopTimeoutMs = kStopTimeoutMs;

    // Main-loop thread's reference; the thread takes its own from m_threadSink.
    LSoundSinkRef m_sink;
    LSoundSinkRef m_threadSink;

    // Fixed by Start before the thread starts; read by the thread.
    int32_t m_nMaxTime = 0;
    int8_t m_nStartLevel = 0;
    int8_t m_nStopLevel = 0;
    int32_t m_nHangTime = 0;

    // Shared with the thread, which writes them before it posts.
    std::atomic<uint8_t> m_nRecordState { kStateStopped };
    std::atomic<int32_t> m_nLastLoudTime { 0 };
    std::atomic<uint8_t> m_nLevelCount { 0 };
    std::atomic<int8_t> m_levels[LChannelLevels::kMaxChannels] {};
    std::atomic<bool> m_bMaxTimeFlag { false };
    std::atomic<bool> m_bLevelsFlag { false };
    std::atomic<bool> m_bStateFlag { false };
    std::atomic<bool> m_bDeviceEndedFlag { false };

    LSignalObject m_started;
    mutable std::mutex m_errorLock;
    std::string m_szError;
};
