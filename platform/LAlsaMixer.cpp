#include "platform/LAlsaMixer.h"

#include <alsa/asoundlib.h>

#include <cctype>
#include <cmath>

namespace {

std::string ElemName(snd_mixer_elem_t* elem)
{
    const char* p = snd_mixer_selem_get_name(elem);
    return p ? p : "";
}

template <typename Pred> snd_mixer_elem_t* FindElement(snd_mixer_t* mixer, const char* const* names, Pred usable)
{
    for (const char* const* p = names; *p; ++p)
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
            if (snd_mixer_selem_is_active(e) && ElemName(e) == *p && usable(e))
                return e;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
        if (snd_mixer_selem_is_active(e) && usable(e))
            return e;
    return nullptr;
}

long FractionToRaw(double fraction, long min, long max)
{
    if (!(fraction >= 0.0))
        fraction = 0.0;
    if (fraction > 1.0)
        fraction = 1.0;
    return min + std::lround(fraction * double(max - min));
}

} // namespace

std::string LAlsaMixer::ControlNameFor(const std::string& pcmName)
{
    if (pcmName == "default")
        return "default";
    size_t card = pcmName.find("CARD=");
    if (card != std::string::npos) {
        size_t start = card + 5;
        size_t end = pcmName.find(',', start);
        std::string id = pcmName.substr(start, end == std::string::npos ? std::string::npos : end - start);
        return id.empty() ? std::string() : "hw:CARD=" + id;
    }
    size_t colon = pcmName.find(':');
    if (colon != std::string::npos) {
        std::string kind = pcmName.substr(0, colon);
        if (kind == "hw" || kind == "plughw") {
            size_t end = colon + 1;
            while (end < pcmName.size() && std::isdigit(static_cast<unsigned char>(pcmName[end])))
                ++end;
            if (end > colon + 1)
                return "hw:" + pcmName.substr(colon + 1, end - colon - 1);
        }
    }
    return {};
}

std::unique_ptr<LMixerDevice> LAlsaMixer::Open(const std::string& pcmName, std::string* pError)
{
    std::string control = ControlNameFor(pcmName);
    if (control.empty()) {
        if (pError)
            *pError = "sound device \"" + pcmName + "\" has no mixer";
        return nullptr;
    }
    snd_mixer_t* mixer = nullptr;
    int err = snd_mixer_open(&mixer, 0);
    if (err >= 0 && (err = snd_mixer_attach(mixer, control.c_str())) >= 0
        && (err = snd_mixer_selem_register(mixer, nullptr, nullptr)) >= 0 && (err = snd_mixer_load(mixer)) >= 0)
        return std::unique_ptr<LMixerDevice>(new LAlsaMixer(mixer));
    if (mixer)
        snd_mixer_close(mixer);
    if (pError)
        *pError = "no mixer for \"" + control + "\": " + snd_strerror(err);
    return nullptr;
}

LAlsaMixer::LAlsaMixer(snd_mixer_t* pMixer)
    : m_pMixer(pMixer)
{
}

LAlsaMixer::~LAlsaMixer()
{
    snd_mixer_close(m_pMixer);
}

snd_mixer_elem_t* LAlsaMixer::CaptureSourceEnum() const
{
    static const char* const names[] = { "Capture Source", "Input Source", nullptr };
    return FindElement(m_pMixer, names, [](snd_mixer_elem_t* e) { return snd_mixer_selem_is_enum_capture(e) != 0; });
}

std::vector<snd_mixer_elem_t*> LAlsaMixer::CaptureSwitches() const
{
    // The general "Capture" switch turns recording on and off; it is no input.
    std::vector<snd_mixer_elem_t*> list;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_pMixer); e; e = snd_mixer_elem_next(e))
        if (snd_mixer_selem_is_active(e) && snd_mixer_selem_has_capture_switch(e) && ElemName(e) != "Capture")
            list.push_back(e);
    return list;
}

snd_mixer_elem_t* LAlsaMixer::CaptureVolumeElement() const
{
    static const char* const names[] = { "Capture", "Mic", nullptr };
    return FindElement(m_pMixer, names, [](snd_mixer_elem_t* e) { return snd_mixer_selem_has_capture_volume(e) != 0; });
}

snd_mixer_elem_t* LAlsaMixer::PlaybackVolumeElement() const
{
    static const char* const names[] = { "Master", "PCM", "Speaker", "Headphone", nullptr };
    return FindElement(
        m_pMixer, names, [](snd_mixer_elem_t* e) { return snd_mixer_selem_has_playback_volume(e) != 0; });
}

std::vector<std::string> LAlsaMixer::ListCaptureSources()
{
    std::vector<std::string> names;
    if (snd_mixer_elem_t* e = CaptureSourceEnum()) {
        int count = snd_mixer_selem_get_enum_items(e);
        for (int i = 0; i < count; ++i) {
            char name[64] = {};
            if (snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof(name) - 1, name) < 0)
                break;
            names.push_back(name);
        }
        return names;
    }
    for (snd_mixer_elem_t* e : CaptureSwitches())
        names.push_back(ElemName(e));
    return names;
}

