// The ALSA simple mixer of the card behind a PCM device ("default" uses the
// default control device). Used by one thread at a time.
#pragma once

#include "platform/LMixerDevice.h"

#include <memory>
#include <string>

typedef struct _snd_mixer snd_mixer_t;
typedef struct _snd_mixer_elem snd_mixer_elem_t;

class LAlsaMixer : public LMixerDevice {
public:
    // The control device of the card that PCM name pcmName plays on; null
    // with the reason when it has none.
    static std::unique_ptr<LMixerDevice> Open(const std::string& pcmName, std::string* pError);
    // The control device name for a PCM name: "default" for "default",
    // "hw:CARD=x" for names that say CARD=x or hw:n; empty when none is known.
    static std::string ControlNameFor(const std::string& pcmName);

    ~LAlsaMixer() override;

    std::vector<std::string> ListCaptureSources() override;
    Result SelectCaptureSource(size_t index) override;
    std::string CaptureVolumeName() override;
    Result SetCaptureVolume(double fraction) override;
    Result GetCaptureVolume(double* pFraction) override;
    Result SetPlaybackVolume(double fraction) override;
    Result GetPlaybackVolume(double* pFraction) override;
    Result SetCaptureVolumeDb(double dB) override;
    Result GetCaptureVolumeDb(double* pdB) override;
    Result SetPlaybackVolumeDb(double dB) override;
    Result GetPlaybackVolumeDb(double* pdB) override;

private:
    explicit LAlsaMixer(snd_mixer_t* pMixer);
    snd_mixer_elem_t* CaptureSourceEnum() const;
    std::vector<snd_mixer_elem_t*> CaptureSwitches() const;
    snd_mixer_elem_t* CaptureVolumeElement() const;
    snd_mixer_elem_t* PlaybackVolumeElement() const;

    snd_mixer_t* m_pMixer;
};
