#include "platform/LAlsaBackend.h"

#include "platform/LAlsaMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <poll.h>

namespace {

// ALSA prints its own diagnostics to stderr; every failure comes back to us as
// a code, which the callers turn into their own text.
void SilentErrorHandler(const char*, int, const char*, int, const char*, ...)
{
}

void InstallErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(SilentErrorHandler); });
}

void SetError(std::string* pError, const std::string& text)
{
    if (pError)
        *pError = text;
}

std::string HintText(void* pHint, const char* szId)
{
    char* p = snd_device_name_get_hint(pHint, szId);
    if (!p)
        return {};
    std::string text(p);
    free(p);
    return text;
}

// The PCM name of device n of a direction, or empty when there is none.
std::string PcmName(LPcmBackend::Direction direction, uint32_t device, std::string* pError)
{
    if (device == 0)
        return "default";
    std::vector<LPcmDeviceInfo> devices = LAlsaBackend::Instance().ListDevices(direction);
    if (device > devices.size()) {
        SetError(pError,
            std::string("there is no sound ") + (direction == LPcmBackend::Direction::Capture ? "input" : "output")
                + " device " + std::to_string(device));
        return {};
    }
    return devices[device - 1].szId;
}

std::string AlsaText(const char* szWhat, int err)
{
    return std::string(szWhat) + ": " + snd_strerror(err);
}

// Opens name for interleaved S16_LE frames at exactly the rate and channel
// count asked, in non-blocking mode; the buffer is periods x period, as near
// as the device allows.
snd_pcm_t* OpenPcm(const std::string& name, snd_pcm_stream_t stream, const LPcmStreamParams& params,
    snd_pcm_uframes_t* pBufferFrames, std::string* pError)
{
    InstallErrorHandler();
    if (params.uRate == 0 || params.uChannels == 0 || params.uPeriodFrames == 0) {
        SetError(pError, "invalid stream format");
        return nullptr;
    }
    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (err < 0) {
        SetError(pError, AlsaText(("cannot open sound device \"" + name + "\"").c_str(), err));
        return nullptr;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    std::string failure;
    do {
        if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0) {
            failure = AlsaText("the device has no usable configuration", err);
            break;
        }
        // Conversions made by ALSA itself would hide a rate the device
        // cannot take; the caller wants to hear of that.
        snd_pcm_hw_params_set_rate_resample(pcm, hw, 0);
        if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0) {
            failure = AlsaText("the device refuses interleaved read/write access", err);
            break;
        }
        if ((err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE)) < 0) {
            failure = AlsaText("the device refuses 16-bit samples", err);
            break;
        }
        if ((err = snd_pcm_hw_params_set_channels(pcm, hw, params.uChannels)) < 0) {
            failure = "the device refuses " + std::to_string(params.uChannels) + " channel(s)";
            break;
        }
        if ((err = snd_pcm_hw_params_set_rate(pcm, hw, params.uRate, 0)) < 0) {
            failure = "the device refuses a rate of " + std::to_string(params.uRate) + " Hz";
            break;
        }
        snd_pcm_uframes_t period = params.uPeriodFrames;
        int dir = 0;
        snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir);
        snd_pcm_uframes_t buffer = period * std::max<uint32_t>(params.uPeriods, 2);
        snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
        if ((err = snd_pcm_hw_params(pcm, hw)) < 0) {
            failure = AlsaText("the device refuses the stream's configuration", err);
            break;
        }
        snd_pcm_hw_params_get_buffer_size(hw, &buffer);
        snd_pcm_hw_params_get_period_size(hw, &period, &dir);

        snd_pcm_sw_params_t* sw = nullptr;
        snd_pcm_sw_params_alloca(&sw);
        snd_pcm_sw_params_current(pcm, sw);
        snd_pcm_sw_params_set_avail_min(pcm, sw, std::max<snd_pcm_uframes_t>(1, std::min(period, buffer / 2)));
        // Playback starts with the first write; capture with Start.
        snd_pcm_sw_params_set_start_threshold(pcm, sw, stream == SND_PCM_STREAM_PLAYBACK ? 1 : buffer);
        if ((err = snd_pcm_sw_params(pcm, sw)) < 0) {
            failure = AlsaText("the device refuses its software parameters", err);
            break;
        }
        *pBufferFrames = buffer;
        return pcm;
    } while (false);
    SetError(pError, failure);
    snd_pcm_close(pcm);
    return nullptr;
}

