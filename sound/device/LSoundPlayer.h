// Plays a source on a sound output from a thread of its own, and reports the
// position and levels of what is being heard (not of what was last queued),
// seeks without reopening the device, and tells its listener when the end
// has been heard. Start, Seek, Stop and the listener's calls belong to the
// main-loop thread; between Start and Stop the player thread alone calls the
// source and the device.
#pragma once

#include "foundation/LThread.h"
#include "foundation/LThreadQueuedNotify.h"
#include "sound/LSoundSourceBase.h"
#include "sound/LSoundTime.h"
#include "sound/device/LChannelLevels.h"
#include "sound/device/LSoundPlayDevice.h"
#include "sound/device/LSoundPlayerNotify.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class LMainLoop;
class LPcmPlayback;

class LSoundPlayer : public LThread, public LThreadQueuedNotify {
public:
    // The device buffer holds this many blocks: seconds of slack for a busy
    // machine, while positions still follow what is heard.
    static constexpr uint32_t kRingBlocks = 64;
    // A device that takes nothing for this long (64 looks of 150 ms) has
    // stopped: playback ends as if the end had been heard.
    static constexpr uint32_t kStalledMs = 64 * 150;
    static constexpr uint32_t kStopTimeoutMs = 5000;

    explicit LSoundPlayer(LMainLoop& loop);
    ~LSoundPlayer() override;

    // Before Start. The listener must outlive the playback; null restores
    // the do-nothing listener.
    void SetListener(LSoundPlayerNotify* pListener, uint32_t uCookie);
    void SetPlayDevice(const LSoundPlayDevice& device) { m_device = device; }
    const LSoundPlayDevice& GetPlayDevice() const { return m_device; }

    // Plays the source from its position; true when playing. False for a
    // source in error, a failed peak limiter or a device that cannot be opened
    // for the source's rate and channel count (GetLastError says why).
    bool Start(const LSoundSourceRef& source);
    // Jumps to a frame of the source while playing; nothing when stopped.
    void Seek(int64_t nFrame);
    // Ends playing, closes the device, releases the source, calls OnStopped.
    // Nothing when stopped.
    void Stop();

    bool IsPlaying() const { return m_bActive; }
    std::string GetLastError() const { return m_szError; }

    // The block the thread works in (see LSoundTime::BlockFrames).
    static uint32_t BlockFrames(int32_t nRate) { return LSoundTime::BlockFrames(nRate); }
    // The level of one channel of interleaved internal-form samples, from
    // their mean square: 0 dB for a sine of a quarter of 16-bit full scale.
    static int8_t MeanSquareLevel(const int32_t* pSamples, uint32_t uChannels, uint32_t uChannel, uint32_t uFrames);

    // How long Stop waits for the thread, and how long a device may take
    // nothing before playback ends; tests shorten them.
    void SetStopTimeoutMs(uint32_t uMs) { m_uStopTimeoutMs = uMs; }
    void SetStalledMs(uint32_t uMs) { m_uStalledMs = uMs; }

protected:
    void ThreadFunction() override;
    void EvNotify() override;

private:
    // What the thread tells the main-loop thread: written whole under a
    // sequence count, so a reader never waits and never sees half of one.
    struct Snapshot {
        int64_t nPosition = 0;
        uint32_t uGeneration = 0;
        LChannelLevels levels;
    };
    void Publish(int64_t nPosition, uint32_t uGeneration, const int8_t* pLevels);
    Snapshot ReadSnapshot() const;
    void StopPlaying(bool bNotify);
    int32_t TimeOf(int64_t nFrames) const;

    LNotifier m_notifier;
    LSoundPlayerNotify m_defaultListener;
    LSoundPlayerNotify* m_pListener = &m_defaultListener;
    uint32_t m_uCookie = 0;
    LSoundPlayDevice m_device;
    uint32_t m_uStopTimeoutMs = kStopTimeoutMs;
    uint32_t m_uStalledMs = kStalledMs;
    std::string m_szError;
    bool m_bActive = false;

    // Fixed by Start before the thread runs, released by Stop after it ended.
    LSoundSourceRef m_source;
    std::unique_ptr<LPcmPlayback> m_pPlayback;
    int32_t m_nRate = 44100;
    uint32_t m_uChannels = 1;
    uint32_t m_uBlock = 0;

    // Seeks: the main-loop thread bumps the generation with a new target; the
    // thread carries them out and tags what it publishes with the generation,
    // so nothing queued before a seek reports a position after it.
    std::atomic<uint32_t> m_uGeneration { 0 };
    std::atomic<int64_t> m_nSeekTarget { 0 };
    std::atomic<int64_t> m_nLength { 0 };

    std::atomic<uint32_t> m_uSeq { 0 };
    std::atomic<int64_t> m_nSnapPosition { 0 };
    std::atomic<uint32_t> m_uSnapGeneration { 0 };
    std::atomic<uint8_t> m_nSnapCount { 0 };
    std::atomic<int8_t> m_snapLevels[LChannelLevels::kMaxChannels] {};

    std::atomic<bool> m_bPositionFlag { false };
    // The generation whose end was heard (or whose device failed), or -1.
    std::atomic<int64_t> m_nEndGeneration { -1 };
};
