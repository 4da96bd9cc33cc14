// The settings of the inputs: system-wide hot keys, the window's numeric
// keypad and the controllers. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace InputKeys {

// System-wide hot keys (section "Keys"): "Count" values "Key%d" (the key in
// bits 0-15, Alt, Ctrl and Shift in bits 16-18) with their "Key%dCommand".
inline constexpr const char* kHotKeySection = "Keys";
inline constexpr LSettingKey<int> kHotKeyCount { false, kHotKeySection, "Count", 0 };
inline constexpr LNumberedKey<int> kHotKeyValue { false, kHotKeySection, "Key%d", 0 };
inline constexpr LNumberedKey<int> kHotKeyCommand { false, kHotKeySection, "Key%dCommand", 0 };
// The numeric keypad as a transport pad in the window (digits otherwise).
inline const LSettingKey<bool> kUseNumeric { false, "Keys", "UseNumeric", true };

// Controllers (machine-wide, section "Control"): the port (HardwareControl's
// numbering), the command of buttons 1 to 3 and of the end-of-letter button,
// and the device node that stands for a serial port when set.
inline constexpr const char* kControlSection = "Control";
inline constexpr LSettingKey<int> kControlPort { true, "Control", "Port", 0 };
inline constexpr LSettingKey<int> kControlButtons[4] = { { true, "Control", "Control1", 7 },
    { true, "Control", "Control2", 4 }, { true, "Control", "Control3", 3 }, { true, "Control", "Control4", 10 } };
inline constexpr LTextKey kSerialDevice { true, kControlSection, "SerialDevice", "" };

} // namespace InputKeys