LMixerDevice::Result LAlsaMixer::SelectCaptureSource(size_t index)
{
    if (snd_mixer_elem_t* e = CaptureSourceEnum()) {
        int count = snd_mixer_selem_get_enum_items(e);
        if (count < 0 || index >= static_cast<size_t>(count))
            return Result::NoControl;
        for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch)
            if (snd_mixer_selem_has_capture_channel(e, static_cast<snd_mixer_selem_channel_id_t>(ch))
                && snd_mixer_selem_set_enum_item(
                       e, static_cast<snd_mixer_selem_channel_id_t>(ch), static_cast<unsigned>(index))
                    < 0)
                return Result::Failed;
        return Result::Ok;
    }
    std::vector<snd_mixer_elem_t*> switches = CaptureSwitches();
    if (index >= switches.size())
        return Result::NoControl;
    // The chosen input on first, so that an exclusive group never records nothing.
    if (snd_mixer_selem_set_capture_switch_all(switches[index], 1) < 0)
        return Result::Failed;
    for (size_t i = 0; i < switches.size(); ++i)
        if (i != index && snd_mixer_selem_set_capture_switch_all(switches[i], 0) < 0)
            return Result::Failed;
    return Result::Ok;
}

std::string LAlsaMixer::CaptureVolumeName()
{
    snd_mixer_elem_t* e = CaptureVolumeElement();
    return e ? ElemName(e) : std::string();
}

LMixerDevice::Result LAlsaMixer::SetCaptureVolume(double fraction)
{
    snd_mixer_elem_t* e = CaptureVolumeElement();
    if (!e)
        return Result::NoControl;
    long min = 0, max = 0;
    if (snd_mixer_selem_get_capture_volume_range(e, &min, &max) < 0
        || snd_mixer_selem_set_capture_volume_all(e, FractionToRaw(fraction, min, max)) < 0)
        return Result::Failed;
    if (snd_mixer_selem_has_capture_switch(e))
        snd_mixer_selem_set_capture_switch_all(e, 1);
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::GetCaptureVolume(double* pFraction)
{
    snd_mixer_elem_t* e = CaptureVolumeElement();
    if (!e)
        return Result::NoControl;
    long min = 0, max = 0, value = 0;
    if (snd_mixer_selem_get_capture_volume_range(e, &min, &max) < 0
        || snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return Result::Failed;
    *pFraction = max > min ? double(value - min) / double(max - min) : 0.0;
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::SetPlaybackVolume(double fraction)
{
    snd_mixer_elem_t* e = PlaybackVolumeElement();
    if (!e)
        return Result::NoControl;
    long min = 0, max = 0;
    if (snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0
        || snd_mixer_selem_set_playback_volume_all(e, FractionToRaw(fraction, min, max)) < 0)
        return Result::Failed;
    if (snd_mixer_selem_has_playback_switch(e))
        snd_mixer_selem_set_playback_switch_all(e, 1);
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::GetPlaybackVolume(double* pFraction)
{
    snd_mixer_elem_t* e = PlaybackVolumeElement();
    if (!e)
        return Result::NoControl;
    long min = 0, max = 0, value = 0;
    if (snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0
        || snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return Result::Failed;
    *pFraction = max > min ? double(value - min) / double(max - min) : 0.0;
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::SetCaptureVolumeDb(double dB)
{
    snd_mixer_elem_t* e = CaptureVolumeElement();
    if (!e)
        return Result::NoControl;
    if (snd_mixer_selem_set_capture_dB_all(e, std::lround(dB * 100.0), 0) < 0)
        return Result::Failed;
    if (snd_mixer_selem_has_capture_switch(e))
        snd_mixer_selem_set_capture_switch_all(e, 1);
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::GetCaptureVolumeDb(double* pdB)
{
    snd_mixer_elem_t* e = CaptureVolumeElement();
    if (!e)
        return Result::NoControl;
    long value = 0;
    if (snd_mixer_selem_get_capture_dB(e, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return Result::Failed;
    *pdB = double(value) / 100.0;
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::SetPlaybackVolumeDb(double dB)
{
    snd_mixer_elem_t* e = PlaybackVolumeElement();
    if (!e)
        return Result::NoControl;
    if (snd_mixer_selem_set_playback_dB_all(e, std::lround(dB * 100.0), 0) < 0)
        return Result::Failed;
    if (snd_mixer_selem_has_playback_switch(e))
        snd_mixer_selem_set_playback_switch_all(e, 1);
    return Result::Ok;
}

LMixerDevice::Result LAlsaMixer::GetPlaybackVolumeDb(double* pdB)
{
    snd_mixer_elem_t* e = PlaybackVolumeElement();
    if (!e)
        return Result::NoControl;
    long value = 0;
    if (snd_mixer_selem_get_playback_dB(e, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return Result::Failed;
    *pdB = double(value) / 100.0;
    return Result::Ok;
}
