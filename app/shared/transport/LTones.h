// The record and stopped tones: short beeps of the program's own, made once
// in code (8000 Hz mono 16-bit) so that no sound file ships beside it. Played
// on the GUI thread, which waits until the tone has been heard.
#pragma once

#include <cstdint>
#include <vector>

class LTones {
public:
    enum class Tone { Record, Stopped };
    static constexpr uint32_t kRate = 8000;

    // The tone's samples: 800 (0.1 s) for the record tone, 2000 (0.25 s) for
    // the stopped tone.
    static const std::vector<int16_t>& Samples(Tone tone);

    // Plays the tone on output device n (0: the default) and returns once it
    // has been heard; false when the device cannot take it.
    static bool Play(Tone tone, int32_t nDevice);
};
