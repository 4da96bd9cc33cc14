#include "sound/device/LSoundPlayer.h"

#include "platform/LPcmBackend.h"
#include "sound/LSoundTime.h"
#include "sound/convert/LFactoryPeakLimit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

// How long the thread waits at one look, so that seek requests and the
// position are seen promptly. A stop also ends a wait for room in the device
// at once, through the stop signal's descriptor.
constexpr uint32_t kSliceMs = 10;

int16_t ToPcm16(int32_t x)
{
    return static_cast<int16_t>(std::clamp(x >> 4, -32768, 32767));
}

} // namespace

LSoundPlayer::LSoundPlayer(LMainLoop& loop)
    : LThreadQueuedNotify(loop)
    , m_notifier(GetNotifier())
{
}

LSoundPlayer::~LSoundPlayer()
{
    StopPlaying(false);
    StopThreadAndWait();
}

void LSoundPlayer::SetListener(LSoundPlayerNotify* pListener, uint32_t uCookie)
{
    m_pListener = pListener ? pListener : &m_defaultListener;
    m_uCookie = uCookie;
}

int8_t LSoundPlayer::MeanSquareLevel(const int32_t* pSamples, uint32_t uChannels, uint32_t uChannel, uint32_t uFrames)
{
    if (uFrames == 0 || uChannel >= uChannels)
        return LChannelLevels::kSilence;
    uint64_t sum = 0;
    for (uint32_t i = 0; i < uFrames; ++i) {
        int64_t x = pSamples[size_t(i) * uChannels + uChannel] >> 5;
        sum += static_cast<uint64_t>(x * x);
    }
    uint64_t mean = sum / uFrames;
    if (mean == 0)
        return LChannelLevels::kSilence;
    constexpr double kZeroDb = 8388626.0;
    double dB = 10.0 * std::log10(double(mean) / kZeroDb);
    dB += double(mean) < kZeroDb ? -0.5 : 0.5;
    return LChannelLevels::Clamp(static_cast<int>(std::clamp(dB, -1000.0, 1000.0)));
}

int32_t LSoundPlayer::TimeOf(int64_t nFrames) const
{
    return LSoundTime::FromSamples(nFrames, m_nRate).Ms();
}

void LSoundPlayer::Publish(int64_t nPosition, uint32_t uGeneration, const int8_t* pLevels)
{
    // An odd count marks a snapshot being written. Release stores keep the
    // odd count ahead of every field, so a reader that sees a new field also
    // sees the count move.
    const uint32_t uSeq = m_uSeq.load(std::memory_order_relaxed);
    m_uSeq.store(uSeq + 1, std::memory_order_relaxed);
    m_nSnapPosition.store(nPosition, std::memory_order_release);
    m_uSnapGeneration.store(uGeneration, std::memory_order_release);
    if (pLevels) {
        m_nSnapCount.store(static_cast<uint8_t>(m_uChannels), std::memory_order_release);
        for (uint32_t i = 0; i < m_uChannels; ++i)
            m_snapLevels[i].store(pLevels[i], std::memory_order_release);
    }
    m_uSeq.store(uSeq + 2, std::memory_order_release);
}

LSoundPlayer::Snapshot LSoundPlayer::ReadSnapshot() const
{
    // Acquire loads keep the second look at the count behind every field.
    Snapshot snap;
    for (;;) {
        const uint32_t uSeq = m_uSeq.load(std::memory_order_acquire);
        if (uSeq & 1) {
            std::this_thread::yield();
            continue;
        }
        snap.nPosition = m_nSnapPosition.load(std::memory_order_acquire);
        snap.uGeneration = m_uSnapGeneration.load(std::memory_order_acquire);
        snap.levels.nCount = m_nSnapCount.load(std::memory_order_acquire);
        for (int i = 0; i < snap.levels.nCount; ++i)
            snap.levels.nLevel[i] = m_snapLevels[i].load(std::memory_order_acquire);
        if (m_uSeq.load(std::memory_order_acquire) == uSeq)
            return snap;
    }
}