// snd_pcm_wait with a wake descriptor polled beside the device's own: 1 when
// the device is ready (or may be: the caller looks again), 0 when the time-out
// passed or the wake descriptor is readable, a negative code as snd_pcm_wait
// gives it for an overrun, underrun or suspend.
int WaitPcm(snd_pcm_t* pcm, int wakeFd, int timeoutMs)
{
    constexpr int kMaxFds = 15;
    const int nCount = snd_pcm_poll_descriptors_count(pcm);
    if (wakeFd < 0 || nCount <= 0 || nCount > kMaxFds)
        return snd_pcm_wait(pcm, timeoutMs);
    pollfd fds[kMaxFds + 1];
    if (snd_pcm_poll_descriptors(pcm, fds, static_cast<unsigned>(nCount)) != nCount)
        return snd_pcm_wait(pcm, timeoutMs);
    fds[nCount] = { wakeFd, POLLIN, 0 };
    const int nReady = poll(fds, static_cast<nfds_t>(nCount + 1), timeoutMs);
    if (nReady < 0)
        return errno == EINTR ? 1 : -errno;
    if (nReady == 0 || (fds[nCount].revents & POLLIN))
        return 0;
    unsigned short uEvents = 0;
    if (snd_pcm_poll_descriptors_revents(pcm, fds, static_cast<unsigned>(nCount), &uEvents) < 0)
        return 1;
    if (uEvents & (POLLERR | POLLNVAL)) {
        switch (snd_pcm_state(pcm)) {
        case SND_PCM_STATE_XRUN:
            return -EPIPE;
        case SND_PCM_STATE_SUSPENDED:
            return -ESTRPIPE;
        case SND_PCM_STATE_DISCONNECTED:
            return -ENODEV;
        default:
            return 1;
        }
    }
    return 1;
}

class LAlsaCapture : public LPcmCapture {
public:
    LAlsaCapture(snd_pcm_t* pcm, uint32_t channels, snd_pcm_uframes_t bufferFrames)
        : m_pcm(pcm)
        , m_uChannels(channels)
        , m_uBufferFrames(static_cast<uint32_t>(bufferFrames))
    {
    }
    ~LAlsaCapture() override { snd_pcm_close(m_pcm); }

    bool Start() override
    {
        snd_pcm_state_t state = snd_pcm_state(m_pcm);
        if (state == SND_PCM_STATE_RUNNING)
            return true;
        if (state != SND_PCM_STATE_PREPARED && snd_pcm_prepare(m_pcm) < 0)
            return false;
        return snd_pcm_start(m_pcm) >= 0;
    }

    int32_t Read(int16_t* pSamples, uint32_t maxFrames, uint32_t timeoutMs) override
    {
        // The file plugin refuses a read larger than its buffer.
        maxFrames = std::min(maxFrames, m_uBufferFrames);
        if (maxFrames == 0)
            return 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            snd_pcm_sframes_t avail = snd_pcm_avail_update(m_pcm);
            if (avail < 0) {
                if (!Recover(static_cast<int>(avail)))
                    return kError;
                continue;
            }
            if (avail == 0) {
                auto now = std::chrono::steady_clock::now();
                if (now >= deadline)
                    return 0;
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
                int waited = WaitPcm(m_pcm, m_wakeFd, static_cast<int>(std::max<int64_t>(1, left)));
                if (waited < 0 && !Recover(waited))
                    return kError;
                if (waited == 0)
                    return 0;
                continue;
            }
            // A plugin that only counts frames (null) leaves the buffer as it
            // was: what it delivers must then read as silence, not as old data.
            uint32_t frames = std::min<uint32_t>(maxFrames, static_cast<uint32_t>(avail));
            std::memset(pSamples, 0, size_t(frames) * m_uChannels * sizeof(int16_t));
            snd_pcm_sframes_t got = snd_pcm_readi(m_pcm, pSamples, frames);
            if (got == 0)
                return kEnd; // a file-fed device at the end of its file
            if (got == -EAGAIN)
                return 0;
            if (got < 0) {
                if (!Recover(static_cast<int>(got)))
                    return kError;
                continue;
            }
            return static_cast<int32_t>(got);
        }
    }

    void Stop() override { snd_pcm_drop(m_pcm); }

private:
    bool Recover(int err)
    {
        if (err == -EAGAIN)
            return true;
        if (snd_pcm_recover(m_pcm, err, 1) < 0)
            return false;
        // After an overrun the stream is prepared again; it must also run.
        if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
            return snd_pcm_start(m_pcm) >= 0;
        return true;
    }

    snd_pcm_t* m_pcm;
    uint32_t m_uChannels;
    uint32_t m_uBufferFrames;
};

class LAlsaPlayback : public LPcmPlayback {
public:
    LAlsaPlayback(snd_pcm_t* pcm, snd_pcm_uframes_t bufferFrames)
        : m_pcm(pcm)
        , m_uBufferFrames(static_cast<uint32_t>(bufferFrames))
    {
    }
    ~LAlsaPlayback() override
    {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
    }

