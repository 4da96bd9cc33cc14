// The typist's window settings, kept in Scribe's own sections so that the
// dictator's program beside it keeps its own: auto-rewind, the finer speed,
// the pedal layout and the system-wide hot keys. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

#include <cstdint>

namespace ScribeUiKeys {

// Each pause goes back this far (0: off), as transcription players do.
inline constexpr LSettingKey<int> kAutoRewindMs { false, "Scribe", "AutoRewindMs", 1000 };
inline constexpr int kMaxAutoRewindMs = 10000;
// Percent of the chosen speed, pitch kept.
inline constexpr LSettingKey<int> kFineSpeed { false, "Scribe", "FineSpeed", 100 };
// Command-set numbers of pedals 1 to 3 and of the fourth button: the usual
// transcription layout, left rewind, middle play, right fast forward.
inline constexpr LSettingKey<int> kPedals[4] = { { false, "Scribe", "Pedal1", 7 }, { false, "Scribe", "Pedal2", 4 },
    { false, "Scribe", "Pedal3", 8 }, { false, "Scribe", "Pedal4", 0 } };

// Hot keys as the dictator's "Keys" section stores them (key in bits 0-15,
// Alt, Ctrl and Shift in bits 16-18), in a section of Scribe's own.
inline constexpr const char* kHotKeySection = "ScribeKeys";
inline constexpr LSettingKey<int> kHotKeyCount { false, kHotKeySection, "Count", -1 };
inline constexpr LNumberedKey<int> kHotKeyValue { false, kHotKeySection, "Key%d", 0 };
inline constexpr LNumberedKey<int> kHotKeyCommand { false, kHotKeySection, "Key%dCommand", 0 };
// Until the typist stores keys: F7 rewind, F8 fast forward, F9 play (the
// play key of the dictator's window too).
struct DefaultHotKey {
    uint32_t uValue;
    int nCommand;
};
inline constexpr DefaultHotKey kDefaultHotKeys[] = { { 0x76, 7 }, { 0x77, 8 }, { 0x78, 4 } };

} // namespace ScribeUiKeys