bool LSoundPlayer::Start(const LSoundSourceRef& source)
{
    Stop();
    m_szError.clear();
    if (!source || !source->IsUsable()) {
        m_szError = "the sound cannot be played";
        return false;
    }
    LSoundSourceRef play = source;
    if (source->MaxAmplitude() > kMaxAmplitudePCM) {
        play = LFactoryPeakLimit(kMaxAmplitudePCM).OpenSource(source);
        if (!play || !play->IsUsable()) {
            m_szError = "the peak limiter cannot be used on the sound";
            return false;
        }
    }
    m_nRate = play->SampleRate();
    m_uChannels = std::max<uint32_t>(1, play->NumChannels());
    m_uBlock = BlockFrames(m_nRate);
    const LPcmStreamParams params { static_cast<uint32_t>(m_nRate), m_uChannels, m_uBlock, kRingBlocks };
    const uint32_t device = m_device.nDevice > 0 ? static_cast<uint32_t>(m_device.nDevice) : 0;
    std::string error;
    m_pPlayback = LPcmBackend::Current().OpenPlayback(device, params, &error);
    if (!m_pPlayback && device != 0) // once more on the default output
        m_pPlayback = LPcmBackend::Current().OpenPlayback(0, params, nullptr);
    if (!m_pPlayback) {
        m_szError = error.empty() ? "the sound output cannot be opened" : error;
        return false;
    }
    m_source = play;
    const int64_t nPosition = play->GetPosition();
    m_nLength.store(play->GetLength(), std::memory_order_relaxed);
    m_nEndGeneration.store(-1, std::memory_order_relaxed);
    m_bPositionFlag.store(false, std::memory_order_relaxed);
    std::vector<int8_t> quiet(m_uChannels, LChannelLevels::kSilence);
    Publish(nPosition, m_uGeneration.load(std::memory_order_relaxed), quiet.data());
    if (!LThread::Start(kPriorityBelowNormal)) {
        m_pPlayback.reset();
        m_source = LSoundSourceRef();
        m_szError = "the player thread cannot be started";
        return false;
    }
    m_bActive = true;
    m_pListener->OnPlaying(m_uCookie);
    if (m_bActive)
        m_pListener->OnTime(m_uCookie, TimeOf(nPosition));
    return true;
}

void LSoundPlayer::Seek(int64_t nFrame)
{
    if (!m_bActive)
        return;
    nFrame = std::clamp<int64_t>(nFrame, 0, std::max<int64_t>(0, m_nLength.load(std::memory_order_relaxed)));
    m_nSeekTarget.store(nFrame, std::memory_order_relaxed);
    m_uGeneration.fetch_add(1, std::memory_order_release);
    m_bPositionFlag.store(false, std::memory_order_relaxed);
    m_pListener->OnTime(m_uCookie, TimeOf(nFrame));
}

void LSoundPlayer::Stop()
{
    StopPlaying(true);
}

void LSoundPlayer::StopPlaying(bool bNotify)
{
    if (!m_bActive)
        return;
    m_bActive = false;
    if (StopThreadTimed(m_uStopTimeoutMs)) {
        m_pPlayback.reset();
        m_source = LSoundSourceRef();
    } else {
        // The thread still holds the device and the source; they stay alive
        // with this object and go when it has ended.
        std::fprintf(stderr, "LSoundPlayer::Stop() the player thread has not ended\n");
    }
    m_bPositionFlag.store(false, std::memory_order_relaxed);
    m_nEndGeneration.store(-1, std::memory_order_relaxed);
    if (bNotify)
        m_pListener->OnStopped(m_uCookie);
}

void LSoundPlayer::EvNotify()
{
    if (!m_bActive)
        return;
    const uint32_t uGeneration = m_uGeneration.load(std::memory_order_acquire);
    if (m_nEndGeneration.load(std::memory_order_acquire) == int64_t(uGeneration)) {
        m_pListener->OnTime(m_uCookie, TimeOf(m_nLength.load(std::memory_order_relaxed)));
        if (m_bActive && m_uGeneration.load(std::memory_order_acquire) == uGeneration)
            Stop();
        return;
    }
    if (m_bPositionFlag.exchange(false, std::memory_order_acq_rel)) {
        const Snapshot snap = ReadSnapshot();
        if (snap.uGeneration != uGeneration)
            return;
        m_pListener->OnTime(m_uCookie, TimeOf(snap.nPosition));
        if (m_bActive)
            m_pListener->OnLevels(m_uCookie, snap.levels);
    }
}

