// The mixer controls that belong to one sound device: the capture inputs to
// choose from, the capture volume and the playback volume. Opened through
// LPcmBackend::OpenMixer and used by one thread at a time.
#pragma once

#include <string>
#include <vector>

class LMixerDevice {
public:
    // NoControl: the device has no such control; nothing was changed.
    enum class Result { Ok, NoControl, Failed };

    virtual ~LMixerDevice() = default;

    // The inputs that can be chosen for recording, in the mixer's order.
    virtual std::vector<std::string> ListCaptureSources() = 0;
    // Makes input index the only one recorded from.
    virtual Result SelectCaptureSource(size_t index) = 0;
    // The control that the capture volume sets, as the mixer names it; empty
    // when there is none. A sound server's device has this volume alone.
    virtual std::string CaptureVolumeName() { return {}; }

    // Volumes as a fraction 0..1 of the control's range, on every channel;
    // setting one also unmutes it.
    virtual Result SetCaptureVolume(double fraction) = 0;
    virtual Result GetCaptureVolume(double* pFraction) = 0;
    virtual Result SetPlaybackVolume(double fraction) = 0;
    virtual Result GetPlaybackVolume(double* pFraction) = 0;

    // The same volumes in decibels as the control reports them.
    virtual Result SetCaptureVolumeDb(double dB) = 0;
    virtual Result GetCaptureVolumeDb(double* pdB) = 0;
    virtual Result SetPlaybackVolumeDb(double dB) = 0;
    virtual Result GetPlaybackVolumeDb(double* pdB) = 0;
};