    int32_t WaitWritable(uint32_t timeoutMs) override
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            snd_pcm_sframes_t avail = snd_pcm_avail_update(m_pcm);
            if (avail < 0) {
                if (!Recover(static_cast<int>(avail)))
                    return kError;
                continue;
            }
            if (avail > 0)
                return static_cast<int32_t>(std::min<snd_pcm_sframes_t>(avail, m_uBufferFrames));
            auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return 0;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            int waited = WaitPcm(m_pcm, m_wakeFd, static_cast<int>(std::max<int64_t>(1, left)));
            if (waited < 0 && !Recover(waited))
                return kError;
            if (waited == 0)
                return 0;
        }
    }

    int32_t Write(const int16_t* pSamples, uint32_t frames) override
    {
        if (frames == 0)
            return 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            snd_pcm_sframes_t done = snd_pcm_writei(m_pcm, pSamples, frames);
            if (done >= 0)
                return static_cast<int32_t>(done);
            if (done == -EAGAIN)
                return 0;
            if (!Recover(static_cast<int>(done)))
                return kError;
        }
        return 0;
    }

    int32_t Delay() override
    {
        snd_pcm_state_t state = snd_pcm_state(m_pcm);
        if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_DRAINING)
            return 0; // after an underrun everything written has been heard
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(m_pcm, &delay) < 0)
            return 0;
        return static_cast<int32_t>(std::clamp<snd_pcm_sframes_t>(delay, 0, m_uBufferFrames));
    }

    void Drop() override
    {
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
    }

    bool Drain(uint32_t timeoutMs) override
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Delay() > 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Lets plugins flush what they hold (the file plugin's last period).
        snd_pcm_drain(m_pcm);
        snd_pcm_prepare(m_pcm);
        return true;
    }

    uint32_t BufferFrames() const override { return m_uBufferFrames; }

private:
    bool Recover(int err)
    {
        if (err == -EAGAIN)
            return true;
        return snd_pcm_recover(m_pcm, err, 1) >= 0;
    }

    snd_pcm_t* m_pcm;
    uint32_t m_uBufferFrames;
};

} // namespace

LAlsaBackend& LAlsaBackend::Instance()
{
    static LAlsaBackend backend;
    return backend;
}

// The converter and filter stages that ALSA's plugin packages add to the
// list (rate converters, up- and downmix, Speex DSP, the A52 encoder) are no
// sound devices: they need another PCM beneath them. Their hints name no card
// ("CARD=" in a card's devices) and describe them as a plugin; the cards'
// devices and the sound servers (PulseAudio, PipeWire, JACK) are what a
// desktop's sound menu offers, and stay.
static bool IsConverterStage(const std::string& name, const std::string& description)
{
    if (name.find("CARD=") != std::string::npos)
        return false;
    std::string lower = description;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.find("plugin") != std::string::npos;
}

std::vector<LPcmDeviceInfo> LAlsaBackend::ListDevices(Direction direction)
{
    InstallErrorHandler();
    std::vector<LPcmDeviceInfo> devices;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints)
        return devices;
    const char* szSkip = direction == Direction::Capture ? "Output" : "Input";
    for (void** p = hints; *p; ++p) {
        std::string name = HintText(*p, "NAME");
        // Device 0 stands for the default, and "null" is no device to offer.
        if (name.empty() || name == "default" || name == "null")
            continue;
        std::string ioid = HintText(*p, "IOID");
        if (ioid == szSkip)
            continue;
        std::string description = HintText(*p, "DESC");
        if (IsConverterStage(name, description))
            continue;
        std::replace(description.begin(), description.end(), '\n', ' ');
        devices.push_back({ name, description.empty() ? name : description });
    }
    snd_device_name_free_hint(hints);
    return devices;
}

std::unique_ptr<LPcmCapture> LAlsaBackend::OpenCapture(
    uint32_t device, const LPcmStreamParams& params, std::string* pError)
{
    std::string name = PcmName(Direction::Capture, device, pError);
    if (name.empty())
        return nullptr;
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_t* pcm = OpenPcm(name, SND_PCM_STREAM_CAPTURE, params, &buffer, pError);
    if (!pcm)
        return nullptr;
    return std::make_unique<LAlsaCapture>(pcm, params.uChannels, buffer);
}

std::unique_ptr<LPcmPlayback> LAlsaBackend::OpenPlayback(
    uint32_t device, const LPcmStreamParams& params, std::string* pError)
{
    std::string name = PcmName(Direction::Playback, device, pError);
    if (name.empty())
        return nullptr;
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_t* pcm = OpenPcm(name, SND_PCM_STREAM_PLAYBACK, params, &buffer, pError);
    if (!pcm)
        return nullptr;
    return std::make_unique<LAlsaPlayback>(pcm, buffer);
}

std::unique_ptr<LMixerDevice> LAlsaBackend::OpenMixer(Direction direction, uint32_t device, std::string* pError)
{
    std::string name = PcmName(direction, device, pError);
    if (name.empty())
        return nullptr;
    InstallErrorHandler();
    return LAlsaMixer::Open(name, pError);
}

void LAlsaBackend::ReloadConfiguration()
{
    snd_config_update_free_global();
}