void LSoundPlayer::ThreadFunction()
{
    LPcmPlayback& device = *m_pPlayback;
    device.SetWakeFd(StopFd());
    LSoundSourceBase& source = *m_source;
    const uint32_t uBlock = m_uBlock;
    const uint32_t uChannels = m_uChannels;

    // Everything the loop needs is allocated here, before the first block.
    std::vector<int32_t> samples(size_t(uBlock) * uChannels);
    std::vector<int16_t> pcm(size_t(uBlock) * uChannels);
    // One record per block queued on the device: the frame count written
    // once it is through, and the source position after it.
    struct Record {
        uint64_t uEnd = 0;
        int64_t nPosition = 0;
    };
    const size_t capacity = std::max<size_t>(kRingBlocks, device.BufferFrames() / uBlock) + 4;
    std::vector<Record> ring(capacity);
    std::vector<int8_t> ringLevels(capacity * uChannels);
    std::vector<int8_t> blockLevels(uChannels);
    size_t head = 0, tail = 0, queued = 0;

    uint32_t uGeneration = m_uSnapGeneration.load(std::memory_order_relaxed);
    uint64_t uWritten = 0; // frames written since the device was last dropped
    uint64_t uHeard = 0;
    bool bPending = false; // a block read and not yet wholly written
    uint32_t uPendingFrames = 0, uPendingDone = 0;
    int64_t nPendingPosition = 0;
    bool bExhausted = false;
    bool bEnded = false;
    Clock::time_point lastProgress = Clock::now();

    auto finish = [&] {
        bEnded = true;
        m_nEndGeneration.store(uGeneration, std::memory_order_release);
        m_notifier.Post();
    };
    const auto stalledAfter = std::chrono::milliseconds(m_uStalledMs);
    auto stalled = [&] { return Clock::now() - lastProgress > stalledAfter; };

    while (!IsStopRequested()) {
        const uint32_t uWanted = m_uGeneration.load(std::memory_order_acquire);
        if (uWanted != uGeneration) {
            uGeneration = uWanted;
            device.Drop();
            uWritten = uHeard = 0;
            head = tail = queued = 0;
            bPending = bExhausted = bEnded = false;
            source.Seek(m_nSeekTarget.load(std::memory_order_relaxed));
            m_nLength.store(source.GetLength(), std::memory_order_relaxed);
            Publish(source.GetPosition(), uGeneration, nullptr);
            m_bPositionFlag.store(true, std::memory_order_release);
            m_notifier.Post();
            lastProgress = Clock::now();
        }
        if (bEnded) {
            WaitForStop(kSliceMs);
            continue;
        }

        // What the device has played: every block wholly through is heard.
        const int32_t nDelay = device.Delay();
        const uint64_t uNowHeard = uWritten - std::min<uint64_t>(uWritten, nDelay > 0 ? uint64_t(nDelay) : 0);
        if (uNowHeard > uHeard) {
            uHeard = uNowHeard;
            lastProgress = Clock::now();
        }
        size_t last = capacity;
        while (queued > 0 && ring[tail].uEnd <= uHeard) {
            last = tail;
            tail = (tail + 1) % capacity;
            --queued;
        }
        if (last != capacity) {
            Publish(ring[last].nPosition, uGeneration, &ringLevels[last * uChannels]);
            m_bPositionFlag.store(true, std::memory_order_release);
            m_notifier.Post();
        }

        if (!bPending && !bExhausted && queued < capacity) {
            const int64_t nPosition = source.GetPosition();
            const int64_t nLength = source.GetLength();
            m_nLength.store(nLength, std::memory_order_relaxed);
            const int64_t nLeft = nLength - nPosition;
            if (nLeft <= 0) {
                bExhausted = true;
            } else {
                const uint32_t uFrames = static_cast<uint32_t>(std::min<int64_t>(nLeft, uBlock));
                source.Read(samples.data(), static_cast<int32_t>(uFrames));
                const size_t count = size_t(uFrames) * uChannels;
                for (size_t i = 0; i < count; ++i)
                    pcm[i] = ToPcm16(samples[i]);
                for (uint32_t c = 0; c < uChannels; ++c)
                    blockLevels[c] = MeanSquareLevel(samples.data(), uChannels, c, uFrames);
                bPending = true;
                uPendingFrames = uFrames;
                uPendingDone = 0;
                nPendingPosition = nPosition + uFrames;
            }
        }

        if (!bPending) {
            if (bExhausted && queued == 0) {
                finish(); // the end has been heard
                continue;
            }
            if (stalled()) {
                finish();
                continue;
            }
            WaitForStop(kSliceMs);
            continue;
        }

        const int32_t nRoom = device.WaitWritable(kSliceMs);
        if (nRoom < 0) {
            finish(); // the device failed: as if the end had been reached
            continue;
        }
        if (nRoom == 0) {
            if (stalled())
                finish();
            continue;
        }
        const uint32_t uFrames = std::min<uint32_t>(static_cast<uint32_t>(nRoom), uPendingFrames - uPendingDone);
        const int32_t nDone = device.Write(pcm.data() + size_t(uPendingDone) * uChannels, uFrames);
        if (nDone < 0) {
            finish();
            continue;
        }
        if (nDone > 0) {
            uPendingDone += static_cast<uint32_t>(nDone);
            uWritten += static_cast<uint32_t>(nDone);
            lastProgress = Clock::now();
        }
        if (uPendingDone == uPendingFrames) {
            ring[head] = { uWritten, nPendingPosition };
            std::copy(blockLevels.begin(), blockLevels.end(), ringLevels.begin() + head * uChannels);
            head = (head + 1) % capacity;
            ++queued;
            bPending = false;
        }
    }
}
